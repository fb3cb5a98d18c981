// The spectrum analysis screen through the headless host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analy.h"
#include "computing.h"
#include "demodata.h"
#include "flash.h"
#include "host.h"
#include "lcd.h"
#include "golden.h"
#include "keys.h"
#include "headless_host.h"
#include "runscrn.h"
#include "state.h"
#include "texts.h"

namespace {
constexpr std::uint32_t kUsEnglish = 1033u | (1u << 16);

// The input spectrum the screen should show, worked out here from the
// demonstration table alone: load, frequency-domain Hanning window and
// magnitude, lines 0..3200.
std::vector<int> AccSpectrum() {
  std::vector<int> re(4096, 0), h(4096, 0);
  for (int i = 0; i < 3200; ++i) re[i] = static_cast<int>(SpecTab[i] * 0.013035090463527818);
  h[0] = re[0] / 2 - re[1] / 2;
  for (int k = 1; k < 4095; ++k) h[k] = re[k] / 2 - re[k - 1] / 4 - re[k + 1] / 4;
  std::vector<int> m(3201);
  for (int k = 0; k <= 3200; ++k) m[k] = std::abs(h[k]) / 2;
  return m;
}
// Units per count of that spectrum with the initial calibration.
const double kAccAmp = 4.0 * (3000.0 / 65535.0) / 0.281 * 1.632993;

std::vector<int> FromTable(const float* t, int n) {
  std::vector<int> v(3201, 0);
  for (int i = 0; i < n && i <= 3200; ++i) v[i] = static_cast<int>(t[i]);
  return v;
}

// Largest line of the lines first + c*w .. (fewer at the end), as an index
// from first.
int ColumnPeak(const std::vector<int>& spec, int first, int c, int w) {
  const int start = c * w;
  const int end = std::min(start + w, 3200 - first);
  int best = start;
  for (int i = start + 1; i < end; ++i)
    if (spec[first + i] > spec[first + best]) best = i;
  return best;
}

double Field(const char* line, int pos, int len) { return std::atof(std::string(line + pos, len).c_str()); }

// A readout cut to a few characters is right to its last shown digit.
void ExpectReadout(const char* line, int pos, int len, double expected) {
  const std::string s(line + pos, static_cast<std::size_t>(len));
  const std::size_t dot = s.find('.');
  const int decimals = dot == std::string::npos ? 0 : static_cast<int>(s.size() - dot - 1);
  EXPECT_NEAR(std::atof(s.c_str()), expected, 1.01 * std::pow(10.0, -decimals)) << "'" << s << "'";
}

struct AnalyTest : ::testing::Test {
  static void Prepare() {
    InitMenuTexts();
    DeviceInfo = CDeviceInfo{2014, 0x0201, 0.281f, 0.658f, 1.0f};
    CProgramState = TProgramState{};
    CProgramState.TypeParamA = 1;
    CProgramState.TypeParamV = 1;
    CProgramState.TypeParamS = 1;
    CProgramState.HighFrequency = 5;
    RouteStore.clear();
    OffRouteStore.clear();
    BuildDemoRoute();
    InitMeasVal(MeasVal, 0, 0, QTY_ACC);
  }
  // Route point n (1-based) as the analysed point.
  static void Point(std::int16_t n) {
    CProgramState.npnt = n;
    ReadPoint(n);
    CProgramState.MenuMode = SCR_ANALYSIS_POINT;
    CProgramState.MenuItem = 0;
  }
  static void Watch(std::int16_t band) {
    CProgramState.MenuMode = SCR_ANALYSIS_WATCH;
    CProgramState.MenuItem = 0;
    CProgramState.HighFrequency = band;
    CProgramState.LowBand = band <= 1 ? 1 : 0;
    CProgramState.EnvMode = band == 6 ? 1 : 0;
  }
  // Runs the screen; -1 when the script ran out and switched it off.
  static int Run() {
    try {
      return AnalyScrn();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "");
      return -1;
    }
  }
};

bool HasColour(const TFrame& f, int x0, int y0, int x1, int y1, std::uint8_t c) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (f.At(x, y) == c) return true;
  return false;
}
}  // namespace

