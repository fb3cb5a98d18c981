#include "point.h"

#include <cstring>
#include <string>

#include "flash.h"
#include "fmtpoint.h"
#include "font.h"
#include "host.h"
#include "lcd.h"
#include "measpoint.h"
#include "state.h"
#include "texts.h"

namespace {
char g_blank[] = " ";

// Route, machine and point rows. Row 1 moves the cursor itself: on to the
// point row with button 4, back to the route row with button 2.
constexpr CMenuItem kPointMenuLayout[POINT_MENU_ITEMS] = {
    // text, colour, font, x, y, len, lines, flag, selBg, prev, next, enter, esc
    {{nullptr, LCD_BLUE, FONT_TEXT, 16, 16, 24, -1, 0}, LCD_BLUE, -1, -1, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 16, 29, 24, -1, 0}, LCD_BLUE, -1, -1, 2, 0},
    {{nullptr, LCD_BLUE, FONT_TEXT, 16, 42, 24, -1, 0}, LCD_BLUE, -1, -1, -1, -1},
};
static_assert(ValidMenu(kPointMenuLayout, POINT_MENU_ITEMS));

struct PointMenuInit {
  PointMenuInit() {
    for (int i = 0; i < POINT_MENU_ITEMS; ++i) {
      PointMenu[i] = kPointMenuLayout[i];
      PointMenu[i].text = g_blank;
    }
  }
};


struct TCounts {
  std::int16_t off;    // off-route points holding data
  std::int16_t route;  // R
};
TCounts Counts() {
  std::int16_t c[2];
  GetPointCounts(c);
  return {c[0], c[1]};
}

// The machine name of CurPoint as a terminated text (a blank record has none).
struct TMachineName {
  char s[sizeof CurPoint.machine + 1];
  TMachineName() {
    std::memcpy(s, CurPoint.machine, sizeof CurPoint.machine);
    s[sizeof CurPoint.machine] = '\0';
  }
};

bool SameMachine(std::int16_t n, const char* machine) {
  char buf[sizeof CurPoint.machine + 1];
  PointMachine(n, buf);
  return std::strncmp(buf, machine, sizeof CurPoint.machine) == 0;
}

// Band index of CurPoint as the band list and the analysis see it.
void SetCurrentRange(const TCounts& c) {
  if (CProgramState.npnt > c.route && c.off == 0) {
    CurPoint.range = CProgramState.HighFrequency;
  } else if (CurPoint.env == 1) {
    CurPoint.range = 6;
  } else {
    CurPoint.range = 6;
    for (int i = 0; i < POINT_BANDS; ++i)
      if (CurPoint.fmax == kPointBandHz[i]) CurPoint.range = static_cast<std::int16_t>(i);
  }
}

void DrawParamBox(int y0, int y1, std::uint32_t colour, const char* label, const char* value, const char* unit,
                  const char* phase, bool showPhase, const std::string& phaseLabel) {
  const auto bg = static_cast<std::int16_t>(colour);
  const auto y = static_cast<std::int16_t>(y0);
  LcdFill(0, y, 127, static_cast<std::int16_t>(y1), static_cast<std::uint16_t>(colour));
  LcdTextOut(2, y, LCD_BLACK, bg, label);
  LcdBigNum(12, static_cast<std::int16_t>(y0 + 15), LCD_BLACK, bg, value);
  LcdTextOut(57, static_cast<std::int16_t>(y0 + 15), LCD_BLACK, bg, unit);
  if (showPhase) {
    LcdTextOut(93, y, LCD_BLACK, bg, phaseLabel.c_str());
    LcdTextOut(99, static_cast<std::int16_t>(y0 + 12), LCD_BLACK, bg, phase);
  }
}

bool ShowsPhase(std::uint16_t kind) { return kind >= 10 && kind <= 12 && CProgramState.PhaseDisplay == 1; }

