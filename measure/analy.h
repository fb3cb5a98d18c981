#pragma once
// The spectrum analysis screen: the 3200-line spectrum of the current point
// (state 17) or of the watch measurement (state 18) with cursor, x and y zoom
// and the quantity shown (acceleration, velocity, displacement).
#include <cstdint>

#include "text.h"

constexpr int ANALY_LINES = 3200;
constexpr int ANALY_MENU_ITEMS = 4;
// Width in characters of the four menu line templates.
constexpr int ANALY_LINE_LEN = 21;

struct CAnaly {
  std::int16_t fmax;    // Hz; line k at k * fmax / 3200
  std::int16_t first;   // first displayed line
  std::int16_t xscale;  // n > 1: n lines per column; -n: n pixels per line
  std::int16_t col0;    // first displayed column (compressed) or line (expanded), from first
  std::int16_t colN;    // last column or line drawn
  std::int16_t cur;     // cursor, in the unit of col0
  std::int16_t ybase;   // Q15 factor mapping the maximum to 93 pixels
  std::int16_t yzoom;   // 1..4096
  std::int16_t yscale;  // ybase * yzoom, at most 32767
  const std::int16_t* disp;  // displayed spectrum, disp[0] is line first
  float amp;    // units per count of disp
  float ampIn;  // units per count of the input spectrum in SpecRe
  std::uint8_t quant;   // 0 acceleration, 1 velocity, 2 displacement
  std::int32_t velIn;   // 1 velocity input
  std::int32_t env;     // 1 envelope measurement
};
extern CAnaly Analy;

// Band ranges by band index 0..6, Hz.
extern const std::int16_t kAnalyBandHz[7];

// Screen states 17 and 18; returns 1 after state 17, else 0, MenuItem 2.
std::uint16_t AnalyScrn();
// Readouts: title, the four menu lines, the band value at the cursor.
void UpdateAnaly();
// Loads the screen's localised texts.
void AnalyTexts();

// The set-up done on entry (spectrum, cursor, scales) without the key loop.
void AnalySetup(std::uint16_t state);
void DrawAnaly();  // spectrum, axes, cursor, readouts and title

// Key actions.
void CursorRight();
void CursorLeft();
void ZoomInX();
void ZoomOutX();
void ZoomInY();
void ZoomOutY();
void SelectQty();
void AutoScaleY();
std::int16_t NextXScale(std::int16_t s, bool zoomIn);
// Largest x scale for the current first line (compressed, the whole band).
std::int16_t MaxXScale();

// (a * b) >> 15 with -32768 read as 32767.
std::int16_t YMul(std::int16_t a, std::int16_t b);
// Index of the first largest of n lines (0 when n <= 0, max = lines[0]).
int ArgMax(const std::int16_t* lines, int n, std::int16_t& max);
// Index from line first of the cursor's line (the largest of its column).
int CursorLine();
// Imperial factor of a quantity.
float ImperialFactor(int quant);

// What the screen shows, for the readers of its state.
extern char AnalyTitle[11];
extern char AnalyBandText[5];
extern char AnalyMenuText[ANALY_MENU_ITEMS][ANALY_LINE_LEN + 1];
extern CMenuItem AnalyMenu[ANALY_MENU_ITEMS];
extern const TLcdRect kAnalyPlot;