// ---- set-up from the point or the watch settings ----

TEST_F(AnalyTest, AccelerationPointOfTwentyKilohertz) {
  THeadlessHost host;
  Prepare();
  Point(12);  // 20000 Hz, acceleration sensor
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(Analy.fmax, 20000);
  EXPECT_EQ(Analy.first, 2);
  EXPECT_EQ(Analy.xscale, 25);
  EXPECT_EQ(Analy.quant, 0);
  EXPECT_EQ(Analy.velIn, 0);
  EXPECT_EQ(Analy.colN, 127);  // columns 0..127 fill the plot
  EXPECT_NEAR(Analy.amp, kAccAmp, 1e-4);
  const std::vector<int> spec = AccSpectrum();
  for (int k = 2; k <= 3200; ++k) ASSERT_EQ(Analy.disp[k - 2], spec[k]) << k;
  const int m = *std::max_element(spec.begin() + 2, spec.end());
  EXPECT_EQ(Analy.ybase, m > 93 ? 3047424 / (m + 1) : 32767);
  EXPECT_EQ(Analy.yzoom, 1);
  EXPECT_STREQ(AnalyTitle, "RMS 1.83");
}

TEST_F(AnalyTest, VelocityInputStartsAtFiveHertz) {
  for (std::int16_t band : {std::int16_t{0}, std::int16_t{1}}) {
    THeadlessHost host;
    Prepare();
    Watch(band);
    EXPECT_EQ(Run(), -1);
    EXPECT_EQ(Analy.fmax, band == 0 ? 1000 : 2000);
    EXPECT_EQ(Analy.first, band == 0 ? 16 : 8);
    EXPECT_EQ(Analy.xscale, 25);
    EXPECT_EQ(Analy.quant, 1);
    EXPECT_STREQ(AnalyTitle, "RMS 8.22");
    EXPECT_EQ(std::string(AnalyMenuText[3] + 12, 4), "mm/s");
    // The lowest line shown lies at 5 Hz.
    EXPECT_DOUBLE_EQ(Analy.first * Analy.fmax / 3200.0, 5.0);
  }
}

TEST_F(AnalyTest, RoutePointUsesItsOwnBand) {
  THeadlessHost host;
  Prepare();
  Point(4);  // 4000 Hz, acceleration
  Run();
  EXPECT_EQ(Analy.fmax, 4000);
  Point(1);  // 1000 Hz, velocity sensor
  Run();
  EXPECT_EQ(Analy.fmax, 1000);
  EXPECT_EQ(Analy.velIn, 1);
  EXPECT_EQ(Analy.first, 16);
}

TEST_F(AnalyTest, EnvelopeShowsCrestFactorAndKeepsAcceleration) {
  THeadlessHost host;
  Prepare();
  Watch(6);
  host.Keys({S(4), S(4), S(4), S(1), S(1), S(3)});  // to the units line, then switch
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(Analy.fmax, 1000);
  EXPECT_EQ(Analy.quant, 0);
  EXPECT_EQ(CProgramState.MenuItem, 3);
  EXPECT_STREQ(AnalyTitle, "CF  2.13");
  EXPECT_EQ(std::string(AnalyMenuText[3] + 12, 4), "m/s2");
}

TEST_F(AnalyTest, EnvelopeTitleIsNotConvertedInUsUnits) {
  THeadlessHost host(kUsEnglish);
  Prepare();
  Watch(6);
  Run();
  EXPECT_STREQ(AnalyTitle, "CF  2.13");
  EXPECT_EQ(std::string(AnalyMenuText[3] + 12, 4), "g   ");
}

// ---- keys ----

TEST_F(AnalyTest, BackReturnsByEntryState) {
  {
    THeadlessHost host;
    Prepare();
    Point(12);
    host.Key(S(2));
    EXPECT_EQ(Run(), SCR_POINT);
    EXPECT_EQ(CProgramState.MenuItem, 2);
  }
  {
    THeadlessHost host;
    Prepare();
    Watch(5);
    host.Keys({S(4), S(2)});
    EXPECT_EQ(Run(), SCR_MAIN);
    EXPECT_EQ(CProgramState.MenuItem, 2);
  }
}

