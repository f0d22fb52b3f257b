#pragma once

#include <QJsonValue>
#include <QString>

#include <optional>

class App;

// Changes of the instrument made from the panel, for the audit trail.
namespace changes {

inline const QString kReasonTitle = QStringLiteral("Motivo da alteração");

// Asks the reason of a change when the panel asks reasons: nullopt when the
// user gives none (the change is then not made). An empty reason when the
// panel does not ask.
std::optional<QString> askReason(App &app);

// Keeps a change made on the instrument (or its memory) in the trail, with
// the port and type of the instrument, before it is reported done.
void record(App &app, const QString &action, const QJsonValue &old = QJsonValue::Null,
            const QJsonValue &now = QJsonValue::Null, const QString &reason = {});

// From the panel's start to its end: the files it writes are signed with
// the user's key (made on first need, said once in a message naming its
// public key) and its changes go to the user's trail.
void startRecords(App &app);
void endRecords();

} // namespace changes
