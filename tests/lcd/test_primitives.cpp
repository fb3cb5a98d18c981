#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <set>
#include <thread>
#include <utility>

#include "lcd.h"
#include "headless_host.h"

namespace {
using Pt = std::pair<int, int>;

std::set<Pt> PixelsOf(std::uint8_t colour) {
  std::set<Pt> s;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x)
      if (LcdGetPixel(x, y) == colour) s.insert({x, y});
  return s;
}

// Reference line: classic integer Bresenham written independently, both ends included.
std::set<Pt> ReferenceLine(int x0, int y0, int x1, int y1) {
  std::set<Pt> s;
  int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
  int sx = x1 > x0 ? 1 : (x1 < x0 ? -1 : 0), sy = y1 > y0 ? 1 : (y1 < y0 ? -1 : 0);
  bool steep = dy > dx;
  int lng = steep ? dy : dx, sht = steep ? dx : dy;
  // midpoint decision with ties toward stepping the minor axis (2*short >= long)
  int acc = 0;
  int x = x0, y = y0;
  for (int i = 0; i <= lng; ++i) {
    s.insert({x, y});
    acc += 2 * sht;
    if (acc >= lng && sht) {
      if (steep) x += sx; else y += sy;
      acc -= 2 * lng;
    }
    if (steep) y += sy; else x += sx;
  }
  return s;
}
}  // namespace

TEST(LcdPixel, BytePlacementAndBounds) {
  LcdClear();
  LcdPixel(0, 0, 0x12, 0);
  EXPECT_EQ(LcdBuf[0][0], 0x12FF);
  LcdPixel(1, 0, 0x34, 0);
  EXPECT_EQ(LcdBuf[0][0], 0x1234);
  LcdPixel(127, 159, 3, 0);
  EXPECT_EQ(LcdBuf[159][63], 0xFF03);
  // little-endian byte view: byte 2k+1 is pixel 2k
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(LcdBuf[0]);
  EXPECT_EQ(bytes[1], 0x12);
  EXPECT_EQ(bytes[0], 0x34);

  LcdClear();
  for (auto [x, y] : {Pt{128, 0}, Pt{0, 160}, Pt{-1, 0}, Pt{0, -1}, Pt{-32768, 32767}})
    LcdPixel(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0, 0);
  EXPECT_EQ(PixelsOf(255).size(), 128u * 160u);
}

TEST(LcdPixel, XorModeInvertsByComplement) {
  LcdClear();
  LcdPixel(4, 4, 3, 0);
  LcdPixel(4, 4, 255, 1);  // complement 0: unchanged
  EXPECT_EQ(LcdGetPixel(4, 4), 3);
  LcdPixel(4, 4, 0, 1);  // complement 0xFF: all bits inverted
  EXPECT_EQ(LcdGetPixel(4, 4), 0xFC);
  EXPECT_EQ(LcdGetPixel(5, 4), 255);
}

