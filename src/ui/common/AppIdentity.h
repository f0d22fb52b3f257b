#pragma once

// Names the panel program for the desktop: the taskbar and the desktop entry
// know it as "termohigrometro". No display name is set: Qt would append it to
// every window caption the window manager shows, and the captions are exact.
void setApplicationIdentity();
