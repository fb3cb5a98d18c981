#pragma once
// The band list: picks the band of a watch measurement (state 34) or of the
// measurement at an off-route point (state 33).
#include <cstdint>

#include "text.h"

constexpr int BAND_ITEMS = 7;
constexpr int BAND_LABELS = 2;
extern CMenuItem BandMenu[BAND_ITEMS];
extern CItem BandLabels[BAND_LABELS];

// Returns 1 (route point screen), 0 (main menu) or 18 (analysis of the watch).
std::uint16_t BandScrn();
