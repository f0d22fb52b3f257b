#include "ui/common/App.h"
#include "ui/common/Commands.h"

namespace commands {
void sample(App &) {}
void recStop(App &) {}
void manual(App &) {}
void powerOff(App &) {}
void offset(App &) {}
void setTime(App &) {}
void addText(App &) {}
void command1(App &) {}
} // namespace commands
