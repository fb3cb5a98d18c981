#pragma once
// The tachometer's item table, shared by the rotation-speed question asked
// before a measurement and the tachometer screen, and that question.
#include <string>

#include "text.h"

enum : int { TACHO_CAPTION = 0, TACHO_VALUE = 1, TACHO_UNIT = 2, TACHO_FOOTER = 3 };

// Value and unit buffers: at most 8 characters each.
constexpr int TACHO_TEXT_CHARS = 8;
extern char TachoValueText[TACHO_TEXT_CHARS + 1];
extern char TachoUnitText[TACHO_TEXT_CHARS + 1];

// caption, value (large digits), unit, footer. Items 1 and 2 point at the two
// buffers; items 0 and 3 hold a blank until the localised texts are loaded.
extern CItem TachoItems[4];

// The live reading into the value and unit items: Hz with "%.2f" and the
// unit at x = unitXHz, or RPM truncated with "%5d" and the unit at x = 78.
void FormatTachoReading(std::int16_t unitXHz);

// As AskYesNo, refreshing the live rotation speed every 100 ms while waiting.
bool AskTacho(const char* text, std::int16_t colour);
bool AskTacho(const std::string& text, std::int16_t colour);
