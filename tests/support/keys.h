#pragma once
#include <cstdint>

#include "host.h"

// A short press of button n, as the firmware's key wait returns it.
constexpr std::uint16_t S(int n) { return static_cast<std::uint16_t>(KEY_SHORT + n); }
