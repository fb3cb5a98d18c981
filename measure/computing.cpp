#include "computing.h"

#include <algorithm>
#include <climits>

#include "state.h"

std::uint16_t WaveBuf[WAVE_LEN];
std::int16_t SpecBuf[SPEC_LEN];
CMeasVal MeasVal;

namespace {

constexpr double kAdcK = 0.04577706569008926;  // 3000 mV over 65535 counts
constexpr float kSpecLoadK = 0.013035090463527818f;
constexpr float kHannGain = 1.632993f;
constexpr float kDiffScale = 3.12211e-5f;
constexpr float kIntgScale = 6.76754e-4f;

constexpr CMeasVal kDemoMeasVal = {{1.83f, 8.22f, 1.77f, 2.59f, 11.63f, 2.5f, 5.18f, 23.25f, 5.0f, 2.13f}};

std::int32_t ClampToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// Lines a caller may address in one half of the transform buffer.
bool LineRange(std::int16_t& first, std::int16_t& last) {
  first = std::max<std::int16_t>(first, 0);
  last = std::min<std::int16_t>(last, SPEC_HALF - 1);
  return first <= last;
}

void CopyTable(const float* table, int tableLen, std::int16_t n, std::int16_t* dst) {
  const int count = std::clamp<int>(n, 0, std::min(tableLen, SPEC_HALF));
  for (int i = 0; i < count; ++i) dst[i] = static_cast<std::int16_t>(table[i]);
}

}  // namespace

std::uint16_t ISqrt(std::int32_t a) {
  if (a <= 0) return 0;
  std::int32_t lo = 0;
  std::int32_t hi = 46341;
  for (;;) {
    const std::int32_t mid = (lo + hi) / 2;
    if (mid == lo) return static_cast<std::uint16_t>(lo);
    if (static_cast<std::int64_t>(mid) * mid > a)
      hi = mid;
    else
      lo = mid;
  }
}

float Sqrt2Pow(std::int16_t n) {
  if (n < 0) return 1.0f / Sqrt2Pow(static_cast<std::int16_t>(-n));
  float x = 1.0f;
  for (int i = 0; i < n / 2; ++i) x *= 2.0f;
  if (n % 2 != 0) x *= 1.4142136f;
  return x;
}

float AdcScale(std::int16_t q) {
  const auto k = static_cast<float>(kAdcK);
  if (q == QTY_ACC) return k / (DeviceInfo.SensAcc * DeviceInfo.Gain);
  if (q == QTY_VEL) return k / (DeviceInfo.SensVel * DeviceInfo.Gain);
  return k / DeviceInfo.SensAcc;
}

void WaveStatCalc(CWaveStat& out, std::int16_t q) {
  const float s = AdcScale(q);

  std::int64_t sum = 0;
  for (const std::uint16_t w : WaveBuf) sum += static_cast<std::int32_t>(w) - 32768;
  const auto mean = static_cast<std::int16_t>(sum >> 13);

  // Deviations are kept in 32 bits: a 16-bit difference of two extreme
  // samples would wrap and turn a large swing into a small one.
  std::int64_t sq = 0;
  std::int32_t maxima = 0;
  std::int32_t minima = 0;
  for (int b = 0; b < 8; ++b) {
    std::int32_t hi = -32768;
    std::int32_t lo = 32767;
    for (int i = b * 1024; i < (b + 1) * 1024; ++i) {
      const std::int32_t d = static_cast<std::int32_t>(WaveBuf[i]) - 32768 - mean;
      sq += (static_cast<std::int64_t>(d) * d) >> 4;
      hi = std::max(hi, d);
      lo = std::min(lo, d);
    }
    maxima += hi;
    minima += lo;
  }
  sq >>= 8;  // sum of d squared / 4096: twice the mean square

  // The root of twice the mean square reaches 46340 counts for a full-scale
  // square wave; read as 16-bit signed it would come out negative.
  out.rms = static_cast<float>(ISqrt(ClampToInt32(sq))) * s * 0.7071065623731627f;
  const std::int32_t maxAvg = maxima >> 3;
  const std::int32_t minAvg = minima >> 3;
  out.pk = static_cast<float>(maxAvg) * s;
  out.pp = static_cast<float>(maxAvg - minAvg) * s;
  if (out.rms < 0.001f) {
    out.cf = 1.0f;
  } else {
    out.cf = out.pk / out.rms;
    if (out.cf < 1.0f) out.cf = 1.0f;
  }
}

void WaveStat(CWaveStat& out, std::int16_t q) {
  WaveStatCalc(out, q);
  // No signal input: the device reports its demonstration statistics.
  if (q == QTY_ACC)
    out = {1.83f, 2.59f, 5.18f, 2.13f};
  else
    out = {8.22f, 11.63f, 23.25f, 2.13f};
}

