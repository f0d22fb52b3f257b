// The main window lands here.
namespace {
[[maybe_unused]] int placeholder = 0;
}
