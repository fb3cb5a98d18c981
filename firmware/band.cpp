#include "band.h"

#include "flash.h"
#include "host.h"
#include "measpoint.h"
#include "state.h"
#include "texts.h"

namespace {
// The band texts are the same in every language.
char g_band[BAND_ITEMS][16] = {
    "\x03   1000 +\x04\x09\x80", "\x03   2000 +\x04\x09\x80", "\x03  4000  \x04\x09\x80",
    "\x03  5000  \x04\x09\x80",  "\x03 10000  \x04\x09\x80",  "\x03 20000  \x04\x09\x80",
    "\x03 5-20 [1] \x04\x09\x80",
};
char g_blank[] = "";

// Title of the state, drawn again when a language change asks for a redraw.
void DrawPage(bool title) {
  if (title) DrawTitle(FwText(CProgramState.MenuMode == SCR_BAND_MEASURE ? TX_MEASUREMENT : TX_WATCH));
  BandLabels[0].text = FwText(TX_WAVE_HZ);
  BandLabels[1].text = FwText(TX_ENVELOPE_KHZ);
  DrawItems(BandLabels, BAND_LABELS);
}
}  // namespace

// Button 1 moves down, 3 up, both round the ring; 2 and 4 leave.
constexpr CMenuItem kBandMenu[BAND_ITEMS] = {
    // text, colour, font, x, y, len, lines, flag, selBg, prev, next, enter, esc
    {{g_band[0], LCD_BLUE, FONT_TEXT, 0, 36, 16, -1, 1}, LCD_BLUE, 6, 1, -1, -1},
    {{g_band[1], LCD_BLUE, FONT_TEXT, 0, 49, 16, -1, 1}, LCD_BLUE, 0, 2, -1, -1},
    {{g_band[2], LCD_BLUE, FONT_TEXT, 0, 62, 16, -1, 1}, LCD_BLUE, 1, 3, -1, -1},
    {{g_band[3], LCD_BLUE, FONT_TEXT, 0, 75, 16, -1, 1}, LCD_BLUE, 2, 4, -1, -1},
    {{g_band[4], LCD_BLUE, FONT_TEXT, 0, 88, 16, -1, 1}, LCD_BLUE, 3, 5, -1, -1},
    {{g_band[5], LCD_BLUE, FONT_TEXT, 0, 101, 16, -1, 1}, LCD_BLUE, 4, 6, -1, -1},
    {{g_band[6], LCD_BLUE, FONT_TEXT, 0, 138, 16, -1, 1}, LCD_BLUE, 5, 0, -1, -1},
};
static_assert(ValidMenu(kBandMenu, BAND_ITEMS));
CMenuItem BandMenu[BAND_ITEMS] = {kBandMenu[0], kBandMenu[1], kBandMenu[2], kBandMenu[3],
                                  kBandMenu[4], kBandMenu[5], kBandMenu[6]};

constexpr CItem kBandLabels[BAND_LABELS] = {
    {g_blank, LCD_BLACK, FONT_TEXT, 0, 21, 17, -1, 1},
    {g_blank, LCD_BLACK, FONT_TEXT, 0, 123, 17, -1, 1},
};
static_assert(ValidItems(kBandLabels, BAND_LABELS));
CItem BandLabels[BAND_LABELS] = {kBandLabels[0], kBandLabels[1]};

std::uint16_t BandScrn() {
  const bool measure = CProgramState.MenuMode == SCR_BAND_MEASURE;
  DrawPage(false);
  CProgramState.MenuItem = measure ? CurPoint.range : CProgramState.HighFrequency;
  int key;
  while ((key = MenuSelect(BandMenu, BAND_ITEMS)) != 2 && key != 4) {
    if (key == KEY_NONE) DrawPage(true);
  }
  if (key == 2) {
    CProgramState.MenuItem = 2;
    return measure ? SCR_POINT : SCR_MAIN;
  }
  const std::int16_t band = CProgramState.MenuItem;
  CProgramState.HighFrequency = band;
  CProgramState.LowBand = band <= 1 ? 1 : 0;
  CProgramState.EnvMode = band == 6 ? 1 : 0;
  if (measure) {
    MeasPoint();
    if (CProgramState.StoreStatus == FLASH_ERROR) return SCR_MAIN;
    CProgramState.MenuItem = 2;
    return SCR_POINT;
  }
  WatchMeas(CProgramState.HighFrequency);
  return SCR_ANALYSIS_WATCH;
}
