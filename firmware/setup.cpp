#include "setup.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "clock.h"
#include "flash.h"
#include "host.h"
#include "info.h"
#include "state.h"
#include "texts.h"

#include "point.h"

namespace {
constexpr std::uint16_t LANG_RUSSIAN = 1049;

// Ring of eleven entries; buttons 2 and 4 always hand back to the screen.
constexpr CMenuItem kSetupLayout[SETUP_MENU_ITEMS] = {
    // text, colour, font, x, y, len, lines, flag, selBg, prev, next, enter, esc
    {{nullptr, LCD_BLUE, FONT_TEXT, 0, 16, 25, -1, 0}, LCD_BLUE, 10, 1, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 0, 30, 25, -1, 0}, LCD_BLUE, 0, 2, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 0, 44, 25, -1, 0}, LCD_BLUE, 1, 3, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 0, 58, 25, -1, 0}, LCD_BLUE, 2, 4, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 0, 72, 25, -1, 0}, LCD_BLUE, 3, 5, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 0, 85, 25, -1, 0}, LCD_BLUE, 4, 6, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 0, 99, 25, -1, 0}, LCD_BLUE, 5, 7, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 12, 128, 3, -1, 0}, LCD_BLUE, 6, 8, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 44, 128, 3, -1, 0}, LCD_BLUE, 7, 9, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 76, 128, 3, -1, 0}, LCD_BLUE, 8, 10, -1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 0, 145, 25, -1, 0}, LCD_BLUE, 9, 0, -1, -1},
};
static_assert(ValidMenu(kSetupLayout, SETUP_MENU_ITEMS));

constexpr CItem kSetupLabelLayout = {nullptr, LCD_BLACK, FONT_TEXT, 12, 115, 21, -1, 0};
static_assert(ValidItems(&kSetupLabelLayout, 1));

constexpr TFwText kSetupTexts[SETUP_MENU_ITEMS] = {TX_AUTOSTEP, TX_PHASE,   TX_FREQUENCY, TX_CLOCKSETUP,
                                                   TX_DELROUTE, TX_DELOFFROUTE, TX_ERASE, TX_PARAM_A,
                                                   TX_PARAM_V,  TX_PARAM_S, TX_ABOUT};


// Overwrites up to count characters at pos. Never writes past the loaded
// text, so a shorter (or missing) template only shows less of the value.
void PutAt(TFwText t, std::size_t pos, std::size_t count, const std::string& value) {
  char* buf = FwText(t);
  const std::size_t len = FwTextLen(t);
  for (std::size_t i = 0; i < count && i < value.size() && pos + i < len; ++i) buf[pos + i] = value[i];
}

// Replaces the whole text, terminator included, within the loaded length.
void PutWhole(TFwText t, const std::string& value) {
  char* buf = FwText(t);
  const std::size_t len = FwTextLen(t);
  const std::size_t n = std::min(value.size(), len);
  value.copy(buf, n);
  if (n < len) buf[n] = 0;
}

unsigned KindText(std::int16_t kind) {
  return kind == 1 ? 2501u : kind == 2 ? 2502u : 2500u;
}

// Values outside 0..2 show as "Pk ", so they step on from there.
std::int16_t NextKind(std::int16_t kind) {
  return kind == 1 ? std::int16_t{2} : kind == 2 ? std::int16_t{0} : std::int16_t{1};
}

void PointSetupTexts() {
  for (int i = 0; i < SETUP_MENU_ITEMS; ++i) SetupMenu[i].text = FwText(kSetupTexts[i]);
  SetupLabel.text = FwText(TX_ANALYSIS_AVS);
}

struct SetupInit {
  SetupInit() {
    static char blank[] = " ";
    for (int i = 0; i < SETUP_MENU_ITEMS; ++i) {
      SetupMenu[i] = kSetupLayout[i];
      SetupMenu[i].text = blank;
    }
    SetupLabel = kSetupLabelLayout;
    SetupLabel.text = blank;
  }
};
}  // namespace

CMenuItem SetupMenu[SETUP_MENU_ITEMS];
CItem SetupLabel;
static SetupInit g_setupInit;

