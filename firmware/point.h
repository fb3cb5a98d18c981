#pragma once
// The route point screen and the moves between route and off-route points,
// machines and points.
#include <cstdint>

#include "text.h"

// Screen state 1: returns 0 (main menu), 17 (analysis of the stored point) or
// 33 (band list before an off-route measurement).
std::uint16_t PointScrn();

constexpr int POINT_MENU_ITEMS = 3;
extern CMenuItem PointMenu[POINT_MENU_ITEMS];

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

// CurPoint becomes the new, empty off-route point k (set up by SetPointBand).
void NewOffRoutePoint(std::int16_t k);
