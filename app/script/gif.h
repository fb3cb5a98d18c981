#pragma once
// Animated GIF of LCD frames through giflib: one palette for the nine LCD
// colours lit and dimmed, frame delays from the virtual times, and every
// frame after the first cut to the rectangle that changed, its unchanged
// pixels transparent.
#include <cstdint>
#include <string>
#include <vector>

#include "headless_host.h"

struct TTimedFrame {
  std::uint32_t timeMs;
  TFrame frame;
};

// frames in presentation order, the first shown from its time (the start of
// the recording); endMs is when the recording stops. Frames that would be
// shown for less than a hundredth of a second, and repeats of the frame
// before, leave no trace. Loops for ever. False, with giflib's reason, on
// failure.
bool EncodeGif(const std::vector<TTimedFrame>& frames, std::uint32_t endMs, int zoom, std::vector<std::uint8_t>& out,
               std::string* error = nullptr);