TEST_F(AnalyTest, SelectWalksTheFourLinesRound) {
  THeadlessHost host;
  Prepare();
  Point(12);
  std::vector<int> seen;
  host.Keys({S(4), S(4), S(4), S(4), S(4)});
  host.OnFrame = [&](const TFrame&) { seen.push_back(CProgramState.MenuItem); };
  Run();
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 0, 1}));
}

TEST_F(AnalyTest, ButtonsActOnTheSelectedLine) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({S(1), S(1), S(1), S(3)});  // cursor: right 3, left 1
  host.Keys({S(4), S(1)});              // x scale: zoom in
  host.Keys({S(4), S(3), S(3)});        // y scale: zoom in twice
  host.Keys({S(4), S(1)});              // units: velocity
  Run();
  EXPECT_EQ(Analy.xscale, 12);
  EXPECT_EQ(Analy.quant, 1);
  // The quantity change sets the y scale afresh.
  EXPECT_EQ(Analy.yzoom, 1);
  EXPECT_EQ(std::string(AnalyMenuText[3] + 12, 4), "mm/s");
}

TEST_F(AnalyTest, HeldButtonsRepeatAndOtherCodesOnlyRedraw) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({KEY_HOLD + 1, KEY_HOLD + 1, KEY_HOLD + 1, KEY_HOLD + 3, KEY_LONG + 1, KEY_HOLD + 4, KEY_CHORD,
             KEY_STEP, KEY_NONE, KEY_LONG + 2});
  Run();
  EXPECT_EQ(Analy.cur, 2);
  EXPECT_EQ(CProgramState.MenuItem, 0);
}

TEST_F(AnalyTest, QuantityCyclesBothWays) {
  THeadlessHost host;
  Prepare();
  Point(12);
  std::vector<int> q;
  host.Keys({S(4), S(4), S(4), S(1), S(1), S(1), S(3), S(3)});
  host.OnFrame = [&](const TFrame&) { q.push_back(Analy.quant); };
  Run();
  EXPECT_EQ(q, (std::vector<int>{0, 0, 0, 0, 1, 2, 0, 2, 1}));
}

// ---- x zoom and cursor limits ----

TEST_F(AnalyTest, XZoomStepsAndStops) {
  THeadlessHost host;
  Prepare();
  Point(12);
  std::vector<int> xs;
  std::vector<std::string> texts;
  host.Key(S(4));
  for (int i = 0; i < 8; ++i) host.Keys({S(1)});
  for (int i = 0; i < 7; ++i) host.Keys({S(3)});
  host.OnFrame = [&](const TFrame&) {
    xs.push_back(Analy.xscale);
    texts.push_back(std::string(AnalyMenuText[1] + 10, 7));
  };
  Run();
  ASSERT_EQ(xs.size(), 17u);
  EXPECT_EQ(std::vector<int>(xs.begin() + 1, xs.begin() + 10),
            (std::vector<int>{25, 12, 6, 3, -1, -2, -4, -8, -8}));
  EXPECT_EQ(std::vector<int>(xs.begin() + 10, xs.end()), (std::vector<int>{-4, -2, -1, 2, 4, 8, 16}));
  EXPECT_EQ(texts[1], "1:25   ");
  EXPECT_EQ(texts[2], "1:12   ");
  EXPECT_EQ(texts[5], "1:1    ");
  EXPECT_EQ(texts[7], "1:0.250");
  EXPECT_EQ(texts[8], "1:0.125");
  // One more zoom out reaches the whole band and stays there.
  EXPECT_EQ(NextXScale(16, false), 25);
  EXPECT_EQ(NextXScale(25, false), 25);
  EXPECT_EQ(NextXScale(12, false), 24);
}

TEST_F(AnalyTest, CursorStopsAtBothEnds) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({S(3), S(3)});
  for (int i = 0; i < 140; ++i) host.Keys({S(1)});
  Run();
  const int n = (3200 - 2) / 25;
  EXPECT_EQ(Analy.cur, n);
  EXPECT_EQ(Analy.col0, 0);  // the whole band fits: nothing scrolls
  const std::vector<int> spec = AccSpectrum();
  const int L = ColumnPeak(spec, 2, n, 25);
  ExpectReadout(AnalyMenuText[0], 8, 5, (2 + L) * 20000.0 / 3200.0);
}