void SetupTexts() {
  const TProgramState& s = CProgramState;
  const bool ru = LangId == LANG_RUSSIAN;
  PutAt(TX_AUTOSTEP, ru ? 15 : 13, ru ? 4 : 3, LoadStr(s.AutoStepEn == 1 ? 2105 : 2106));
  PutAt(TX_PHASE, ru ? 8 : 9, ru ? 4 : 3, LoadStr(s.PhaseDisplay == 1 ? 2105 : 2106));
  PutAt(TX_FREQUENCY, ru ? 11 : 13, ru ? 6 : 3, LoadStr(s.FreqDimension == 201 ? 2103 : 2104));
  PutWhole(TX_PARAM_A, LoadStr(KindText(s.TypeParamA)));
  PutWhole(TX_PARAM_V, LoadStr(KindText(s.TypeParamV)));
  PutWhole(TX_PARAM_S, LoadStr(KindText(s.TypeParamS)));
}

void DelRoute() {
  TProgramState& s = CProgramState;
  if (s.StoreStatus == FLASH_ERROR) return;
  if (!AskYesNo(LoadStr(1906), LCD_BLUE)) return;
  s.StoreStatus = DeleteRoute();
  if (s.StoreStatus == FLASH_ERROR) {
    ShowMsg(LoadStr(1903), 1, LCD_RED);
    return;
  }
  // The current point moves before the message waits: a switch-off during
  // the wait saves the position, which must name a point that still exists.
  std::int16_t c[2];
  GetPointCounts(c);
  // Numbers at or above 478 - k are off-route (the last one the free slot).
  if (s.npnt < MAX_POINTS - c[0]) {
    s.npnt = MAX_POINTS;
    if (c[0] > 0)
      ReadPoint(MAX_POINTS);
    else
      NewOffRoutePoint(1);
  }
  ShowMsg(LoadStr(1907), 1, LCD_BLUE);
}

void DelOffRoute() {
  TProgramState& s = CProgramState;
  if (s.StoreStatus == FLASH_ERROR) return;
  if (!AskYesNo(LoadStr(1904), LCD_BLUE)) return;
  s.StoreStatus = DeleteOffRoute();
  if (s.StoreStatus == FLASH_ERROR) {
    ShowMsg(LoadStr(1903), 1, LCD_RED);
    return;
  }
  // As for the route: the point first, then the message that waits.
  std::int16_t c[2];
  GetPointCounts(c);
  if (s.npnt > c[1]) {
    s.npnt = MAX_POINTS;
    NewOffRoutePoint(1);
  }
  ShowMsg(LoadStr(1905), 1, LCD_BLUE);
}

void EraseMem() {
  TProgramState& s = CProgramState;
  if (s.StoreStatus != FLASH_ERROR) {
    ShowMsg(LoadStr(1901), 1, LCD_RED);
    return;
  }
  ShowMsg(LoadStr(1902), 0, LCD_BLUE);
  // The erase: both stores emptied. Without it the command could never
  // clear the error it exists for.
  const std::int16_t none[2] = {0, 0};
  s.StoreStatus = SetPointCounts(none);
  if (s.StoreStatus == FLASH_ERROR) {
    ShowMsg(LoadStr(1903), 1, LCD_RED);
    return;
  }
  s.npnt = MAX_POINTS;
  NewOffRoutePoint(1);
  ClearKey();
}

std::uint16_t SetupScrn() {
  TProgramState& s = CProgramState;
  DrawTitle(FwText(TX_SETTINGS));
  for (;;) {
    // Texts are rebuilt on a language change: take the pointers afresh.
    PointSetupTexts();
    SetupTexts();
    LcdErase(0, 15, 127, 159);
    DrawItems(&SetupLabel, 1);
    const int r = MenuSelect(SetupMenu, SETUP_MENU_ITEMS);
    if (r == 2) {
      s.MenuItem = 4;
      return SCR_MAIN;
    }
    // A refresh may bring a new language: the title band too.
    if (r == KEY_NONE) DrawTitle(FwText(TX_SETTINGS));
    if (r != 4) continue;
    switch (s.MenuItem) {
      case 0:
        s.AutoStepEn = s.AutoStepEn == 0 ? 1 : 0;
        break;
      case 1:
        s.PhaseDisplay = s.PhaseDisplay == 0 ? 1 : 0;
        break;
      case 2:
        s.FreqDimension = s.FreqDimension == 201 ? 202 : 201;
        break;
      case 3:
        return SCR_CLOCK;
      case 4:
        DelRoute();
        break;
      case 5:
        DelOffRoute();
        break;
      case 6:
        EraseMem();
        break;
      case 7:
        s.TypeParamA = NextKind(s.TypeParamA);
        break;
      case 8:
        s.TypeParamV = NextKind(s.TypeParamV);
        break;
      case 9:
        s.TypeParamS = NextKind(s.TypeParamS);
        break;
      default:
        InfoScrn();
        break;
    }
  }
}
