#pragma once
// The tachometer screen; its item table is shared with the rotation-speed
// question (asktacho.h).
#include <cstdint>

#include "asktacho.h"

// Tachometer screen (state 5): the rotation speed in Hz or RPM, refreshed
// every 100 ms until a short press of button 2; returns the main menu state.
std::uint16_t TachoScrn();