TEST_F(AnalyTest, ExpandedCursorScrollsToTheLastLine) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({S(4), S(1), S(1), S(1), S(1), S(1), S(1), S(1), S(4), S(4), S(4)});  // -8, back on the cursor
  for (int i = 0; i < 3300; ++i) host.Keys({S(1)});
  Run();
  ASSERT_EQ(Analy.xscale, -8);
  EXPECT_EQ(Analy.cur, 3198);
  EXPECT_EQ(Analy.colN, 3197);
  // The cross stays on the plot.
  const int x = 8 * (Analy.cur - Analy.col0);
  EXPECT_GE(x, 0);
  EXPECT_LE(x, 127);
  EXPECT_TRUE(HasColour(host.LastFrame(), std::max(x - 3, 0), 20, std::min(x + 3, 127), 112, LCD_RED));
  EXPECT_EQ(std::string(AnalyMenuText[0] + 8, 5), "20000");
}

TEST_F(AnalyTest, ZoomKeepsTheCursorWhereItIs) {
  THeadlessHost host;
  Prepare();
  Point(12);
  for (int i = 0; i < 40; ++i) host.Keys({S(1)});
  host.Keys({S(4), S(1)});  // 25 -> 12
  std::vector<int> px;
  host.OnFrame = [&](const TFrame&) { px.push_back(Analy.cur - Analy.col0); };
  Run();
  const std::vector<int> spec = AccSpectrum();
  EXPECT_EQ(Analy.xscale, 12);
  EXPECT_EQ(px.back(), 40);
  // The cursor now sits on the column that holds the old column's peak.
  EXPECT_EQ(Analy.cur, ColumnPeak(spec, 2, 40, 25) / 12);
}

TEST_F(AnalyTest, ZoomingOutNearTheStartNeverLeavesTheData) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({S(4), S(1), S(1), S(1), S(1), S(1), S(1), S(1), S(4), S(4), S(4)});  // 1:0.125
  for (int i = 0; i < 30; ++i) host.Keys({S(3)});  // cursor on the first line
  for (int i = 0; i < 14; ++i) host.Keys({S(1)});  // then at x 112
  host.Keys({S(4), S(3)});                          // -8 -> -4
  Run();
  EXPECT_EQ(Analy.xscale, -4);
  // Keeping x 112 at 4 pixels a line would start the plot 14 lines before
  // the first one.
  EXPECT_EQ(Analy.cur, 14);
  EXPECT_EQ(Analy.col0, 0);
  EXPECT_EQ(std::string(AnalyMenuText[1] + 10, 7), "1:0.250");
}

TEST_F(AnalyTest, ZoomingOutAtTheEndKeepsTheCursorOnThePlot) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({S(4), S(1), S(4), S(4), S(4)});  // 12 lines per column
  for (int i = 0; i < 300; ++i) host.Keys({S(1)});
  host.Keys({S(4), S(3)});  // 12 -> 24
  Run();
  EXPECT_EQ(Analy.xscale, 24);
  const int x = Analy.cur - Analy.col0;
  EXPECT_GE(x, 0);
  EXPECT_LE(x, 127);
  EXPECT_EQ(Analy.cur, (3200 - 2) / 24);
}

// Near the end but short of the last column, zooming out shows the view that
// ends one column before the last (n - 128): the cursor is on it, so the
// mend for the last column does not apply.
TEST_F(AnalyTest, ZoomingOutNearTheEndKeepsTheViewBeforeTheLastColumn) {
  for (int back : {20, 4}) {
    THeadlessHost host;
    Prepare();
    Point(12);
    host.Keys({S(4), S(1), S(4), S(4), S(4)});  // 12 lines per column
    for (int i = 0; i < 300; ++i) host.Keys({S(1)});
    for (int i = 0; i < back; ++i) host.Keys({S(3)});
    host.Keys({S(4), S(3)});  // 12 -> 24
    Run();
    ASSERT_EQ(Analy.xscale, 24);
    const int n = (3200 - 2) / 24;
    ASSERT_LT(Analy.cur, n) << back;
    EXPECT_EQ(Analy.col0, n - 128) << back;
    EXPECT_LE(Analy.cur - Analy.col0, 127) << back;
  }
}