CWaveStat WaveStat(std::int16_t q) {
  CWaveStat st{};
  WaveStat(st, q);
  return st;
}

void InitMeasVal(CMeasVal& out, std::int16_t, std::int16_t, std::int16_t) { out = kDemoMeasVal; }

void BandValues(CMeasVal& out, std::int16_t, std::uint16_t, std::int16_t, float, float) { out = kDemoMeasVal; }

void HarmValues(CMeasVal& out, std::int16_t, std::uint16_t, std::int16_t, float) { out = kDemoMeasVal; }

std::int16_t PhaseMeas(std::int16_t, float) { return 0; }

std::int16_t SpecLoad(const std::uint16_t*, std::int16_t* spec) {
  for (int i = 0; i < SPEC_TAB_LINES; ++i)
    spec[i] = static_cast<std::int16_t>(static_cast<float>(SpecTab[i]) * kSpecLoadK);
  std::fill(spec + SPEC_TAB_LINES, spec + SPEC_LEN, std::int16_t{0});
  return 0;
}

std::int16_t SpecFft(std::int16_t*, std::int16_t*, std::int16_t) { return 0; }

void SpecHann(std::int16_t* re, std::int16_t* im, std::int16_t n) {
  if (n < 2) return;
  // Each new value needs the old left neighbour: carry it along.
  auto pass = [n](std::int16_t* x, bool zeroFirst) {
    std::int16_t left = x[0];
    x[0] = zeroFirst ? std::int16_t{0} : static_cast<std::int16_t>((x[0] >> 1) - (x[1] >> 1));
    for (int k = 1; k < n - 1; ++k) {
      const std::int16_t old = x[k];
      x[k] = static_cast<std::int16_t>((old >> 1) - (left >> 2) - (x[k + 1] >> 2));
      left = old;
    }
    x[n - 1] = static_cast<std::int16_t>((x[n - 1] >> 1) - (left >> 2));
  };
  pass(re, false);
  pass(im, true);
}

void SpecMagn(const std::int16_t* re, const std::int16_t* im, std::int16_t first, std::int16_t last, std::int16_t e,
              float s, std::int16_t* dst, float& scale) {
  if (LineRange(first, last)) {
    for (int k = first; k <= last; ++k) {
      // -32768 on both parts gives 2^31, one more than a 32-bit sum holds.
      const std::int64_t p = static_cast<std::int64_t>(re[k]) * re[k] + static_cast<std::int64_t>(im[k]) * im[k];
      dst[k] = static_cast<std::int16_t>(ISqrt(ClampToInt32(p)) >> 1);
    }
  }
  const int c = e - 2;
  if (c < 0)
    scale = s * Sqrt2Pow(static_cast<std::int16_t>(-2 * c));
  else
    scale = s / Sqrt2Pow(static_cast<std::int16_t>(2 * c));
}

void SpecCalc(std::int16_t first, std::int16_t last, bool window, std::int16_t q, float& scale) {
  const std::int16_t e1 = SpecLoad(WaveBuf, SpecBuf);
  const std::int16_t e2 = SpecFft(SpecRe, SpecIm, 12);
  const auto e = static_cast<std::int16_t>(e2 - e1);
  const float s = AdcScale(q);
  if (window) SpecHann(SpecRe, SpecIm, SPEC_HALF);
  SpecMagn(SpecRe, SpecIm, first, last, e, s, SpecRe, scale);
  if (window) scale *= kHannGain;
}

void SpecDiff(const std::int16_t*, std::int16_t, std::int16_t n, float, std::int16_t* dst, float, float& scale) {
  CopyTable(SpecTabDiff, SPEC_TAB_LINES + 1, n, dst);
  scale = kDiffScale;
}

void SpecIntg(const std::int16_t*, std::int16_t, std::int16_t n, float, std::int16_t* dst, float, float& scale) {
  CopyTable(SpecTabIntg, SPEC_TAB_LINES, n, dst);
  scale = kIntgScale;
}

float BandRms(const std::int16_t* spec, std::int16_t a, std::int16_t b, float scale) {
  std::int32_t sum = 0;
  int sh = 1;
  // Lines outside the buffer half would be read from beyond it.
  const int from = std::max<int>(a, 0);
  const int to = std::min<int>(b, SPEC_HALF - 1);
  for (int k = from; k <= to; ++k) {
    std::int32_t t = (static_cast<std::int32_t>(spec[k]) * spec[k]) >> sh;
    if ((sum & (1 << 30)) != 0) {
      ++sh;
      sum >>= 1;
      t >>= 1;
    }
    sum += t;
  }
  return static_cast<float>(ISqrt(sum)) * scale * Sqrt2Pow(static_cast<std::int16_t>(sh - 1));
}
