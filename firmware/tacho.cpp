#include "tacho.h"

#include <string>

#include "host.h"
#include "lcd.h"
#include "rotation.h"
#include "state.h"
#include "texts.h"

namespace {
constexpr std::int32_t kRefreshMs = 100;
constexpr std::int16_t kUnitXHz = 70;
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
      FormatTachoReading(kUnitXHz);
      LcdErase(0, 15, 127, 159);
      DrawItems(TachoItems, 4);
      LcdShow();
    }
    if (GetKeyTm(kRefreshMs) == KEY_SHORT + 2) return SCR_MAIN;
  }
}
