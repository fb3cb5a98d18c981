#include "tacho.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "host.h"
#include "lcd.h"
#include "rotation.h"
#include "state.h"
#include "texts.h"

namespace {

constexpr std::int32_t kRefreshMs = 100;
constexpr std::int16_t kUnitXHz = 70;
constexpr std::int16_t kUnitXRpm = 78;

// Truncation toward zero that stays defined for any float.
int RpmCount(float v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<float>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (v <= static_cast<float>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

void FormatReading() {
  std::string unit;
  if (CProgramState.FreqDimension == 201) {
    std::snprintf(TachoValueText, sizeof TachoValueText, "%.2f", static_cast<double>(RotFreq));
    LoadStr(2103, unit);
    TachoItems[TACHO_UNIT].x = kUnitXHz;
  } else {
    std::snprintf(TachoValueText, sizeof TachoValueText, "%5d", RpmCount(RotRpm));
    LoadStr(2104, unit);
    TachoItems[TACHO_UNIT].x = kUnitXRpm;
  }
  std::snprintf(TachoUnitText, sizeof TachoUnitText, "%s", unit.c_str());
  TachoItems[TACHO_VALUE].text = TachoValueText;
  TachoItems[TACHO_UNIT].text = TachoUnitText;
}

}  // namespace

std::uint16_t TachoScrn() {
  ClearKey();
  for (;;) {
    // The title is drawn on every pass so that a language change, which
    // arrives as a refresh, shows on the whole page.
    DrawTitle(FwText(TX_TACHOMETER));
    if (RotFreq < 0.0f) {
      std::string wait;
      LoadStr(2102, wait);
      ShowMsg(wait, 0, LCD_BLUE);
    } else {
      FormatReading();
      LcdErase(0, 15, 127, 159);
      DrawItems(TachoItems, 4);
      LcdShow();
    }
    if (GetKeyTm(kRefreshMs) == KEY_SHORT + 2) return SCR_MAIN;
  }
}