// ---- y zoom ----

TEST_F(AnalyTest, YZoomDoublesUntilFullScaleAndHalvesToOne) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({S(4), S(4), S(4), S(1)});  // velocity: a spectrum with room to zoom
  host.Keys({S(4), S(4), S(4)});
  for (int i = 0; i < 14; ++i) host.Keys({S(3)});
  std::vector<int> zooms, scales;
  std::vector<std::string> texts;
  host.OnFrame = [&](const TFrame&) {
    zooms.push_back(Analy.yzoom);
    scales.push_back(Analy.yscale);
    texts.push_back(std::string(AnalyMenuText[2] + 13, 3));
  };
  for (int i = 0; i < 14; ++i) host.Keys({S(1)});
  Run();
  const int m = static_cast<int>(*std::max_element(SpecTabIntg + 2, SpecTabIntg + 3200));
  const int base = 3047424 / (static_cast<int>(m) + 1);
  EXPECT_EQ(Analy.ybase, base);
  // Zoom in: doubling until the factor would pass 32767, then no change.
  int z = 1;
  std::vector<int> expect;
  for (int i = 0; i < 14; ++i) {
    if (std::min(base * z, 32767) != 32767) z *= 2;
    expect.push_back(z);
  }
  EXPECT_EQ(std::vector<int>(zooms.begin() + 8, zooms.begin() + 22), expect);
  EXPECT_EQ(scales[21], 32767);
  EXPECT_EQ(texts[7], "1  ");
  EXPECT_EQ(texts[8], "2  ");
  EXPECT_EQ(zooms.back(), 1);  // and back down, never below one
  EXPECT_EQ(scales.back(), base);
}

// ---- readouts against the demonstration data ----

TEST_F(AnalyTest, CursorAndBandReadoutsInSiUnits) {
  THeadlessHost host;
  Prepare();
  Point(12);
  for (int i = 0; i < 3; ++i) host.Keys({S(1)});
  Run();
  const std::vector<int> spec = AccSpectrum();
  const int L = ColumnPeak(spec, 2, 3, 25);
  ExpectReadout(AnalyMenuText[0], 8, 5, (2 + L) * 20000.0 / 3200.0);
  ExpectReadout(AnalyMenuText[0], 16, 5, spec[2 + L] * kAccAmp);
  double sum = 0;
  for (int k = L - 2; k <= L + 2; ++k) sum += static_cast<double>(spec[2 + k]) * spec[2 + k];
  // The band RMS is worked out in whole counts: up to one count below the exact
  // value; the text keeps four characters.
  const double exact = std::sqrt(sum / 2);
  EXPECT_EQ(std::strlen(AnalyBandText), 4u);
  EXPECT_GE(std::atof(AnalyBandText), (exact - 1.0) * kAccAmp - 0.1);
  EXPECT_LE(std::atof(AnalyBandText), exact * kAccAmp);
  EXPECT_EQ(std::string(AnalyMenuText[3] + 12, 4), "m/s2");
  EXPECT_EQ(std::string(AnalyMenuText[0], 8), "CURSORX:");
  // The trace carries the cursor line.
  const auto& tr = host.TraceLines();
  ASSERT_GE(tr.size(), 3u);
  EXPECT_EQ(tr[tr.size() - 2], "UpdateAnaly()");
  EXPECT_EQ(tr.back(), AnalyMenuText[0]);
}

