#pragma once

// What the main window's files share: the pictures and tips its buttons
// change to, and the fonts of its values.

#include <QFont>
#include <QLabel>
#include <QString>

namespace panelparts {

constexpr int kStopImage = 13;      // button 1 while a PC run records
constexpr int kRecStopImage = 7;    // button 7 while the instrument is idle
constexpr int kRecActiveImage = 14; // button 7 while the instrument logs
inline const QString kStopTip = QStringLiteral("Parar gravação");
inline const QString kSaveTip = QStringLiteral("Salvar Como");
inline const QString kRecStopTip = QStringLiteral("Gravar automaticamente");

// The four values' sizes at the design size of the window.
constexpr int kTemperaturePoints = 60;
constexpr int kValuePoints = 30;

// Labels are set many times a second with the same text; only a change
// costs a layout.
inline void setTextIfChanged(QLabel *l, const QString &text)
{
    if (l->text() != text)
        l->setText(text);
}

inline QFont arial(int pointSize, bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

} // namespace panelparts
