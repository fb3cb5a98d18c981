#include "lcd.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "font.h"
#include "host.h"

std::uint16_t LcdBuf[LCD_HEIGHT][LCD_WORDS_PER_ROW];

namespace {
struct ColourLut {
  std::array<std::uint32_t, 256> bright{};
  std::array<std::uint32_t, 256> dimmed{};
  ColourLut() {
    for (unsigned c = 0; c < 256; ++c) {
      const std::uint32_t r = ((c >> 5) & 7) * 255 / 7, g = ((c >> 2) & 7) * 255 / 7, b = (c & 3) * 255 / 3;
      bright[c] = (r << 16) | (g << 8) | b;
      dimmed[c] = ((r / 4) << 16) | ((g / 4) << 8) | (b / 4);
    }
    for (const LcdColour& e : kLcdColours) {
      bright[e.code] = e.bright;
      dimmed[e.code] = e.dimmed;
    }
  }
};
const ColourLut& Lut() {
  static const ColourLut lut;
  return lut;
}

constexpr std::int16_t S16(int v) { return static_cast<std::int16_t>(v); }
constexpr std::int16_t Sign(std::int16_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }
}  // namespace

std::uint32_t LcdColourRgb(std::uint8_t code, bool backlight) {
  return backlight ? Lut().bright[code] : Lut().dimmed[code];
}

const std::uint32_t* LcdColourColumn(bool backlight) {
  return backlight ? Lut().bright.data() : Lut().dimmed.data();
}

void LcdClear() { std::memset(LcdBuf, 0xFF, sizeof LcdBuf); }

void LcdPixel(std::int16_t x, std::int16_t y, std::uint16_t colour, std::uint8_t xorMode) {
  if (x > 127 || y > 159 || x < 0 || y < 0) return;
  std::uint16_t& w = LcdBuf[y][x / 2];
  const int shift = (x & 1) ? 0 : 8;
  std::uint16_t b = static_cast<std::uint16_t>((w >> shift) & 0xFF);
  if (xorMode)
    b = static_cast<std::uint16_t>(b ^ (~colour & 0xFF));
  else
    b = colour & 0xFF;
  w = static_cast<std::uint16_t>((w & ~(0xFF << shift)) | (b << shift));
}

void LcdLine(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1, std::uint16_t colour,
             std::uint8_t xorMode) {
  if (x0 == x1 && y0 == y1) {
    LcdPixel(x0, y0, colour, xorMode);
    return;
  }
  // Differences and positions wrap as 16-bit values. The length of a
  // difference of -32768 and twice a length above 16383 do not fit 16 bits
  // (the error term would stop moving and the loop never end), so lengths
  // and the error term are 32-bit; shorter segments draw exactly as before.
  const std::int16_t dx = S16(x1 - x0), dy = S16(y1 - y0);
  const std::int16_t sx = Sign(dx), sy = Sign(dy);
  const std::int32_t ax = dx < 0 ? -std::int32_t{dx} : dx, ay = dy < 0 ? -std::int32_t{dy} : dy;
  const bool yMajor = ax < ay;
  const std::int32_t lng = yMajor ? ay : ax, shrt = yMajor ? ax : ay;
  std::int32_t e = 2 * shrt - lng;
  std::int16_t x = x0, y = y0;
  for (std::int32_t i = 0; i < lng + 1; ++i) {
    LcdPixel(x, y, colour, xorMode);
    while (e >= 0) {
      if (yMajor)
        x = S16(x + sx);
      else
        y = S16(y + sy);
      e -= 2 * lng;
    }
    if (yMajor)
      y = S16(y + sy);
    else
      x = S16(x + sx);
    e += 2 * shrt;
  }
}

namespace {
// Liang-Barsky boundary test on exact fractions nE/dE and nL/dL. The
// differences are 16-bit; their negations are not (-(-32768) would keep its
// sign and turn a denominator negative), so p and the fractions are 32-bit.
bool ClipT(std::int32_t p, std::int16_t q, std::int32_t& nE, std::int32_t& dE, std::int32_t& nL,
           std::int32_t& dL) {
  const std::int32_t Q = q;
  if (p < 0) {
    if (Q * dL < nL * p) return false;
    if (Q * dE < p * nE) {
      nE = -Q;
      dE = -p;
    }
  } else if (p > 0) {
    if (Q * dE < nE * p) return false;
    if (Q * dL < nL * p) {
      nL = Q;
      dL = p;
    }
  } else if (q < 0) {
    return false;
  }
  return true;
}
}  // namespace

void LcdClipLine(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1, std::uint16_t colour,
                 std::uint8_t xorMode, const TLcdRect& r) {
  std::int32_t nE = 0, dE = 1, nL = 1, dL = 1;
  const std::int16_t dx = S16(x1 - x0), dy = S16(y1 - y0);
  if (!ClipT(-std::int32_t{dx}, S16(x0 - r.xmin), nE, dE, nL, dL)) return;
  if (!ClipT(dx, S16(r.xmax - x0), nE, dE, nL, dL)) return;
  if (!ClipT(-std::int32_t{dy}, S16(y0 - r.ymin), nE, dE, nL, dL)) return;
  if (!ClipT(dy, S16(r.ymax - y0), nE, dE, nL, dL)) return;
  if (nL < dL) {
    x1 = S16(x0 + nL * dx / dL);
    y1 = S16(y0 + nL * dy / dL);
  }
  if (nE > 0) {
    x0 = S16(x0 + dx * nE / dE);
    y0 = S16(y0 + dy * nE / dE);
  }
  LcdLine(x0, y0, x1, y1, colour, xorMode);
}

void LcdFill(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1, std::uint16_t colour) {
  // Every screen erases its body (18560 pixels) before each frame: clip once
  // and store two pixels a word, rather than a checked store per pixel.
  const int xa = std::max<int>(x0, 0), xb = std::min<int>(x1, LCD_WIDTH - 1);
  const int ya = std::max<int>(y0, 0), yb = std::min<int>(y1, LCD_HEIGHT - 1);
  const auto both = static_cast<std::uint16_t>((colour & 0xFF) * 0x0101);
  for (int y = ya; y <= yb; ++y) {
    int x = xa;
    if (x & 1 && x <= xb) LcdPixel(S16(x++), S16(y), colour, 0);
    for (; x < xb; x += 2) LcdBuf[y][x / 2] = both;
    if (x == xb) LcdPixel(S16(x), S16(y), colour, 0);
  }
}

void LcdErase(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1) {
  LcdFill(x0, y0, x1, y1, LCD_WHITE);
}

void LcdShow() {
  LcdFill(95, 2, 125, 11, LCD_GREEN);
  LcdFill(92, 4, 94, 8, LCD_GREEN);
  LcdSmallNum(97, 3, LCD_WHITE, LCD_GREEN, " 70%");
  LcdRefresh();
}
