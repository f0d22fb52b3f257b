#include "ui/common/App.h"
#include "ui/common/Commands.h"

namespace commands {
void downloadMemory(App &) {}
} // namespace commands
