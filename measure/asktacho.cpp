#include "asktacho.h"

#include <cmath>
#include <limits>

#include "host.h"
#include "numtext.h"
#include "rotation.h"
#include "state.h"

char TachoValueText[TACHO_TEXT_CHARS + 1] = "-2      ";
char TachoUnitText[TACHO_TEXT_CHARS + 1] = "-3      ";

namespace {
char CaptionBlank[] = " ";
char FooterBlank[] = " ";

constexpr CItem kTachoLayout[4] = {
    {CaptionBlank, LCD_BLACK, FONT_TEXT, 0, 40, 16, -1, 0},
    {TachoValueText, LCD_BLACK, FONT_BIG, 25, 68, 16, -1, 0},
    {TachoUnitText, LCD_BLACK, FONT_TEXT, 70, 70, 16, -1, 0},
    {FooterBlank, LCD_BLUE, FONT_TEXT, 0, 134, 16, -1, 0},
};
static_assert(ValidItems(kTachoLayout, 4));

// Float to int truncating toward zero, saturating where the plain conversion
// would be undefined.
int TruncToInt(float v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<float>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (v <= static_cast<float>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

void ShowReading() {
  // NaN counts as no signal rather than drawing an empty value.
  if (RotFreq >= 0.0f) {
    FormatTachoReading(85);
    LcdErase(0, 15, 127, 90);
    DrawItems(TachoItems, 3);
    LcdShow();
  } else {
    ShowMsgTop(LoadStr(2102), LCD_BLUE);
  }
}
}  // namespace

CItem TachoItems[4] = {kTachoLayout[0], kTachoLayout[1], kTachoLayout[2], kTachoLayout[3]};

void FormatTachoReading(std::int16_t unitXHz) {
  if (CProgramState.FreqDimension == 201) {
    FmtStr(TachoValueText, sizeof TachoValueText, "%.2f", static_cast<double>(RotFreq));
    FmtStr(TachoUnitText, sizeof TachoUnitText, "%s", LoadStr(2103).c_str());
    TachoItems[TACHO_UNIT].x = unitXHz;
  } else {
    FmtStr(TachoValueText, sizeof TachoValueText, "%5d", TruncToInt(RotRpm));
    FmtStr(TachoUnitText, sizeof TachoUnitText, "%s", LoadStr(2104).c_str());
    TachoItems[TACHO_UNIT].x = 78;
  }
  TachoItems[TACHO_VALUE].text = TachoValueText;
  TachoItems[TACHO_UNIT].text = TachoUnitText;
}

bool AskTacho(const char* text, std::int16_t colour) { return AskYesNoLive(text, colour, 92, 100, ShowReading); }

bool AskTacho(const std::string& text, std::int16_t colour) { return AskTacho(text.c_str(), colour); }
