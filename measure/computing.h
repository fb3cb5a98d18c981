#pragma once
// The firmware's numeric routines: integer square root, the fixed-point
// spectrum pipeline, derived spectra, band RMS and waveform statistics.
// Without a signal input the device answers from built-in demonstration data.
// Everything here runs on the device thread; the buffers need no lock.
#include <cstdint>

#include "demodata.h"
#include "rotation.h"

constexpr int WAVE_LEN = 8192;
constexpr int SPEC_LEN = 8192;
constexpr int SPEC_HALF = 4096;  // length of SpecRe and of SpecIm

// Input quantity codes (also the unit codes of the point display).
constexpr std::int16_t QTY_ACC = 101;
constexpr std::int16_t QTY_VEL = 102;
constexpr std::int16_t QTY_DISP = 103;

// Waveform of one acquisition, unsigned with an offset of 32768.
extern std::uint16_t WaveBuf[WAVE_LEN];
// Transform buffer: SpecRe (real parts, later magnitudes) then SpecIm
// (imaginary parts, later the derived spectra).
extern std::int16_t SpecBuf[SPEC_LEN];
inline constexpr std::int16_t* SpecRe = SpecBuf;
inline constexpr std::int16_t* SpecIm = SpecBuf + SPEC_HALF;

// Index into CMeasVal: quantity (0 acc, 1 vel, 2 disp) + MV_RMS/MV_PK/MV_PP;
// MV_CF is the crest factor.
enum : int { MV_RMS = 0, MV_PK = 3, MV_PP = 6, MV_CF = 9, MV_COUNT = 10 };

struct CMeasVal {
  float v[MV_COUNT];
  float& operator[](int i) { return v[i]; }
  const float& operator[](int i) const { return v[i]; }
};
extern CMeasVal MeasVal;

struct CWaveStat {
  float rms;
  float pk;
  float pp;
  float cf;
};

// Phase in radians that every phase measurement yields.
inline constexpr float DemoPhase = 1.23f;

// Floor of the square root; 0 for a <= 0.
std::uint16_t ISqrt(std::int32_t a);
// sqrt(2) to the power n.
float Sqrt2Pow(std::int16_t n);
// Engineering units per ADC count for an input quantity.
float AdcScale(std::int16_t q);

// Statistics of WaveBuf as the device reports them (demonstration values).
void WaveStat(CWaveStat& out, std::int16_t q);
CWaveStat WaveStat(std::int16_t q);
// The statistics actually computed from WaveBuf, before the demonstration
// values replace them.
void WaveStatCalc(CWaveStat& out, std::int16_t q);

// Fill the ten demonstration values; the further arguments are not used here.
void InitMeasVal(CMeasVal& out, std::int16_t band, std::int16_t velIn, std::int16_t q);
void BandValues(CMeasVal& out, std::int16_t range, std::uint16_t flags, std::int16_t q, float fLow, float fHigh);
void HarmValues(CMeasVal& out, std::int16_t range, std::uint16_t flags, std::int16_t q, float order);
// Hardware hook: measures nothing; the phase is DemoPhase. Returns 0 (success).
std::int16_t PhaseMeas(std::int16_t range, float order);

// Whole pipeline into SpecRe lines first..last; scale = units per count.
void SpecCalc(std::int16_t first, std::int16_t last, bool window, std::int16_t q, float& scale);
// Transform input from the demonstration table; returns the block exponent.
std::int16_t SpecLoad(const std::uint16_t* wave, std::int16_t* spec);
// Transform hook: leaves the buffers as they are; returns block exponent 0.
std::int16_t SpecFft(std::int16_t* re, std::int16_t* im, std::int16_t log2n);
// Hanning window applied in the frequency domain.
void SpecHann(std::int16_t* re, std::int16_t* im, std::int16_t n);
// dst[k] = |re[k] + j im[k]| / 2 for first..last inclusive; dst may be re.
void SpecMagn(const std::int16_t* re, const std::int16_t* im, std::int16_t first, std::int16_t last, std::int16_t e,
              float s, std::int16_t* dst, float& scale);
// Differentiated and integrated spectra: the built-in tables (n lines from
// line 0) with their fixed scales, whatever the source. Source, first line,
// source scale and line spacing are taken and not used, so a displacement
// integrated twice from an acceleration input is the integrated table again:
// the demonstration data stand in for the signal, as everywhere else here.
void SpecDiff(const std::int16_t* src, std::int16_t first, std::int16_t n, float srcScale, std::int16_t* dst, float df,
              float& scale);
void SpecIntg(const std::int16_t* src, std::int16_t first, std::int16_t n, float srcScale, std::int16_t* dst, float df,
              float& scale);
// RMS in engineering units of lines a..b inclusive (lines hold peaks).
float BandRms(const std::int16_t* spec, std::int16_t a, std::int16_t b, float scale);
