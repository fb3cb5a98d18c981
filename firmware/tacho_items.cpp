#include "tacho.h"

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
}  // namespace

CItem TachoItems[4] = {kTachoLayout[0], kTachoLayout[1], kTachoLayout[2], kTachoLayout[3]};
