#pragma once
// Animated GIF of LCD frames through giflib, written as the frames come: one
// palette for the nine LCD colours lit and dimmed, frame delays from the
// virtual times, and every frame after the first cut to the rectangle that
// changed, its unchanged pixels transparent. It keeps no more than three
// frames, whatever the length of the recording.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "headless_host.h"

class TGifRecorder {
 public:
  // The GIF's bytes go to write as they are made; a false from it fails the
  // recording. Loops for ever.
  using TWrite = std::function<bool(const std::uint8_t* data, std::size_t size)>;
  TGifRecorder(int zoom, TWrite write);
  ~TGifRecorder();
  TGifRecorder(const TGifRecorder&) = delete;
  TGifRecorder& operator=(const TGifRecorder&) = delete;

  // The frame shown from timeMs on, in presentation order; the first is
  // shown from the start of the recording. Frames that would be shown for
  // less than a hundredth of a second, and repeats of the frame before,
  // leave no trace.
  void Frame(std::uint32_t timeMs, const TFrame& frame);
  // The recording stops at endMs. False, with giflib's reason, on failure.
  bool Finish(std::uint32_t endMs, std::string* error = nullptr);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};
