#pragma once
// The five LCD bitmap fonts and their glyph painters.
#include <cstddef>
#include <cstdint>

constexpr std::size_t FONT6X8_SIZE = 3096;
constexpr std::size_t FONT_SMALL_DIGITS_SIZE = 130;
constexpr std::size_t FONT_LARGE_DIGITS_SIZE = 384;
constexpr std::size_t FONT_TEXT_SIZE = 8100;
constexpr std::size_t FONT_ICONS_SIZE = 336;

// Raw resource bytes, little-endian words; all zero until the first load.
extern std::uint8_t Font6x8[FONT6X8_SIZE];
extern std::uint8_t FontSmallDigits[FONT_SMALL_DIGITS_SIZE];
extern std::uint8_t FontLargeDigits[FONT_LARGE_DIGITS_SIZE];
extern std::uint8_t FontText[FONT_TEXT_SIZE];
extern std::uint8_t FontIcons[FONT_ICONS_SIZE];

// Copies one RCDATA resource into dest when its size is right; otherwise shows
// the error box and leaves dest as it was.
void LoadFontResource(const char* name, std::uint8_t* dest, std::size_t size);
// The five resources in their fixed order (the caller holds the device lock).
void LcdLoadFonts();

void LcdChars6x8(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, const char* text);
void LcdSmallNum(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, const char* text);
void LcdBigNum(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, const char* text);
void LcdIcon(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, std::int16_t index);

// Proportional font: glyph index of a character code, its width, and painting
// one glyph at x (returns the advanced x; no test on x, LcdPixel clips).
int TextGlyphIndex(std::uint8_t c);
int TextGlyphWidth(std::uint8_t c);  // as stored; the painter keeps to 0..12
std::int16_t LcdTextGlyph(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, std::uint8_t c);
