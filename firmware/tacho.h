#pragma once
// The tachometer's item table, shared by the tachometer screen and the
// rotation-speed question asked before a measurement.
#include "text.h"

enum : int { TACHO_CAPTION = 0, TACHO_VALUE = 1, TACHO_UNIT = 2, TACHO_FOOTER = 3 };

// Value and unit buffers: at most 8 characters each.
constexpr int TACHO_TEXT_CHARS = 8;
extern char TachoValueText[TACHO_TEXT_CHARS + 1];
extern char TachoUnitText[TACHO_TEXT_CHARS + 1];

// caption, value (large digits), unit, footer. Items 1 and 2 point at the two
// buffers; items 0 and 3 hold a blank until the localised texts are loaded.
extern CItem TachoItems[4];

// Tachometer screen (state 5): the rotation speed in Hz or RPM, refreshed
// every 100 ms until a short press of button 2; returns the main menu state.
std::uint16_t TachoScrn();
