#pragma once

#include <QString>

// Renders the port window and the main window (connected to the emulated
// instrument with live values and a PC recording run, then with the link
// lost) to PNG files in `folder`, offscreen, and returns the exit code.
int renderScreenshots(const QString &folder);
