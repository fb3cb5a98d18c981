// The instrument writes a decimal point whatever the computer's locale: the
// window adopts the desktop's (its toolkit calls setlocale), and readings once
// came out as "822" for 8.22 under a Russian desktop. The same walk through
// every screen that shows a number with decimals must give the same frames and
// trace under a decimal-comma locale as under "C".
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "comma_locale.h"
#include "keys.h"
#include "flash.h"
#include "headless_host.h"
#include "host.h"
#include "runscrn.h"
#include "state.h"
#include "texts.h"

namespace {
struct TWalk {
  std::vector<TFrame> frames;
  std::vector<std::string> trace;
};

// From a fresh program run with speeds in Hz: two route points measured (a
// band value, a harmonic with its phase), the point screen, the analysis with
// its cursor, x zoom and the three quantities, the tachometer and the device
// information.
TWalk Walk(std::uint32_t language) {
  FirstStart = 1;
  RouteStore.clear();
  OffRouteStore.clear();
  InitDeviceInfo = TInitDeviceInfo{};
  InitDeviceInfo.FreqDimension = 201;
  InitDeviceInfo.PhaseDisplay = 1;
  CProgramState = TProgramState{};
  THeadlessHost host(language);
  host.Keys({S(4), S(4), S(4),  // MEASUREMENT, machine row, point row
             S(4), S(1),        // measure point 1: the speed question, YES
             S(4), S(1),        // point 2 after the auto step
             S(3),              // back to point 1
             S(2), S(2), S(2),  // main menu
             S(1), S(4), S(4), S(4), S(4),  // ANALYSIS: point 1's spectrum
             S(1), S(1), S(1), S(1), S(1),  // cursor right
             S(4), S(1), S(1), S(1), S(1), S(1),  // x scale 1:12 ... 1:0.500
             S(4), S(4), S(1), S(1), S(1),        // units: each quantity
             S(2), S(2), S(2), S(2),              // main menu, ANALYSIS selected
             S(1), S(1), S(4), S(2),              // TACHOMETER
             S(1), S(4), S(3), S(4)});            // SETTINGS: About, the device information
  InitMenuTexts();
  try {
    RunScrn();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
  }
  return {host.Frames(), host.TraceLines()};
}
}  // namespace

TEST(CommaLocale, ScreensWithDecimalsAreTheSameUnderADecimalComma) {
  for (const std::uint32_t language : {1033u, 1049u}) {
    const TWalk c = Walk(language);
    // The walk reached the spectrum (its cursor readouts go to the trace).
    ASSERT_NE(std::find(c.trace.begin(), c.trace.end(), "UpdateAnaly()"), c.trace.end()) << language;
    TWalk comma;
    {
      const TCommaLocale ru;
      ASSERT_EQ(ru.Error(), "");
      comma = Walk(language);
    }
    ASSERT_EQ(comma.frames.size(), c.frames.size()) << language;
    int differ = 0;
    for (std::size_t i = 0; i < c.frames.size(); ++i)
      if (!(comma.frames[i] == c.frames[i]) && differ++ < 5)
        ADD_FAILURE() << "language " << language << ", frame " << i << " differs under the comma locale";
    EXPECT_EQ(comma.trace, c.trace) << language;
  }
}