TEST_F(AnalyTest, BandValueFollowsTheParameterKind) {
  // Peak and peak-to-peak band values are the RMS times root two and two root two.
  const std::vector<int> spec = AccSpectrum();
  const int L = ColumnPeak(spec, 2, 3, 25);
  std::int32_t half = 0;
  for (int k = L - 2; k <= L + 2; ++k) half += spec[2 + k] * spec[2 + k] / 2;
  const double rms = std::floor(std::sqrt(static_cast<double>(half))) * kAccAmp;
  for (int kind : {1, 0, 2}) {
    THeadlessHost host;
    Prepare();
    CProgramState.TypeParamA = static_cast<std::int16_t>(kind);
    Point(12);
    for (int i = 0; i < 3; ++i) host.Keys({S(1)});
    Run();
    const double factor = kind == 1 ? 1.0 : kind == 0 ? 1.4142136 : 2.8284271;
    ExpectReadout(AnalyBandText, 0, 4, rms * factor);
    EXPECT_STREQ(AnalyTitle, kind == 1 ? "RMS 1.83" : kind == 0 ? "Pk  2.59" : "P-P 5.18");
  }
}

TEST_F(AnalyTest, DerivedQuantitiesReadTheirTables) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({S(1), S(1), S(4), S(4), S(4), S(1)});  // cursor column 2, velocity
  Run();
  const std::vector<int> intg = FromTable(SpecTabIntg, 3200);
  const int L = ColumnPeak(intg, 2, 2, 25);
  ExpectReadout(AnalyMenuText[0], 16, 5, intg[2 + L] * 6.76754e-4);
  EXPECT_STREQ(AnalyTitle, "RMS 8.22");

  THeadlessHost vel;
  Prepare();
  Point(1);  // velocity input, 1000 Hz
  vel.Keys({S(1), S(4), S(4), S(4), S(3)});  // cursor column 1, acceleration
  Run();
  EXPECT_EQ(Analy.quant, 0);
  const std::vector<int> diff = FromTable(SpecTabDiff, 3201);
  const int Ld = ColumnPeak(diff, 16, 1, 25);
  ExpectReadout(AnalyMenuText[0], 8, 5, (16 + Ld) * 1000.0 / 3200.0);
  ExpectReadout(AnalyMenuText[0], 16, 5, diff[16 + Ld] * 3.12211e-5);
  EXPECT_STREQ(AnalyTitle, "RMS 1.83");
}

// Displacement from an acceleration input calls SpecIntg twice, and the
// demonstration device answers both with its integrated table and fixed
// scale: the plot, cursor and band values are the velocity ones under the um
// label. A real integration once stood in for the second call.
TEST_F(AnalyTest, DisplacementOfAnAccelerationInputIsTheIntegratedTableAgain) {
  struct Shown {
    std::vector<int> lines;  // counts, from line first
    float amp;
    std::string cursor, band, unit;
  };
  auto show = [](int quantSteps) {
    THeadlessHost host;
    Prepare();
    Point(12);                                                     // acceleration, 20 kHz
    host.Keys({S(4), S(1), S(1), S(1), S(1), S(4), S(4), S(4)});  // 1:1
    for (int i = 0; i < 40; ++i) host.Keys({S(3)});
    for (int i = 0; i < 12; ++i) host.Keys({S(1)});  // line 14
    host.Keys({S(4), S(4), S(4)});
    for (int i = 0; i < quantSteps; ++i) host.Keys({S(1)});
    Run();
    return Shown{std::vector<int>(Analy.disp, Analy.disp + 3200 - Analy.first), Analy.amp,
                 std::string(AnalyMenuText[0]), AnalyBandText, std::string(AnalyMenuText[3] + 12, 4)};
  };
  const Shown vel = show(1);
  const Shown dis = show(2);
  ASSERT_EQ(Analy.first, 2);
  EXPECT_EQ(Analy.quant, 2);
  EXPECT_EQ(Analy.disp, SpecIm + 2);
  const std::vector<int> intg = FromTable(SpecTabIntg, 3200);
  EXPECT_EQ(dis.lines, std::vector<int>(intg.begin() + 2, intg.begin() + 3200));
  EXPECT_FLOAT_EQ(dis.amp, 6.76754e-4f);
  EXPECT_EQ(dis.lines, vel.lines);
  EXPECT_EQ(dis.cursor, vel.cursor);  // line 14, 87.5 Hz: 9470 x 6.76754e-4 in both
  EXPECT_EQ(dis.cursor.substr(8), "87.50 Y:6.409");
  EXPECT_EQ(dis.band, vel.band);
  EXPECT_EQ(dis.unit, "um  ");
  EXPECT_EQ(vel.unit, "mm/s");
}

