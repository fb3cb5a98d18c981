#pragma once
// Taking a measurement at the current point, and starting a live watch.
#include <cstdint>

// Asks before overwriting stored data, acquires, derives and judges the
// point's values, stores CurPoint as point npnt and reports the outcome.
// StoreStatus is FLASH_ERROR afterwards when the store failed, else 0.
void MeasPoint();

// Starts a watch measurement of band 0..6 of the band list: sets
// HighFrequency, acquires and refills MeasVal. Stores nothing.
void WatchMeas(std::int16_t band);

// Band of each band index 0..5 in Hz, and its line spacing (band / 3200).
constexpr int POINT_BANDS = 6;
extern const std::uint16_t kPointBandHz[POINT_BANDS];
extern const float kPointBandRes[POINT_BANDS];
// Band and measurement set-up of CurPoint from HighFrequency.
void SetPointBand();
// "Measuring..." for 1.5 s.
void ShowMeasuring();

// Status bits of an acquisition.
constexpr std::uint16_t ADC_OVERLOAD = 0x0001;
constexpr std::uint16_t NO_TACHO = 0x0002;
// Status bit of a stored point whose acquisition overloaded.
constexpr std::uint16_t POINT_OVERLOAD = 0x8000;
