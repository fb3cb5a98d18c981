#pragma once
// Clock setup: the date and time edited field by field, then written to the
// instrument clock.
#include <cstdint>

#include "text.h"

enum : int { CLK_DAY, CLK_MONTH, CLK_YEAR, CLK_HOUR, CLK_MINUTE, CLK_SECOND, CLK_FIELDS };

extern std::int16_t ClockEdit[CLK_FIELDS];
extern const std::int16_t kClockLow[CLK_FIELDS];
extern const std::int16_t kClockHigh[CLK_FIELDS];

extern CMenuItem ClockFields[CLK_FIELDS];
extern CItem ClockLabels[2];

// Returns 4: the main menu with SETTINGS selected.
std::uint16_t ClockScrn();
bool CheckDate();
void FmtClock();
// 1 when the clock was set, 0 when the date was refused.
int SetClock();
