#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

// The audit trail as printable pages (PDF, A4 landscape): a title, then one
// row per entry with its time, user, action, old -> new value and reason,
// long texts wrapped within their column, "Página N de M" at the foot.
struct AuditReportRow {
    QString time, user, action, change, reason;
};

std::optional<QByteArray> auditReportPdf(const QString &title, const QString &subtitle,
                                         const QVector<AuditReportRow> &rows, int *pages, QString *error);
