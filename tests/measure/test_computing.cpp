// Fixed-point signal routines on small hand-computed inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "computing.h"
#include "state.h"

namespace {

// Calibration as the firmware start sets it; restored after every test.
class Computing : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = DeviceInfo;
    DeviceInfo = {2014, 0x0201, 0.281f, 0.658f, 1.0f};
    std::fill(std::begin(WaveBuf), std::end(WaveBuf), std::uint16_t{0});
    std::fill(std::begin(SpecBuf), std::end(SpecBuf), std::int16_t{0});
  }
  void TearDown() override { DeviceInfo = saved_; }
  CDeviceInfo saved_{};
};

std::uint16_t RefSqrt(std::int32_t a) {
  if (a <= 0) return 0;
  auto r = static_cast<std::int64_t>(std::sqrt(static_cast<long double>(a)));
  while (r * r > a) --r;
  while ((r + 1) * (r + 1) <= a) ++r;
  return static_cast<std::uint16_t>(r);
}

TEST_F(Computing, ISqrtMatchesTheFloorOfTheRoot) {
  EXPECT_EQ(ISqrt(0), 0);
  EXPECT_EQ(ISqrt(-1), 0);
  EXPECT_EQ(ISqrt(INT32_MIN), 0);
  EXPECT_EQ(ISqrt(1), 1);
  EXPECT_EQ(ISqrt(2), 1);
  EXPECT_EQ(ISqrt(3), 1);
  EXPECT_EQ(ISqrt(INT32_MAX), 46340);
  for (std::int32_t n : {2, 3, 10, 255, 256, 4095, 32767, 32768, 46339, 46340}) {
    const std::int32_t sq = n * n;
    EXPECT_EQ(ISqrt(sq), n) << n;
    EXPECT_EQ(ISqrt(sq - 1), n - 1) << n;
    EXPECT_EQ(ISqrt(sq + 1), n) << n;
  }
  // A sweep over the whole positive range against the reference.
  for (std::int64_t a = 1; a < INT32_MAX; a += 104729) {
    const auto v = static_cast<std::int32_t>(a);
    ASSERT_EQ(ISqrt(v), RefSqrt(v)) << v;
  }
}

TEST_F(Computing, Sqrt2PowStepsByThreeDecibels) {
  EXPECT_FLOAT_EQ(Sqrt2Pow(0), 1.0f);
  EXPECT_FLOAT_EQ(Sqrt2Pow(1), 1.4142136f);
  EXPECT_FLOAT_EQ(Sqrt2Pow(2), 2.0f);
  EXPECT_FLOAT_EQ(Sqrt2Pow(3), 2.8284272f);
  EXPECT_FLOAT_EQ(Sqrt2Pow(-2), 0.5f);
  EXPECT_FLOAT_EQ(Sqrt2Pow(-1), 1.0f / 1.4142136f);
  EXPECT_FLOAT_EQ(Sqrt2Pow(20), 1024.0f);
  EXPECT_FLOAT_EQ(Sqrt2Pow(-20), 1.0f / 1024.0f);
}

TEST_F(Computing, AdcScaleUsesTheSensorOfTheInput) {
  EXPECT_NEAR(AdcScale(QTY_ACC), 0.1629, 5e-5);
  EXPECT_NEAR(AdcScale(QTY_VEL), 0.06957, 5e-6);
  EXPECT_FLOAT_EQ(AdcScale(QTY_DISP), AdcScale(QTY_ACC));
  DeviceInfo.Gain = 2.0f;
  EXPECT_NEAR(AdcScale(QTY_ACC), 0.1629 / 2, 5e-5);
  EXPECT_NEAR(AdcScale(QTY_VEL), 0.06957 / 2, 5e-6);
  // Other codes ignore the gain.
  EXPECT_NEAR(AdcScale(QTY_DISP), 0.1629, 5e-5);
  EXPECT_NEAR(AdcScale(0), 0.1629, 5e-5);
}

TEST_F(Computing, WaveStatReportsTheDemonstrationValues) {
  struct Case {
    std::int16_t q;
    CWaveStat want;
  };
  for (const Case& c : {Case{QTY_ACC, {1.83f, 2.59f, 5.18f, 2.13f}}, Case{QTY_VEL, {8.22f, 11.63f, 23.25f, 2.13f}},
                        Case{QTY_DISP, {8.22f, 11.63f, 23.25f, 2.13f}}}) {
    for (std::uint16_t fillValue : {std::uint16_t{0}, std::uint16_t{32768}, std::uint16_t{40000}}) {
      std::fill(std::begin(WaveBuf), std::end(WaveBuf), fillValue);
      const CWaveStat st = WaveStat(c.q);
      EXPECT_FLOAT_EQ(st.rms, c.want.rms) << c.q;
      EXPECT_FLOAT_EQ(st.pk, c.want.pk) << c.q;
      EXPECT_FLOAT_EQ(st.pp, c.want.pp) << c.q;
      EXPECT_FLOAT_EQ(st.cf, c.want.cf) << c.q;
    }
  }
}

