#pragma once

// Keeps Qt's remarks about the platform it runs on (no runtime folder set, a
// window-size hint the offscreen platform cannot pass on) off stderr, where a
// user reads them as faults of the program. Every other message still shows.
// Call it before the application object is made.
void quietPlatformChatter();