TEST_F(AnalyTest, UsUnitsConvertCursorBandAndTitle) {
  float si[2];
  {
    THeadlessHost host;
    Prepare();
    Point(12);
    host.Keys({S(1), S(1), S(1)});
    Run();
    si[0] = static_cast<float>(Field(AnalyMenuText[0], 16, 5));
    si[1] = static_cast<float>(std::atof(AnalyBandText));
  }
  THeadlessHost host(kUsEnglish);
  Prepare();
  Point(12);
  host.Keys({S(1), S(1), S(1)});
  Run();
  EXPECT_NEAR(Field(AnalyMenuText[0], 16, 5), si[0] * 0.10204082, 0.002);
  EXPECT_NEAR(std::atof(AnalyBandText), si[1] * 0.10204082, 0.011);
  EXPECT_STREQ(AnalyTitle, "RMS 0.19");  // 1.83 m/s2 in g
  EXPECT_EQ(std::string(AnalyMenuText[3] + 12, 4), "g   ");
}

TEST_F(AnalyTest, NoBandValueOnTheFirstTwoLines) {
  THeadlessHost host;
  Prepare();
  Point(12);
  std::vector<std::string> bands;
  host.Keys({S(4), S(1), S(1), S(1), S(1), S(4), S(4), S(4)});  // 1:1
  for (int i = 0; i < 40; ++i) host.Keys({S(3)});                // cursor on line first
  host.Keys({S(1), S(1)});
  host.OnFrame = [&](const TFrame&) { bands.push_back(AnalyBandText); };
  Run();
  ASSERT_EQ(bands.size(), 51u);
  EXPECT_EQ(Analy.cur, 2);
  EXPECT_EQ(bands[48], "");  // line first
  EXPECT_EQ(bands[49], "");  // line first + 1
  EXPECT_NE(bands[50], "");
  // Where the value stands, only the value changes the picture (the view
  // does not scroll between these frames).
  auto region = [&](std::size_t i) {
    std::vector<std::uint8_t> px;
    for (int y = 22; y < 36; ++y)
      for (int x = 94; x < 128; ++x) px.push_back(host.Frames()[i].At(x, y));
    return px;
  };
  EXPECT_EQ(region(48), region(49));
  EXPECT_NE(region(49), region(50));
}

TEST_F(AnalyTest, YTickOnlyInMetricUnits) {
  for (std::uint32_t lang : {1033u, kUsEnglish}) {
    THeadlessHost host(lang);
    Prepare();
    Point(12);
    host.Keys({S(4), S(4), S(4), S(1)});  // velocity, whose top lies in range
    Run();
    const TFrame& f = host.LastFrame();
    // Tick at x 1..2 and a label from x 4 somewhere on the y axis.
    bool tick = false;
    for (int y = 20; y <= 112; ++y) tick = tick || (f.At(1, y) == LCD_BLACK && f.At(2, y) == LCD_BLACK);
    EXPECT_EQ(tick, lang == 1033u) << lang;
    EXPECT_EQ(HasColour(f, 4, 21, 30, 100, LCD_BLACK), lang == 1033u) << lang;
  }
}

TEST_F(AnalyTest, XLabelsStayInsideTheScreen) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Key(S(4));
  for (int i = 0; i < 7; ++i) host.Keys({S(1)});
  host.Keys({S(4), S(4), S(4)});
  for (int i = 0; i < 200; ++i) host.Keys({S(1)});
  int checked = 0;
  host.OnFrame = [&](const TFrame& f) {
    ++checked;
    for (int y = 117; y < 125; ++y) {
      EXPECT_EQ(f.At(0, y), LCD_WHITE) << checked;
      EXPECT_EQ(f.At(127, y), LCD_WHITE) << checked;
    }
  };
  Run();
  EXPECT_GT(checked, 200);
}