TEST_F(Computing, WaveStatCalcOnSyntheticWaveforms) {
  const float s = AdcScale(QTY_ACC);
  CWaveStat st{};

  // Square wave of +-1000 counts on a DC offset of 200: the mean is removed.
  for (int i = 0; i < WAVE_LEN; ++i) WaveBuf[i] = static_cast<std::uint16_t>(32768 + 200 + (i % 2 ? 1000 : -1000));
  WaveStatCalc(st, QTY_ACC);
  // sum d^2 / 4096 = 2 000 000, root 1414, x 0.7071.
  EXPECT_NEAR(st.rms, 1414.0f * s * 0.70710656f, 1e-3f);
  EXPECT_FLOAT_EQ(st.pk, 1000.0f * s);
  EXPECT_FLOAT_EQ(st.pp, 2000.0f * s);
  EXPECT_NEAR(st.cf, 1000.0f / (1414.0f * 0.70710656f), 1e-4f);

  // Peaks are averaged over the eight blocks of 1024 samples.
  std::fill(std::begin(WaveBuf), std::end(WaveBuf), std::uint16_t{32768});
  WaveBuf[10] = 32768 + 800;    // block 0
  WaveBuf[5000] = 32768 - 400;  // block 4
  WaveStatCalc(st, QTY_VEL);
  const float sv = AdcScale(QTY_VEL);
  EXPECT_FLOAT_EQ(st.pk, 100.0f * sv);        // 800 / 8
  EXPECT_FLOAT_EQ(st.pp, (100.0f + 50.0f) * sv);  // 100 - (-400 / 8)

  // No signal at all: a zero RMS gives crest factor 1.
  std::fill(std::begin(WaveBuf), std::end(WaveBuf), std::uint16_t{0});
  WaveStatCalc(st, QTY_ACC);
  EXPECT_FLOAT_EQ(st.rms, 0.0f);
  EXPECT_FLOAT_EQ(st.pk, 0.0f);
  EXPECT_FLOAT_EQ(st.pp, 0.0f);
  EXPECT_FLOAT_EQ(st.cf, 1.0f);
}

TEST_F(Computing, WaveStatCalcFullScaleSwingStaysPositive) {
  // Alternating extremes: 16-bit deviations would wrap and the root of twice
  // the mean square (46340) does not fit a signed 16-bit value.
  for (int i = 0; i < WAVE_LEN; ++i) WaveBuf[i] = i % 2 ? std::uint16_t{65535} : std::uint16_t{0};
  CWaveStat st{};
  WaveStatCalc(st, QTY_ACC);
  const float s = AdcScale(QTY_ACC);
  EXPECT_GT(st.rms, 0.0f);
  EXPECT_NEAR(st.rms / s, 32768.0f, 40.0f);
  EXPECT_FLOAT_EQ(st.pk, 32768.0f * s);  // mean -1, so d reaches +32768
  EXPECT_FLOAT_EQ(st.pp, 65535.0f * s);
  EXPECT_GE(st.cf, 1.0f);
  EXPECT_LT(st.cf, 1.01f);
}

TEST_F(Computing, MeasValFillsInRecordOrder) {
  const float want[MV_COUNT] = {1.83f, 8.22f, 1.77f, 2.59f, 11.63f, 2.5f, 5.18f, 23.25f, 5.0f, 2.13f};
  CMeasVal a{}, b{}, c{};
  std::fill(std::begin(a.v), std::end(a.v), -1.0f);
  std::fill(std::begin(b.v), std::end(b.v), -1.0f);
  std::fill(std::begin(c.v), std::end(c.v), -1.0f);
  InitMeasVal(a, 5, 0, QTY_ACC);
  BandValues(b, 2, 0x0002, QTY_VEL, 10.0f, 1000.0f);
  HarmValues(c, 3, 0, QTY_DISP, 2.0f);
  for (int i = 0; i < MV_COUNT; ++i) {
    EXPECT_FLOAT_EQ(a[i], want[i]) << i;
    EXPECT_FLOAT_EQ(b[i], want[i]) << i;
    EXPECT_FLOAT_EQ(c[i], want[i]) << i;
  }
  EXPECT_FLOAT_EQ(a[1 + MV_RMS], 8.22f);
  EXPECT_FLOAT_EQ(a[2 + MV_PK], 2.5f);
  EXPECT_FLOAT_EQ(a[0 + MV_PP], 5.18f);
  EXPECT_FLOAT_EQ(a[MV_CF], 2.13f);
  EXPECT_EQ(PhaseMeas(0, 1.0f), 0);
  EXPECT_FLOAT_EQ(DemoPhase, 1.23f);
}

