#include "pngfile.h"

#include <png.h>

namespace {
bool Fail(std::string* error, const std::string& path, const char* what) {
  if (error) *error = path.empty() ? what : path + ": " + what;
  return false;
}

// Rows as 8-bit RGB, or false with the reason.
bool PrepareWrite(const TRgbImage& img, png_image& pi, std::vector<png_byte>& rows, std::string* error,
                  const std::string& name) {
  if (img.width <= 0 || img.height <= 0 || img.px.size() != static_cast<std::size_t>(img.width) * img.height)
    return Fail(error, name, "no pixels to write");
  rows.resize(img.px.size() * 3);
  for (std::size_t i = 0; i < img.px.size(); ++i) {
    rows[3 * i] = static_cast<png_byte>(img.px[i] >> 16);
    rows[3 * i + 1] = static_cast<png_byte>(img.px[i] >> 8);
    rows[3 * i + 2] = static_cast<png_byte>(img.px[i]);
  }
  pi = png_image{};
  pi.version = PNG_IMAGE_VERSION;
  pi.width = static_cast<png_uint_32>(img.width);
  pi.height = static_cast<png_uint_32>(img.height);
  pi.format = PNG_FORMAT_RGB;
  return true;
}

bool Failed(png_image& pi, std::string* error, const std::string& name) {
  const std::string why = pi.message;
  png_image_free(&pi);
  return Fail(error, name, why.c_str());
}
}  // namespace

bool WritePng(const std::string& path, const TRgbImage& img, std::string* error) {
  png_image pi;
  std::vector<png_byte> rows;
  if (!PrepareWrite(img, pi, rows, error, path)) return false;
  if (!png_image_write_to_file(&pi, path.c_str(), 0, rows.data(), 0, nullptr)) return Failed(pi, error, path);
  return true;
}

bool WritePng(std::FILE* file, const TRgbImage& img, std::string* error) {
  png_image pi;
  std::vector<png_byte> rows;
  if (!PrepareWrite(img, pi, rows, error, "")) return false;
  if (!png_image_write_to_stdio(&pi, file, 0, rows.data(), 0, nullptr)) return Failed(pi, error, "");
  return true;
}

namespace {
// Finishes a read begun on pi: 8-bit, alpha kept (0xAARRGGBB) or composited
// on black (0xRRGGBB).
bool FinishRead(png_image& pi, TRgbImage& img, std::string* error, const std::string& name, bool keepAlpha) {
  pi.format = keepAlpha ? PNG_FORMAT_ARGB : PNG_FORMAT_RGB;
  const std::size_t channels = keepAlpha ? 4 : 3;
  std::vector<png_byte> rows(PNG_IMAGE_SIZE(pi));
  const png_color black{0, 0, 0};
  if (!png_image_finish_read(&pi, keepAlpha ? nullptr : &black, rows.data(), 0, nullptr)) {
    const std::string why = pi.message;
    png_image_free(&pi);
    return Fail(error, name, why.c_str());
  }
  img = TRgbImage(static_cast<int>(pi.width), static_cast<int>(pi.height), 0);
  for (std::size_t i = 0; i < img.px.size(); ++i) {
    std::uint32_t v = 0;
    for (std::size_t c = 0; c < channels; ++c) v = v << 8 | rows[channels * i + c];
    img.px[i] = v;
  }
  return true;
}

bool ReadMemory(const std::uint8_t* data, std::size_t size, TRgbImage& img, std::string* error, bool keepAlpha) {
  png_image pi{};
  pi.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&pi, data, size)) {
    const std::string why = pi.message;
    png_image_free(&pi);
    return Fail(error, "PNG data", why.c_str());
  }
  return FinishRead(pi, img, error, "PNG data", keepAlpha);
}
}  // namespace

bool ReadPng(const std::string& path, TRgbImage& img, std::string* error) {
  png_image pi{};
  pi.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&pi, path.c_str())) {
    const std::string why = pi.message;
    png_image_free(&pi);
    return Fail(error, path, why.c_str());
  }
  return FinishRead(pi, img, error, path, false);
}

bool ReadPngData(const std::uint8_t* data, std::size_t size, TRgbImage& img, std::string* error) {
  return ReadMemory(data, size, img, error, false);
}

bool ReadPngSize(const std::uint8_t* data, std::size_t size, int& width, int& height, std::string* error) {
  png_image pi{};
  pi.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&pi, data, size)) return Failed(pi, error, "PNG data");
  width = static_cast<int>(pi.width);
  height = static_cast<int>(pi.height);
  png_image_free(&pi);
  return true;
}

bool ReadPngArgbData(const std::uint8_t* data, std::size_t size, TRgbImage& img, std::string* error) {
  return ReadMemory(data, size, img, error, true);
}
