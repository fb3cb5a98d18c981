#pragma once
// The 128 x 160 LCD frame buffer and its drawing primitives.
#include <cstdint>

constexpr int LCD_WIDTH = 128;
constexpr int LCD_HEIGHT = 160;
constexpr int LCD_WORDS_PER_ROW = 64;

// Row y, word x/2; even x is the high byte of the word, odd x the low byte.
extern std::uint16_t LcdBuf[LCD_HEIGHT][LCD_WORDS_PER_ROW];

enum : std::uint16_t {
  LCD_BLACK = 0,
  LCD_BLUE = 3,
  LCD_GREEN = 28,
  LCD_LIGHT_GREEN = 125,
  LCD_RED = 224,
  LCD_LIGHT_RED = 237,
  LCD_YELLOW = 252,
  LCD_LIGHT_YELLOW = 253,
  LCD_WHITE = 255,
};

struct LcdColour {
  std::uint16_t code;
  std::uint32_t bright;  // 0xRRGGBB with the backlight on
  std::uint32_t dimmed;  // 0xRRGGBB with the backlight off
};
// In the header, so that build tools can take the colours without linking.
inline constexpr LcdColour kLcdColours[9] = {
    {LCD_BLACK, 0x000000, 0x000000},       {LCD_BLUE, 0x0000FF, 0x00003F},
    {LCD_GREEN, 0x008000, 0x003F00},       {LCD_LIGHT_GREEN, 0x10F810, 0x003F00},
    {LCD_RED, 0xFF0000, 0x3F0000},         {LCD_LIGHT_RED, 0xF81010, 0x3F0000},
    {LCD_YELLOW, 0xFFFF00, 0x3F3F00},      {LCD_LIGHT_YELLOW, 0xF8F810, 0x3F3F00},
    {LCD_WHITE, 0xF0F0FF, 0x4E4E4E},
};

// 256-entry lookup of both columns; codes the firmware never draws show as
// their plain RGB 3-3-2 value.
std::uint32_t LcdColourRgb(std::uint8_t code, bool backlight);
// The whole column at once, for converting a frame without a call per pixel.
const std::uint32_t* LcdColourColumn(bool backlight);
constexpr bool IsLcdColour(int code) {
  return code == LCD_BLACK || code == LCD_BLUE || code == LCD_GREEN || code == LCD_LIGHT_GREEN ||
         code == LCD_RED || code == LCD_LIGHT_RED || code == LCD_YELLOW || code == LCD_LIGHT_YELLOW ||
         code == LCD_WHITE;
}

struct TLcdRect {
  std::int16_t xmin, ymin, xmax, ymax;
};

inline std::uint8_t LcdGetPixel(int x, int y) {
  const std::uint16_t w = LcdBuf[y][x / 2];
  return static_cast<std::uint8_t>((x & 1) ? (w & 0xFF) : (w >> 8));
}

void LcdClear();
void LcdPixel(std::int16_t x, std::int16_t y, std::uint16_t colour, std::uint8_t xorMode);
void LcdLine(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1, std::uint16_t colour,
             std::uint8_t xorMode);
void LcdClipLine(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1, std::uint16_t colour,
                 std::uint8_t xorMode, const TLcdRect& rect);
void LcdErase(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1);
void LcdFill(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1, std::uint16_t colour);
// Draws the battery indicator and presents the frame.
void LcdShow();