void DrawPoint(const std::string& notCollected, const std::string& collected, const std::string& phaseLabel) {
  LcdErase(0, 15, 127, 159);
  FmtPoint();
  LcdIcon(0, 16, LCD_BLUE, LCD_WHITE, 0);
  LcdIcon(0, 29, LCD_BLUE, LCD_WHITE, 1);
  LcdIcon(0, 42, LCD_BLUE, LCD_WHITE, 2);
  LcdIcon(0, 55, LCD_BLACK, LCD_WHITE, 3);
  LcdTextOut(16, 55, LCD_BLACK, LCD_WHITE, txtMode);
  if (txtSpeed[0]) LcdIcon(0, 68, LCD_BLACK, LCD_WHITE, 4);
  LcdTextOut(16, 67, LCD_BLACK, LCD_WHITE, txtSpeed);
  if (CurPoint.par[0].kind != 0) {
    DrawParamBox(82, 114, colValue1, txtLabel1, txtValue1, txtUnit1, txtPhase1, ShowsPhase(CurPoint.par[0].kind),
                 phaseLabel);
    DrawParamBox(114, 144, colValue2, txtLabel2, txtValue2, txtUnit2, txtPhase2, ShowsPhase(CurPoint.par[1].kind),
                 phaseLabel);
    LcdLine(0, 113, 127, 113, LCD_BLACK, 0);
  } else {
    LcdTextOut(0, 92, LCD_BLACK, LCD_WHITE,
               CurPoint.valid == POINT_VALID ? collected.c_str() : notCollected.c_str());
  }
  LcdLine(0, 81, 127, 81, LCD_BLACK, 0);
  if (txtTime[0]) LcdIcon(0, 147, LCD_BLACK, LCD_WHITE, 5);
  LcdTextOut(16, 147, LCD_BLACK, LCD_WHITE, txtTime);
  LcdLine(0, 145, 127, 145, LCD_BLACK, 0);
}
}  // namespace

CMenuItem PointMenu[POINT_MENU_ITEMS];
static PointMenuInit g_pointMenuInit;

std::int16_t FindPointByName(std::int16_t n, const char* machine, int backward) {
  const TCounts c = Counts();
  int limit = MAX_POINTS - c.off;
  if (c.off + c.route == MAX_POINTS) ++limit;
  if (n >= limit) return static_cast<std::int16_t>(backward ? limit : MAX_POINTS);
  int hi = n;
  int lo = backward ? 0 : c.route + 1;
  for (;;) {
    const int mid = (hi + lo) >> 1;
    if (mid == 0 || mid == hi || mid == lo) break;
    if (SameMachine(static_cast<std::int16_t>(mid), machine))
      hi = mid;
    else
      lo = mid;
  }
  return static_cast<std::int16_t>(hi);
}

std::int16_t StepRoutePoint(std::int16_t n, int backward, std::int16_t routeCount, int autoStep) {
  const TMachineName machine;
  std::int16_t m;
  if (!backward)
    m = n < routeCount ? static_cast<std::int16_t>(n + 1) : FindPointByName(n, machine.s, 1);
  else
    m = n > 1 ? static_cast<std::int16_t>(n - 1) : FindPointByName(n, machine.s, 0);
  // The buttons keep to the machine; only the auto step walks on.
  if (!SameMachine(m, machine.s) && !autoStep) m = FindPointByName(m, machine.s, backward ? 0 : 1);
  ReadPoint(m);
  return m;
}

std::int16_t StepOffRoutePoint(std::int16_t n, int backward, std::int16_t offCount, std::int16_t routeCount) {
  int low = MAX_POINTS - offCount;
  const bool full = MAX_POINTS - routeCount <= offCount;
  if (full) ++low;
  int m = backward ? n + 1 : n - 1;
  if (m < low) m = MAX_POINTS;
  if (m > MAX_POINTS) m = low;
  if (m == low && !full)
    NewOffRoutePoint(static_cast<std::int16_t>(offCount + 1));
  else
    ReadPoint(static_cast<std::int16_t>(m));
  return static_cast<std::int16_t>(m);
}

void StepPoint(int backward, int autoStep) {
  const TCounts c = Counts();
  std::int16_t n = CProgramState.npnt;
  if (n <= c.route) n = StepRoutePoint(n, backward, c.route, autoStep);
  if (n > c.route) n = StepOffRoutePoint(n, backward, c.off, c.route);
  CProgramState.npnt = n;
}

