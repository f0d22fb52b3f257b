#include "net/MosquittoLib.h"

#include <mosquitto.h>

#include <cstdlib>

void ensureMosquittoLib()
{
    static const bool done = [] {
        mosquitto_lib_init();
        std::atexit([] { mosquitto_lib_cleanup(); });
        return true;
    }();
    (void)done;
}
