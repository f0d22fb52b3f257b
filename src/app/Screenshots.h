#pragma once

#include <QString>

// Renders every window of the program on the emulated instrument (live
// values, a PC recording run, a logger memory of three sets, one of them
// saved and opened as a data file, the settings dialogs, and the main window
// after the link is lost) to PNG files in `folder`, offscreen, and returns
// the exit code.
int renderScreenshots(const QString &folder);
