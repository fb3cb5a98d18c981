#include "runscrn.h"

#include <string>

#include "analy.h"
#include "band.h"
#include "clock.h"
#include "computing.h"
#include "flash.h"
#include "host.h"
#include "point.h"
#include "setup.h"
#include "tacho.h"
#include "state.h"
#include "texts.h"

namespace {
char g_blank[] = " ";

// Layout of the main menu; the texts are pointed at the loaded ones.
constexpr CMenuItem kMainMenuLayout[MAIN_MENU_ITEMS] = {
    // text, colour, font, x, y, len, lines, flag, selBg, prev, next, enter, esc
    {{nullptr, LCD_BLUE, 6, 0, 44, 24, -1, 0}, LCD_BLUE, 4, 1, -1, 0},
    {{nullptr, LCD_BLUE, 6, 0, 60, 24, -1, 0}, LCD_BLUE, 0, 2, -1, 0},
    {{nullptr, LCD_BLUE, 6, 0, 76, 24, -1, 0}, LCD_BLUE, 1, 3, -1, 0},
    {{nullptr, LCD_BLUE, 6, 0, 92, 24, -1, 0}, LCD_BLUE, 2, 4, -1, 0},
    {{nullptr, LCD_BLUE, 6, 0, 108, 24, -1, 0}, LCD_BLUE, 3, 0, -1, 0},
};
static_assert(ValidMenu(kMainMenuLayout, MAIN_MENU_ITEMS));

template <std::size_t N>
void CopyLayout(CMenuItem (&dest)[N], const CMenuItem (&src)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    dest[i] = src[i];
    dest[i].text = g_blank;
  }
}

struct MainMenuInit {
  MainMenuInit() { CopyLayout(MainMenu, kMainMenuLayout); }
};
}  // namespace

CMenuItem MainMenu[MAIN_MENU_ITEMS];
static MainMenuInit g_mainMenuInit;

void PointMenuTexts() {
  MainMenu[0].text = FwText(TX_MEASUREMENT);
  MainMenu[1].text = FwText(TX_ANALYSIS);
  MainMenu[2].text = FwText(TX_WATCH);
  MainMenu[3].text = FwText(TX_TACHOMETER);
  MainMenu[4].text = FwText(TX_SETTINGS);
}

std::uint16_t MainScrn() {
  TraceLine("");
  TraceLine("MainScrn()");
  TraceLine("MainScrn() CProgramState.npnt = " + std::to_string(CProgramState.npnt));
  DrawTitle("ORB-720");
  while (MenuSelect(MainMenu, MAIN_MENU_ITEMS) != 4) {
  }
  switch (CProgramState.MenuItem) {
    case 0:
      CProgramState.CollectMode = 0;
      return SCR_POINT;
    case 1:
      CProgramState.MenuItem = 0;
      CProgramState.CollectMode = 1;
      return SCR_POINT;
    case 2:
      return SCR_BAND_WATCH;
    case 3:
      return SCR_TACHO;
    default:
      CProgramState.MenuItem = 0;
      return SCR_SETUP;
  }
}

void RunScrn() {
  try {
    ClearKey();
    InitProgState();
    if (CProgramState.MenuMode & 0xF0) CProgramState.MenuItem = 0;
    CProgramState.MenuMode &= 0x0F;
    for (;;) {
      switch (CProgramState.MenuMode) {
        case SCR_POINT:
          CProgramState.MenuMode = PointScrn();
          break;
        case SCR_SETUP:
          CProgramState.MenuMode = SetupScrn();
          break;
        case SCR_CLOCK:
          CProgramState.MenuItem = 0;
          CProgramState.MenuMode = ClockScrn();
          break;
        case SCR_TACHO:
          CProgramState.MenuMode = TachoScrn();
          break;
        case SCR_ANALYSIS_POINT:
          CProgramState.MenuItem = 0;
          InitMeasVal(MeasVal, CurPoint.range, (CurPoint.flags & 2) ? 1 : 0, CurPoint.qty);
          CProgramState.MenuMode = AnalyScrn();
          break;
        case SCR_ANALYSIS_WATCH:
          CProgramState.MenuItem = 0;
          CProgramState.MenuMode = AnalyScrn();
          break;
        case SCR_BAND_MEASURE:
          DrawTitle(FwText(TX_MEASUREMENT));
          CProgramState.MenuMode = BandScrn();
          break;
        case SCR_BAND_WATCH:
          DrawTitle(FwText(TX_WATCH));
          CProgramState.MenuMode = BandScrn();
          break;
        // Values no screen owns (2, 4, ...) show the main menu.
        case SCR_MAIN:
        default:
          CProgramState.MenuMode = MainScrn();
          break;
      }
    }
  } catch (const Exception& e) {
    SetBacklight(0);
    throw Exception(e.Message);
  }
}
