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

// Status bits of an acquisition.
constexpr std::uint16_t ADC_OVERLOAD = 0x0001;
constexpr std::uint16_t NO_TACHO = 0x0002;
// Status bit of a stored point whose acquisition overloaded.
constexpr std::uint16_t POINT_OVERLOAD = 0x8000;