TEST_F(Computing, SpecHannUsesTheOldNeighboursAndArithmeticShifts) {
  std::int16_t re[4] = {100, 200, 40, -80};
  std::int16_t im[4] = {8, -16, 32, 4};
  SpecHann(re, im, 4);
  EXPECT_EQ(std::vector<int>(re, re + 4), (std::vector<int>{-50, 65, -10, -50}));
  EXPECT_EQ(std::vector<int>(im, im + 4), (std::vector<int>{0, -18, 19, -6}));

  // Odd negatives round down, not toward zero: -5 / 4 is -2.
  std::int16_t re5[5] = {-1, -3, -5, 0, 0};
  std::int16_t im5[5] = {-1, -3, -5, 0, 0};
  SpecHann(re5, im5, 5);
  EXPECT_EQ(std::vector<int>(re5, re5 + 5), (std::vector<int>{1, 1, -2, 2, 0}));
  EXPECT_EQ(std::vector<int>(im5, im5 + 5), (std::vector<int>{0, 1, -2, 2, 0}));
}

TEST_F(Computing, SpecMagnHalvesTheModulusOfTheRequestedLines) {
  std::int16_t re[5] = {3, 0, -32768, 5, 7};
  std::int16_t im[5] = {4, 0, -32768, -12, 1};
  std::int16_t dst[5] = {-1, -1, -1, -1, -1};
  float scale = 0.0f;
  SpecMagn(re, im, 0, 4, 0, 0.5f, dst, scale);
  // |(-32768, -32768)|^2 = 2^31 is clamped to the largest 32-bit value.
  EXPECT_EQ(std::vector<int>(dst, dst + 5), (std::vector<int>{2, 0, 23170, 6, 3}));
  EXPECT_FLOAT_EQ(scale, 2.0f);  // 4 x s for exponent 0

  std::fill(dst, dst + 5, std::int16_t{-1});
  SpecMagn(re, im, 1, 3, 3, 0.5f, dst, scale);
  EXPECT_EQ(std::vector<int>(dst, dst + 5), (std::vector<int>{-1, 0, 23170, 6, -1}));
  EXPECT_FLOAT_EQ(scale, 0.25f);
  SpecMagn(re, im, 4, 3, 2, 0.5f, dst, scale);  // empty range
  EXPECT_EQ(dst[4], -1);
  EXPECT_FLOAT_EQ(scale, 0.5f);
  SpecMagn(re, im, 0, 0, -1, 0.5f, dst, scale);
  EXPECT_FLOAT_EQ(scale, 4.0f);

  // In place, and the last line is included.
  SpecRe[3200] = 6;
  SpecIm[3200] = -8;
  SpecRe[3201] = 100;
  SpecMagn(SpecRe, SpecIm, 3199, 3200, 0, 1.0f, SpecRe, scale);
  EXPECT_EQ(SpecRe[3200], 5);
  EXPECT_EQ(SpecRe[3201], 100);
}

TEST_F(Computing, SpecCalcLoadsTheDemonstrationSpectrum) {
  SpecBuf[5000] = 77;  // the load clears the imaginary half
  float scale = 0.0f;
  SpecCalc(0, 3200, false, QTY_VEL, scale);
  EXPECT_FLOAT_EQ(scale, 4.0f * AdcScale(QTY_VEL));
  for (int k = 0; k < SPEC_TAB_LINES; ++k) {
    const int loaded = static_cast<int>(static_cast<float>(SpecTab[k]) * 0.013035090463527818f);
    ASSERT_EQ(SpecRe[k], loaded / 2) << k;
  }
  EXPECT_EQ(SpecRe[3200], 0);
  EXPECT_EQ(SpecRe[68], 163);  // 25040 counts load as 326
  EXPECT_TRUE(std::all_of(SpecIm, SpecIm + SPEC_HALF, [](std::int16_t v) { return v == 0; }));

  // Lines below the first keep the loaded value.
  SpecCalc(100, 3200, false, QTY_VEL, scale);
  EXPECT_EQ(SpecRe[68], 326);
  EXPECT_EQ(SpecRe[137], static_cast<int>(21802 * 0.013035090463527818f) / 2);
}

TEST_F(Computing, SpecCalcWithTheWindow) {
  float scale = 0.0f;
  SpecCalc(2, 3200, true, QTY_ACC, scale);
  EXPECT_NEAR(scale, 1.0641, 1e-4);
  auto load = [](int k) { return static_cast<int>(static_cast<float>(SpecTab[k]) * 0.013035090463527818f); };
  for (int k : {2, 68, 98, 137, 1500, 3198}) {
    const int h = (load(k) >> 1) - (load(k - 1) >> 2) - (load(k + 1) >> 2);
    EXPECT_EQ(SpecRe[k], std::abs(h) / 2) << k;
  }
  // Past the table the loaded lines are zero.
  EXPECT_EQ(SpecRe[3199], std::abs((load(3199) >> 1) - (load(3198) >> 2)) / 2);
  EXPECT_EQ(SpecRe[3200], std::abs(load(3199) >> 2) / 2);
}

