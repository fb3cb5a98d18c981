#pragma once
// PNG files through libpng: 8-bit RGB written compressed, and any PNG read
// back as 8-bit RGB, so that pictures can be compared pixel by pixel.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Pixels as 0xRRGGBB, row-major.
struct TRgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> px;

  TRgbImage() = default;
  TRgbImage(int w, int h, std::uint32_t fill = 0xFFFFFF)
      : width(w), height(h), px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
  std::uint32_t At(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t& At(int x, int y) { return px[static_cast<std::size_t>(y) * width + x]; }
  bool operator==(const TRgbImage&) const = default;
};

// false, with the reason in *error when given, if the file cannot be written.
bool WritePng(const std::string& path, const TRgbImage& img, std::string* error = nullptr);
// The same into a file opened for writing, the reason without a name; the
// caller flushes, checks and closes it (a failed write leaves its errno).
bool WritePng(std::FILE* file, const TRgbImage& img, std::string* error = nullptr);
// Reads any PNG (palette, grey, alpha and 16-bit ones are converted; alpha is
// composited on black). false, with the reason, when it is missing or damaged.
bool ReadPng(const std::string& path, TRgbImage& img, std::string* error = nullptr);
// The same for a PNG held in memory (pictures linked into a program).
bool ReadPngData(const std::uint8_t* data, std::size_t size, TRgbImage& img, std::string* error = nullptr);
// The picture's size from the header of a PNG held in memory, before any
// pixel is read or any room for them is taken.
bool ReadPngSize(const std::uint8_t* data, std::size_t size, int& width, int& height, std::string* error = nullptr);
// A PNG held in memory with its alpha kept: px holds 0xAARRGGBB, not
// premultiplied (a picture without alpha reads as opaque).
bool ReadPngArgbData(const std::uint8_t* data, std::size_t size, TRgbImage& img, std::string* error = nullptr);
