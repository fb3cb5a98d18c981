#include "state.h"

TProgramState CProgramState{};
TInitDeviceInfo InitDeviceInfo{};
CDeviceInfo DeviceInfo{};
std::uint16_t FirstStart = 1;