TEST_F(Computing, DerivedSpectraCopyTheirTables) {
  float scale = 0.0f;
  std::fill(SpecIm, SpecIm + SPEC_HALF, std::int16_t{-7});
  SpecDiff(SpecRe, 5, 3200, 1.0f, SpecIm, 0.3125f, scale);
  EXPECT_FLOAT_EQ(scale, 3.12211e-5f);
  EXPECT_EQ(SpecIm[137], 23459);
  EXPECT_EQ(SpecIm[14], 172);
  EXPECT_EQ(SpecIm[0], 0);
  EXPECT_EQ(SpecIm[3200], -7);  // 3200 lines: 0..3199

  SpecIntg(SpecRe, 5, 3200, 1.0f, SpecIm, 0.3125f, scale);
  EXPECT_FLOAT_EQ(scale, 6.76754e-4f);
  EXPECT_EQ(SpecIm[68], 31256);
  EXPECT_EQ(SpecIm[2], 6323);
  for (int k = 0; k < SPEC_TAB_LINES; ++k) ASSERT_EQ(SpecIm[k], static_cast<int>(SpecTabIntg[k])) << k;

  // Any other source, first line, source scale and spacing give the table
  // again: the analysis integrates SpecIm a second time for displacement.
  for (int k = 0; k < SPEC_HALF; ++k) SpecIm[k] = static_cast<std::int16_t>(k % 977 - 300);
  scale = 0.0f;
  SpecIntg(SpecIm, 17, 3200, 0.5f, SpecIm, 6.25f, scale);
  EXPECT_FLOAT_EQ(scale, 6.76754e-4f);
  for (int k = 0; k < SPEC_TAB_LINES; ++k) ASSERT_EQ(SpecIm[k], static_cast<int>(SpecTabIntg[k])) << k;

  // Asking for more lines than a table holds copies only the table.
  std::fill(SpecIm, SpecIm + SPEC_HALF, std::int16_t{-7});
  SpecIntg(SpecRe, 0, 4096, 1.0f, SpecIm, 0.3125f, scale);
  EXPECT_EQ(SpecIm[3199], static_cast<int>(SpecTabIntg[3199]));
  EXPECT_EQ(SpecIm[3200], -7);
  SpecDiff(SpecRe, 0, 4096, 1.0f, SpecIm, 0.3125f, scale);
  EXPECT_EQ(SpecIm[3200], 4228);
  EXPECT_EQ(SpecIm[3201], -7);
}

TEST_F(Computing, BandRmsOfSmallAndLargeRuns) {
  std::vector<std::int16_t> spec(SPEC_HALF, 0);
  std::fill(spec.begin() + 10, spec.begin() + 15, std::int16_t{100});
  EXPECT_FLOAT_EQ(BandRms(spec.data(), 10, 14, 1.0f), 158.0f);  // sqrt(25000) rounded down
  EXPECT_FLOAT_EQ(BandRms(spec.data(), 10, 14, 0.5f), 79.0f);
  EXPECT_FLOAT_EQ(BandRms(spec.data(), 12, 12, 1.0f), 70.0f);   // sqrt(5000)
  EXPECT_FLOAT_EQ(BandRms(spec.data(), 14, 10, 1.0f), 0.0f);    // empty run
  EXPECT_FLOAT_EQ(BandRms(spec.data(), 20, 30, 1.0f), 0.0f);
  // The run is clipped to the buffer half.
  EXPECT_FLOAT_EQ(BandRms(spec.data(), -3, 14, 1.0f), 158.0f);

  // A long run of large lines would overflow a plain 32-bit sum; the adaptive
  // shift keeps it within the rounding of the shifts.
  std::fill(spec.begin(), spec.end(), std::int16_t{30000});
  const double exact = 30000.0 * std::sqrt(SPEC_HALF / 2.0);
  const float r = BandRms(spec.data(), 0, SPEC_HALF - 1, 1.0f);
  EXPECT_NEAR(r, exact, exact * 0.005);
  std::fill(spec.begin(), spec.end(), std::int16_t{-32768});
  const float m = BandRms(spec.data(), 0, SPEC_HALF - 1, 1.0f);
  EXPECT_NEAR(m, 32768.0 * std::sqrt(SPEC_HALF / 2.0), 32768.0 * 45.3 * 0.005);
}

}  // namespace
