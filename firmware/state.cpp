#include "state.h"

TProgramState CProgramState{};
TInitDeviceInfo InitDeviceInfo{};
CDeviceInfo DeviceInfo{};
std::uint16_t FirstStart = 1;

#include "flash.h"

void InitProgState() {
  DeviceInfo = CDeviceInfo{2014, 0x0201, 0.281f, 0.658f, 1.0f};
  CProgramState = TProgramState{};
  if (FirstStart) {
    FirstStart = 0;
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
  ReadPoint(CProgramState.npnt);
}
