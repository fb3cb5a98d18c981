#include "state.h"

#include "text.h"

TProgramState CProgramState{};
TInitDeviceInfo InitDeviceInfo{};
CDeviceInfo DeviceInfo{};
std::atomic<std::uint16_t> FirstStart{1};

namespace {
// The menus move the cursor of the program state, so that a switch-off
// leaves it ready to be saved and resumed.
struct MenuCursorInit {
  MenuCursorInit() { SetMenuCursor(&CProgramState.MenuItem); }
};
MenuCursorInit g_menuCursorInit;
}  // namespace
