// FmtStr against the C library's snprintf under the "C" locale: the same bytes
// and the same result for every conversion the firmware uses, rounding ties and
// the ends of the double range included; and no comma under a comma locale.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "comma_locale.h"
#include "numtext.h"

#pragma GCC diagnostic ignored "-Wformat-nonliteral"

namespace {
// Both into buffers of `size` bytes pre-filled with '#': the same bytes
// (nothing written past the end either) and the same result.
template <class... A>
::testing::AssertionResult Same(std::size_t size, const char* fmt, A... a) {
  char want[512], got[512];
  std::memset(want, '#', sizeof want);
  std::memset(got, '#', sizeof got);
  const int nw = std::snprintf(size ? want : nullptr, size, fmt, a...);
  const int ng = FmtStr(size ? got : nullptr, size, fmt, a...);
  if (nw == ng && std::memcmp(want, got, sizeof want) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << fmt << "\" size " << size << ": snprintf " << nw << " \""
                                       << std::string(want, std::min<std::size_t>(size, 80)) << "\", FmtStr " << ng
                                       << " \"" << std::string(got, std::min<std::size_t>(size, 80)) << "\"";
}
template <class... A>
::testing::AssertionResult Same(const char* fmt, A... a) {
  return Same(512, fmt, a...);
}

// The fixed-point formats of the point, tachometer and analysis screens.
const char* const kFixed[] = {"%.0f", "%.1f", "%.2f", "%.3f", "%f",    "%.9f",    "%2.0f", "x%.1f ",
                              " %.2f", "1:%.3f", "%8.3f", "%-8.2f|", "%08.2f", "%-08.1f|", "%.2f "};

struct NumText : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(std::setlocale(LC_ALL, "C")); }
};
}  // namespace

TEST_F(NumText, FixedPointAsPrintfRoundsIt) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> values = {
      0.0, -0.0, 0.5, 1.5, 2.5, 3.5, -2.5, 0.125, 0.375, 0.625, 0.0625, 2.675, 1.005, 1.045, 0.0005, 0.0015,
      9.995, 99.995, 999.995, 999.9949999, 0.05, 0.45, 0.55, 1e-7, -0.001, -0.0049, 5e-324, 2.2250738585072014e-308,
      // The demonstration values as the firmware holds them (floats), and what it derives from them.
      8.22f, 23.25f, 11.63f, 2.59f, 5.18f, 1.83f, 1.77f, 2.13f, 32.0f, 1.23f * 180.0 * 0.31830988148145367, 0.025,
      -1.0 / -4, 1000.0 / 3200.0 * 17, 20000 * 0.0003125 * 2777,
      // Where the integer part needs more than 64 bits, up to the largest double.
      1e15, 4503599627370495.5, 4503599627370497.0, 9007199254740993.0, 18446744073709551615.0, 1e22, 1e23,
      static_cast<double>(FLT_MAX), -static_cast<double>(FLT_MAX), DBL_MAX, -DBL_MAX, inf, -inf, nan, -nan};
  for (const char* fmt : kFixed)
    for (const double v : values) ASSERT_TRUE(Same(fmt, v)) << v;

  // Every third of a thousandth up to 30, and the doubles either side of each
  // decimal tie: the neighbourhoods where a rounding slip shows.
  for (int k = 0; k <= 60000; ++k) {
    const double v = k * 0.0005;
    for (const double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 100.0), v + k * 0.0005 / 3})
      for (const char* fmt : {"%.0f", "%.1f", "%.2f", "%.3f"}) ASSERT_TRUE(Same(fmt, w)) << w;
  }

  // Random bit patterns (every exponent, subnormals, inf and nan) and random
  // floats of the sizes the screens show.
  std::mt19937_64 rng(20261208);
  for (int i = 0; i < 40000; ++i) {
    double d;
    const std::uint64_t bits = rng();
    std::memcpy(&d, &bits, sizeof d);
    const auto f = static_cast<float>(std::ldexp(static_cast<double>(rng() % 1000000) / 1e6, int(rng() % 40) - 20));
    ASSERT_TRUE(Same(kFixed[i % std::size(kFixed)], d)) << d;
    ASSERT_TRUE(Same(kFixed[i % std::size(kFixed)], static_cast<double>(f))) << f;
  }
}

TEST_F(NumText, IntegersStringsAndBoundedBuffers) {
  for (const char* fmt : {"%d", "%5d", "%-5d|", "%-3d|", "%02d", "%1d", "%2d", "%4d", "%.3d", "%05d", "%-05d|",
                          "%.0d", "%8.3d"})
    for (const int v : {0, 1, -1, 7, -7, 12, 2014, -12345, 123456, INT_MAX, INT_MIN}) ASSERT_TRUE(Same(fmt, v));
  for (const long v : {0L, 2014L, -99999L, LONG_MAX, LONG_MIN}) ASSERT_TRUE(Same("%5ld", v));
  for (const long long v : {0LL, LLONG_MAX, LLONG_MIN}) ASSERT_TRUE(Same("%lld", v));
  for (const unsigned v : {0u, 4000000000u, UINT_MAX}) ASSERT_TRUE(Same("%u|%6u", v, v));
  ASSERT_TRUE(Same("%02d:%02d   %02d.%02d.%02d", 9, 5, 8, 12, 26));
  ASSERT_TRUE(Same("%2d.%2d.%4d", 8, 12, 2026));
  ASSERT_TRUE(Same("%1d.%1d.1316", 2, 6));
  ASSERT_TRUE(Same("%.4s|%s|%6s|%-6s|%c|%%|100%%", "12.345", "mm/s", "Hz", "RPM", 'x'));

  // Cut to the buffer: the terminator always, the length of the whole text.
  for (std::size_t size = 0; size <= 24; ++size) {
    ASSERT_TRUE(Same(size, "MainScrn() npnt = %d", 478));
    ASSERT_TRUE(Same(size, "%.2f %s %5d", 8.22, "mm/s", -3));
  }
}

// A conversion the firmware does not use ends the text there: it must show
// in a test rather than print something of its own.
TEST_F(NumText, OtherConversionsAreRefused) {
  for (const char* fmt : {"ab%xcd", "ab%gcd", "ab%+dcd", "ab%*dcd", "ab%.10fcd", "ab%lllfcd", "ab%"}) {
    char buf[16] = "????";
    EXPECT_EQ(FmtStr(buf, sizeof buf, fmt, 1, 2), -1) << fmt;
    EXPECT_STREQ(buf, "ab") << fmt;
  }
}

TEST_F(NumText, ADecimalCommaLocaleChangesNothing) {
  const TCommaLocale ru;
  ASSERT_EQ(ru.Error(), "");
  char c[32], ours[32];
  std::snprintf(c, sizeof c, "%.2f %.1f", 8.22, 1.0);
  EXPECT_STREQ(c, "8,22 1,0");  // what the C library now writes
  FmtStr(ours, sizeof ours, "%.2f %.1f", 8.22, 1.0);
  EXPECT_STREQ(ours, "8.22 1.0");
}