void StepMachine(int backward) {
  const TCounts c = Counts();
  if (c.route == 0) return;
  if (c.route == MAX_POINTS) {
    char first[sizeof CurPoint.machine + 1];
    PointMachine(1, first);
    if (SameMachine(MAX_POINTS, first)) return;  // the whole store is one machine
  }
  std::int16_t m;
  if (!backward) {
    m = FindPointByName(CProgramState.npnt, TMachineName().s, 0);
    m = m < c.route ? static_cast<std::int16_t>(m + 1) : std::int16_t{1};
    ReadPoint(m);
  } else {
    m = FindPointByName(CProgramState.npnt, TMachineName().s, 1);
    m = m > 1 ? static_cast<std::int16_t>(m - 1) : c.route;
    ReadPoint(m);
    m = FindPointByName(m, TMachineName().s, 1);
    ReadPoint(m);
  }
  CProgramState.npnt = m;
}

void ToggleRoute() {
  const TCounts c = Counts();
  if (c.route == 0 || c.route == MAX_POINTS || c.off == MAX_POINTS) return;
  if (CProgramState.npnt > c.route) {
    ReadPoint(1);
    CProgramState.npnt = 1;
  } else {
    if (c.off > 0)
      ReadPoint(MAX_POINTS);
    else
      NewOffRoutePoint(1);
    CProgramState.npnt = MAX_POINTS;
  }
}

void NewOffRoutePoint(std::int16_t k) {
  std::memset(&CurPoint, 0, sizeof CurPoint);
  NameOffRoutePoint(CurPoint, k);
  CurPoint.num = k;
  CurPoint.orient = 0;
  CurPoint.gain = DeviceInfo.Gain;
  CurPoint.sensor = 101;
  SetPointBand();
}

std::uint16_t PointScrn() {
  std::string notCollected, collected, phaseLabel;
  // Also on every refresh: a language change redraws the whole page.
  auto titleAndTexts = [&] {
    notCollected = LoadStr(2407);
    collected = LoadStr(2408);
    phaseLabel = LoadStr(2600);
    DrawTitle(FwText(CProgramState.CollectMode == 0 ? TX_MEASUREMENT : TX_ANALYSIS));
  };
  titleAndTexts();
  for (;;) {
    const TCounts c = Counts();
    SetCurrentRange(c);
    DrawPoint(notCollected, collected, phaseLabel);
    PointMenu[0].text = TxtRoute();
    PointMenu[1].text = TxtMachine();
    PointMenu[2].text = txtPoint;
    const int key = MenuSelect(PointMenu, POINT_MENU_ITEMS);
    std::int16_t& row = CProgramState.MenuItem;
    const bool onRoute = CProgramState.npnt <= c.route;
    if (key == 1 || key == 3) {
      const int backward = key == 3;
      if (row == 0)
        ToggleRoute();
      else if (row == 1)
        StepMachine(backward);
      else
        StepPoint(backward, 0);
    } else if (key == 2) {
      if (row == 2) {
        row = onRoute ? 1 : 0;
      } else if (row == 0) {
        row = static_cast<std::int16_t>(CProgramState.CollectMode);
        return SCR_MAIN;
      }
    } else if (key == 4) {
      if (row == 0) {
        row = onRoute ? 1 : 2;
      } else if (row == 2 && CProgramState.CollectMode == 1) {
        if (CurPoint.valid == POINT_VALID) {
          if (CurPoint.status & 0x8000u) ShowMsg(LoadStr(2403), 1, LCD_RED);
          return SCR_ANALYSIS_POINT;
        }
      } else if (row == 2) {
        if (Counts().route < CProgramState.npnt) return SCR_BAND_MEASURE;
        MeasPoint();
        if (CProgramState.StoreStatus == FLASH_ERROR) return SCR_MAIN;
      }
    } else if (key == KEY_STEP) {
      Pause(2000);
      StepPoint(0, 1);
    } else if (key == KEY_NONE) {
      titleAndTexts();
    }
  }
}
