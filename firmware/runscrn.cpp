#include "runscrn.h"

#include <string>

#include "analy.h"
#include "asktacho.h"
#include "band.h"
#include "clock.h"
#include "computing.h"
#include "flash.h"
#include "host.h"
#include "numtext.h"
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

void CopyBounded(char* dest, std::size_t size, const char* src) {
  std::size_t i = 0;
  for (; i + 1 < size && src[i]; ++i) dest[i] = src[i];
  dest[i] = 0;
}
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

void InitMenuTexts() {
  LoadFwTexts();
  PointMenuTexts();
  TachoItems[0].text = FwText(TX_TACHO_CAPTION);
  CopyBounded(TachoValueText, sizeof TachoValueText, FwText(TX_TACHO_VALUE));
  CopyBounded(TachoUnitText, sizeof TachoUnitText, FwText(TX_TACHO_UNIT));
  TachoItems[3].text = FwText(TX_TACHO_FOOTER);
  AnalyTexts();
}

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

std::uint16_t MainScrn() {
  TraceLine("");
  TraceLine("MainScrn()");
  char line[48];
  FmtStr(line, sizeof line, "MainScrn() CProgramState.npnt = %d", CProgramState.npnt);
  TraceLine(line);
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