TEST_F(AnalyTest, ShorterTitleLeavesNothingBehind) {
  THeadlessHost host;
  Prepare();
  CProgramState.TypeParamV = 2;  // "P-P 23.25", then the shorter "RMS 1.77"
  Point(12);
  host.Keys({S(4), S(4), S(4), S(1), S(1)});
  Run();
  const TFrame& after = host.LastFrame();
  THeadlessHost fresh;
  Prepare();
  Point(12);
  fresh.Keys({S(4), S(4), S(4), S(3)});  // straight to displacement
  Run();
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 92; ++x) ASSERT_EQ(after.At(x, y), fresh.LastFrame().At(x, y)) << x << "," << y;
}

TEST_F(AnalyTest, SupportOperations) {
  EXPECT_EQ(YMul(16384, 200), 100);
  EXPECT_EQ(YMul(32767, 32767), 32766);
  EXPECT_EQ(YMul(-32768, 32767), -32767);
  EXPECT_EQ(YMul(-32768, -32768), 32767);  // 32768 does not fit: read as full scale
  const std::int16_t lines[] = {3, 9, 2, 9, 1};
  std::int16_t m = 0;
  EXPECT_EQ(ArgMax(lines, 5, m), 1);
  EXPECT_EQ(m, 9);
  EXPECT_EQ(ArgMax(lines + 2, 0, m), 0);
  EXPECT_EQ(m, 2);
}

// ---- whole frames ----

TEST_F(AnalyTest, GoldenFramesOfAPoint) {
  struct Case {
    std::uint32_t lang;
    bool zoom;
    const char* name;
  };
  for (const Case& c : {Case{1033u, false, "analy_point_en"}, Case{1033u, true, "analy_zoom_en"},
                        Case{kUsEnglish, true, "analy_zoom_us"}, Case{1049u, false, "analy_point_ru"},
                        Case{1049u, true, "analy_zoom_ru"}}) {
    THeadlessHost host(c.lang);
    Prepare();
    Point(12);
    if (c.zoom) {
      for (int i = 0; i < 5; ++i) host.Keys({S(1)});
      host.Keys({S(4), S(1), S(4), S(4), S(1)});  // 1:12, velocity
      host.Keys({S(4), S(4), S(4), S(3), S(3)});  // y zoom 4
      host.Keys({S(4), S(4)});                    // back on the cursor
      for (int i = 0; i < 3; ++i) host.Keys({S(1)});
    }
    Run();
    ASSERT_FALSE(host.Frames().empty());
    EXPECT_GOLDEN(host.LastFrame(), c.name);
  }
}

TEST_F(AnalyTest, GoldenFrameOfTheWatchEnvelope) {
  THeadlessHost host;
  Prepare();
  Watch(6);
  host.Keys({S(1), S(1), S(1), S(1)});
  Run();
  EXPECT_GOLDEN(host.LastFrame(), "analy_envelope_en");
}

TEST_F(AnalyTest, LanguageChangeRedrawsTheMenuLines) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Key(S(1));
  host.OnFrame = [&](const TFrame&) {
    if (host.Frames().size() == 1) {
      host.SetLanguage(1049);
      InitMenuTexts();
      host.Key(KEY_NONE);
    }
  };
  Run();
  EXPECT_EQ(std::string(AnalyMenuText[3], 11), "\xD0\xC0\xC7\xCC\xC5\xD0\xCD\xCE\xD1\xD2\xDC");
  EXPECT_EQ(Analy.cur, 1);
  // The whole page, title included, as if entered in the new language.
  TFrame russian;
  {
    THeadlessHost ru(1049);
    InitMenuTexts();
    Point(12);
    ru.Key(S(1));
    Run();
    russian = ru.LastFrame();
  }
  int diff = 0;
  for (int y = 0; y < LCD_HEIGHT; ++y)
    for (int x = 0; x < LCD_WIDTH; ++x) diff += host.LastFrame().At(x, y) != russian.At(x, y);
  EXPECT_EQ(diff, 0);
}

TEST_F(AnalyTest, StopExceptionPassesThrough) {
  THeadlessHost host;
  Prepare();
  Point(12);
  host.Keys({S(1), S(4)});
  try {
    AnalyScrn();
    FAIL() << "the screen returned without a key to leave";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
  }
  EXPECT_EQ(Analy.cur, 1);
  EXPECT_EQ(CProgramState.MenuItem, 1);
}
