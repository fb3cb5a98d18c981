#pragma once
// The route point screen and the moves between route and off-route points,
// machines and points; the set-up of a point for measuring.
#include <cstdint>

#include "text.h"

// Screen state 1: returns 0 (main menu), 17 (analysis of the stored point) or
// 33 (band list before an off-route measurement).
std::uint16_t PointScrn();

constexpr int POINT_MENU_ITEMS = 3;
extern CMenuItem PointMenu[POINT_MENU_ITEMS];

// Band of each band index 0..5 in Hz, and its line spacing (band / 3200).
constexpr int POINT_BANDS = 6;
extern const std::uint16_t kPointBandHz[POINT_BANDS];
extern const float kPointBandRes[POINT_BANDS];

// Next (backward 0) or previous point; only the auto step leaves the machine.
void StepPoint(int backward, int autoStep);
std::int16_t StepRoutePoint(std::int16_t n, int backward, std::int16_t routeCount, int autoStep);
std::int16_t StepOffRoutePoint(std::int16_t n, int backward, std::int16_t offCount, std::int16_t routeCount);
// First point of the next or previous machine.
void StepMachine(int backward);
// Route point 1 <-> off-route point 478.
void ToggleRoute();
// Edge of the run of route points around n that carry `machine`: the first
// (backward 1) or the last (backward 0).
std::int16_t FindPointByName(std::int16_t n, const char* machine, int backward);

// CurPoint becomes the new, empty off-route point k.
void NewOffRoutePoint(std::int16_t k);
// Band and measurement set-up of CurPoint from HighFrequency.
void SetPointBand();
// "Measuring..." for 1.5 s.
void ShowMeasuring();
