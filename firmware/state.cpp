#include "state.h"

TProgramState CProgramState{};
TInitDeviceInfo InitDeviceInfo{};
CDeviceInfo DeviceInfo{};
std::atomic<std::uint16_t> FirstStart{1};

#include "flash.h"
#include "point.h"

namespace {
// Makes npnt the current point. A number that names no stored point (saved
// while a message waited after its record was deleted, or edited in the
// settings file) must not leave an earlier working copy standing in for it:
// the free off-route slot is the new point there; anything else becomes
// route point 1, or off-route point 1 when there is no route.
void SelectStartPoint() {
  std::int16_t c[2];
  GetPointCounts(c);
  const int off = c[0], route = c[1];
  std::int16_t& n = CProgramState.npnt;
  if ((n >= 1 && n <= route) || (n <= MAX_POINTS && n > MAX_POINTS - off)) {
    ReadPoint(n);
  } else if (n == MAX_POINTS - off && route + off < MAX_POINTS) {
    NewOffRoutePoint(static_cast<std::int16_t>(off + 1));
  } else if (route > 0) {
    n = 1;
    ReadPoint(n);
  } else {
    n = MAX_POINTS;
    if (off > 0)
      ReadPoint(n);
    else
      NewOffRoutePoint(1);
  }
}
}  // namespace

void InitProgState() {
  DeviceInfo = CDeviceInfo{2014, 0x0201, 0.281f, 0.658f, 1.0f};
  CProgramState = TProgramState{};
  const bool first = FirstStart != 0;
  if (first) {
    BuildDemoRoute(DeviceInfo.Gain);
    CProgramState.npnt = 1;
  } else {
    CProgramState.MenuMode = static_cast<std::uint16_t>(InitDeviceInfo.MenuMode);
    CProgramState.MenuItem = InitDeviceInfo.MenuItem;
    CProgramState.CollectMode = static_cast<std::uint16_t>(InitDeviceInfo.CollectMode);
    CProgramState.npnt = InitDeviceInfo.SelectedPoint;
  }
  SetBacklight(1);
  CProgramState.AutoStepEn = static_cast<std::uint16_t>(InitDeviceInfo.AutoStepEn);
  CProgramState.TypeParamA = InitDeviceInfo.TypeParamA;
  CProgramState.TypeParamV = InitDeviceInfo.TypeParamV;
  CProgramState.TypeParamS = InitDeviceInfo.TypeParamS;
  CProgramState.HighFrequency = InitDeviceInfo.HighFrequency;
  CProgramState.PhaseDisplay = static_cast<std::uint16_t>(InitDeviceInfo.PhaseDisplay);
  CProgramState.FreqDimension = static_cast<std::uint16_t>(InitDeviceInfo.FreqDimension);
  SelectStartPoint();
  // Cleared only now: the window thread saves the state once this flag is
  // clear, and must not find the record half prepared.
  if (first) FirstStart = 0;
}
