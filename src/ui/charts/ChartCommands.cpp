#include "ui/common/App.h"
#include "ui/common/Commands.h"

namespace commands {
void openLiveChart(App &) {}
void closeLiveChart(App &) {}
void openFileChart(App &) {}
} // namespace commands
