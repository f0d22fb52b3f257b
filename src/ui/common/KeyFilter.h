#pragma once

#include <functional>

class QLineEdit;

// A text box's KeyPress procedure: gets the typed character's code (8 for
// Backspace) and may discard it (set it to 0) or replace it.
using KeyPress = std::function<void(int &KeyAscii)>;

// Runs `filter` on every character typed into `box`; keys without a
// character (arrows, Delete, Tab, shortcuts) pass untouched. A replaced
// character is typed in place of the one pressed.
void setKeyPress(QLineEdit *box, KeyPress filter);

// A Brazilian user types "1,5" for one and a half: the comma stands for the
// point that these boxes read, rather than being dropped (which made 15).
void decimalCommaAsPoint(int &KeyAscii);

class QWidget;
// Escape closes `window`, as it closes a dialog.
void closeOnEscape(QWidget *window);
