#include "info.h"

#include <cstddef>

#include "host.h"
#include "lcd.h"
#include "numtext.h"
#include "state.h"
#include "texts.h"

namespace {
constexpr CItem kInfoLayout[INFO_ITEMS] = {
    // text, colour, font, x, y, len, lines, flag
    {nullptr, LCD_BLACK, FONT_TEXT, 4, 50, 16, -1, 0},   {nullptr, LCD_BLACK, FONT_TEXT, 90, 50, 16, -1, 0},
    {nullptr, LCD_BLACK, FONT_TEXT, 4, 68, 16, -1, 0},   {nullptr, LCD_BLACK, FONT_TEXT, 106, 68, 16, -1, 0},
    {nullptr, LCD_BLACK, FONT_TEXT, 4, 86, 16, -1, 0},   {nullptr, LCD_BLACK, FONT_TEXT, 76, 100, 16, -1, 0},
    {nullptr, LCD_BLUE, FONT_TEXT, 0, 134, 16, -1, 0},
};
static_assert(ValidItems(kInfoLayout, INFO_ITEMS));

constexpr TFwText kInfoTexts[INFO_ITEMS] = {TX_SERIAL_LABEL, TX_SERIAL, TX_HW_LABEL,   TX_HW,
                                            TX_FW_LABEL,     TX_FW,     TX_INFO_FOOTER};

// Copies a formatted value over a template, terminated, never past the loaded
// length: a wider value is cut rather than run off the buffer.
void PutValue(TFwText t, const char* value) {
  char* buf = FwText(t);
  const std::size_t len = FwTextLen(t);
  std::size_t i = 0;
  for (; i < len && value[i]; ++i) buf[i] = value[i];
  if (i < len) buf[i] = 0;
}

struct InfoInit {
  InfoInit() {
    static char blank[] = " ";
    for (int i = 0; i < INFO_ITEMS; ++i) {
      InfoItems[i] = kInfoLayout[i];
      InfoItems[i].text = blank;
    }
  }
};
}  // namespace

CItem InfoItems[INFO_ITEMS];
static InfoInit g_infoInit;

void InfoScrn() {
  char s[24];
  FmtStr(s, sizeof s, "%5ld", static_cast<long>(DeviceInfo.SerialNo));
  PutValue(TX_SERIAL, s);
  FmtStr(s, sizeof s, "%1d.%1d", (DeviceInfo.HwVersion >> 8) & 0x0F, DeviceInfo.HwVersion & 0x0F);
  PutValue(TX_HW, s);
  FmtStr(s, sizeof s, "%1d.%1d.1316", 2, 6);
  PutValue(TX_FW, s);

  for (int i = 0; i < INFO_ITEMS; ++i) InfoItems[i].text = FwText(kInfoTexts[i]);
  LcdErase(0, 15, 127, 159);
  DrawItems(InfoItems, INFO_ITEMS);
  LcdShow();
  ClearKey();
  GetKey();
}
