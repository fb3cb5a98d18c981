#pragma once
// What survives from one screen to the next, and its saved copy.
#include <atomic>
#include <cstdint>
#include <string>

struct TProgramState {
  std::uint16_t MenuMode;
  std::int16_t MenuItem;
  std::uint16_t CollectMode;
  std::int16_t npnt;
  std::int16_t StoreStatus;
  std::uint16_t Backlight;
  std::uint16_t AutoStepEn;
  std::int16_t TypeParamA;
  std::int16_t TypeParamV;
  std::int16_t TypeParamS;
  std::int16_t HighFrequency;
  std::uint16_t LowBand;
  std::uint16_t EnvMode;
  std::uint16_t PhaseDisplay;
  std::uint16_t FreqDimension;
};
extern TProgramState CProgramState;

// Backlight is stored from both threads; keep the stores and loads whole.
// The compiler's atomic built-ins rather than std::atomic_ref, which the
// browser build's C++ library lacks; both compilers and TSan know them.
inline void SetBacklight(std::uint16_t v) { __atomic_store_n(&CProgramState.Backlight, v, __ATOMIC_RELAXED); }
inline std::uint16_t GetBacklight() { return __atomic_load_n(&CProgramState.Backlight, __ATOMIC_RELAXED); }

struct TInitDeviceInfo {
  std::int16_t MenuMode = 0;
  std::int16_t MenuItem = 0;
  std::int16_t CollectMode = 0;
  std::int16_t SelectedPoint = 478;
  std::int16_t AutoStepEn = 1;
  std::int16_t TypeParamA = 1;
  std::int16_t TypeParamV = 1;
  std::int16_t TypeParamS = 1;
  std::int16_t HighFrequency = 5;
  std::int16_t PhaseDisplay = 1;
  std::int16_t FreqDimension = 1;
  std::string LanguageName;
};
extern TInitDeviceInfo InitDeviceInfo;

struct CDeviceInfo {
  std::int32_t SerialNo;
  std::int16_t HwVersion;
  float SensAcc;
  float SensVel;
  float Gain;
};
extern CDeviceInfo DeviceInfo;

// 1 until the first firmware start of the program run has prepared the state.
// Cleared by the device thread, read by the window thread before it saves.
extern std::atomic<std::uint16_t> FirstStart;

enum : std::uint16_t {
  SCR_MAIN = 0,
  SCR_POINT = 1,
  SCR_SETUP = 3,
  SCR_TACHO = 5,
  SCR_ANALYSIS_POINT = 17,
  SCR_ANALYSIS_WATCH = 18,
  SCR_CLOCK = 20,
  SCR_BAND_MEASURE = 33,
  SCR_BAND_WATCH = 34,
};

