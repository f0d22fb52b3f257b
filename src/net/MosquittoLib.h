#pragma once

// libmosquitto wants one mosquitto_lib_init() per process before any client
// and a mosquitto_lib_cleanup() after the last one; this does both.
void ensureMosquittoLib();