TEST(LcdLine, KnownShapes) {
  LcdClear();
  LcdLine(0, 0, 3, 1, 0, 0);
  EXPECT_EQ(PixelsOf(0), (std::set<Pt>{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
  LcdClear();
  LcdLine(5, 5, 5, 5, 0, 0);
  EXPECT_EQ(PixelsOf(0), (std::set<Pt>{{5, 5}}));
  LcdClear();
  LcdLine(0, 0, 2, 2, 0, 0);
  EXPECT_EQ(PixelsOf(0), (std::set<Pt>{{0, 0}, {1, 1}, {2, 2}}));
}

TEST(LcdLine, MatchesReferenceInAllOctants) {
  const int ends[][4] = {{10, 10, 60, 30}, {60, 30, 10, 10}, {10, 10, 30, 90}, {30, 90, 10, 10},
                         {100, 5, 3, 150}, {3, 150, 100, 5}, {0, 80, 127, 80}, {64, 0, 64, 159},
                         {5, 7, 12, 7},    {20, 20, 27, 24}, {127, 0, 0, 159}, {50, 50, 51, 140}};
  for (const auto& e : ends) {
    LcdClear();
    LcdLine(static_cast<std::int16_t>(e[0]), static_cast<std::int16_t>(e[1]), static_cast<std::int16_t>(e[2]),
            static_cast<std::int16_t>(e[3]), 0, 0);
    const auto got = PixelsOf(0);
    const int lng = std::max(std::abs(e[2] - e[0]), std::abs(e[3] - e[1]));
    EXPECT_EQ(got.size(), static_cast<std::size_t>(lng + 1)) << e[0] << "," << e[1] << "->" << e[2] << "," << e[3];
    EXPECT_TRUE(got.count({e[0], e[1]}) && got.count({e[2], e[3]}));
    EXPECT_EQ(got, ReferenceLine(e[0], e[1], e[2], e[3])) << e[0] << "," << e[1] << "->" << e[2] << "," << e[3];
  }
}

// Every 16-bit input must end: a segment 32768 long has a length no int16
// holds. A call that does not return ends the run at once, not by time-out.
TEST(LcdLine, EveryInputEnds) {
  const std::int16_t v[] = {-32768, -32767, -16385, -1, 0, 5, 127, 16384, 32767};
  const TLcdRect r{0, 20, 127, 112};
  std::promise<void> done;
  std::thread worker([&] {
    for (std::int16_t x0 : v)
      for (std::int16_t y0 : v)
        for (std::int16_t x1 : v)
          for (std::int16_t y1 : v) {
            LcdLine(x0, y0, x1, y1, 0, 0);
            LcdClipLine(x0, y0, x1, y1, 0, 0, r);
          }
    done.set_value();
  });
  if (done.get_future().wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    std::fprintf(stderr, "LcdLine or LcdClipLine did not return\n");
    std::_Exit(1);
  }
  worker.join();
  // What shows of the segments that used to loop for ever.
  LcdClear();
  LcdLine(0, 0, -32768, 0, 0, 0);
  LcdLine(3, 30, 3, -32738, 0, 0);  // upwards through row 0
  std::set<Pt> want = {{0, 0}};
  for (int y = 0; y <= 30; ++y) want.insert({3, y});
  EXPECT_EQ(PixelsOf(0), want);
  LcdClear();
  LcdClipLine(10, 50, -32758, 50, 0, 0, r);  // cut at x 0
  LcdClipLine(30, 60, 30, -32708, 0, 0, r);  // cut at y 20
  want.clear();
  for (int x = 0; x <= 10; ++x) want.insert({x, 50});
  for (int y = 20; y <= 60; ++y) want.insert({30, y});
  EXPECT_EQ(PixelsOf(0), want);
}

TEST(LcdClipLine, RejectsAndCuts) {
  const TLcdRect r{10, 20, 100, 120};
  LcdClear();
  LcdClipLine(0, 30, 5, 60, 0, 0, r);  // wholly left
  LcdClipLine(5, 25, 5, 90, 0, 0, r);  // vertical outside [xmin, xmax]
  LcdClipLine(20, 5, 90, 15, 0, 0, r);  // wholly above
  EXPECT_TRUE(PixelsOf(0).empty());

  // Horizontal crossing: cut exactly at the boundary.
  LcdClear();
  LcdClipLine(0, 50, 127, 50, 0, 0, r);
  auto got = PixelsOf(0);
  EXPECT_EQ(got.size(), 91u);
  EXPECT_TRUE(got.count({10, 50}) && got.count({100, 50}));

  // Diagonal crossing: the ends follow the truncating rational formula.
  LcdClear();
  LcdClipLine(0, 0, 127, 159, 0, 0, r);
  got = PixelsOf(0);
  // entry t = 20/159 (y = ymin), leave t = 120/159 (y = ymax comes before x = xmax)
  const int ex = 127 * 20 / 159, ey = 159 * 20 / 159;
  const int lx = 120 * 127 / 159, ly = 120;
  EXPECT_TRUE(got.count({ex, ey})) << ex << "," << ey;
  EXPECT_TRUE(got.count({lx, ly})) << lx << "," << ly;
  for (auto [x, y] : got) {
    EXPECT_LE(x, 100);
    EXPECT_GE(y, 20);
    EXPECT_LE(y, 120);
  }
  // Wholly inside: unchanged line.
  LcdClear();
  LcdClipLine(20, 30, 80, 100, 0, 0, r);
  EXPECT_EQ(PixelsOf(0), ReferenceLine(20, 30, 80, 100));
}

TEST(LcdFill, InclusiveBoundsAndEmptyRanges) {
  LcdClear();
  LcdFill(10, 20, 12, 21, 3);
  EXPECT_EQ(PixelsOf(3).size(), 6u);
  EXPECT_EQ(LcdGetPixel(9, 20), 255);
  EXPECT_EQ(LcdGetPixel(13, 21), 255);
  LcdFill(10, 30, 9, 40, 3);
  LcdFill(10, 41, 20, 40, 3);
  EXPECT_EQ(PixelsOf(3).size(), 6u);
  LcdFill(-5, -5, 200, 200, 224);  // clipped to the screen
  EXPECT_EQ(PixelsOf(224).size(), 128u * 160u);
  LcdErase(0, 15, 127, 159);
  EXPECT_EQ(PixelsOf(255).size(), 128u * 145u);
}

// The fill stores whole words: odd and even edges, one-pixel and off-screen
// rectangles must set exactly the pixels a pixel-by-pixel fill sets.
TEST(LcdFill, EveryEdgeParityMatchesPixelByPixel) {
  const int xs[] = {-3, -1, 0, 1, 2, 5, 6, 126, 127, 130};
  for (int x0 : xs)
    for (int x1 : xs) {
      LcdClear();
      LcdFill(static_cast<std::int16_t>(x0), 158, static_cast<std::int16_t>(x1), 162, LCD_RED);
      for (int y = 156; y < 160; ++y)
        for (int x = 0; x < 128; ++x) {
          const bool inside = x >= x0 && x <= x1 && y >= 158;
          ASSERT_EQ(LcdGetPixel(x, y), inside ? LCD_RED : LCD_WHITE) << x0 << ".." << x1 << " at " << x << "," << y;
        }
    }
}

TEST(LcdColours, BrightAndDimmedColumns) {
  EXPECT_EQ(LcdColourRgb(255, true), 0xF0F0FFu);
  EXPECT_EQ(LcdColourRgb(255, false), 0x4E4E4Eu);
  EXPECT_EQ(LcdColourRgb(125, false), 0x003F00u);
  EXPECT_EQ(LcdColourRgb(253, true), 0xF8F810u);
  EXPECT_EQ(LcdColourRgb(3, false), 0x00003Fu);
}

TEST(LcdShow, DrawsBatteryAndPresents) {
  THeadlessHost host;
  LcdClear();
  LcdFill(80, 0, 127, 14, 224);
  LcdShow();
  ASSERT_EQ(host.Frames().size(), 1u);
  const TFrame& f = host.LastFrame();
  for (int y = 2; y <= 11; ++y) EXPECT_NE(f.At(95, y), 224);
  EXPECT_EQ(f.At(92, 4), 28);
  EXPECT_EQ(f.At(94, 8), 28);
  EXPECT_EQ(f.At(92, 3), 224);   // above the tip
  EXPECT_EQ(f.At(126, 5), 224);  // right of the body
}
