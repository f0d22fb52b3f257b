#include "support/TestApp.h"
