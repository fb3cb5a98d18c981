#include "picture.h"

#include <array>
#include <cstddef>
#include <cstdint>

// The window's artwork, linked in from resources/pictures.
extern const std::uint8_t art_device_data[];
extern const std::size_t art_device_size;
extern const std::uint8_t art_button1_data[];
extern const std::size_t art_button1_size;
extern const std::uint8_t art_button2_data[];
extern const std::size_t art_button2_size;
extern const std::uint8_t art_button3_data[];
extern const std::size_t art_button3_size;
extern const std::uint8_t art_button4_data[];
extern const std::size_t art_button4_size;

namespace {
// Window layout, moved into the instrument picture's coordinates.
constexpr int kLcdX = 50, kLcdY = 65;
struct TPos {
  int x, y;
};
constexpr std::array<TPos, 4> kButtonAt = {{{126, 332}, {54, 252}, {54, 332}, {127, 252}}};
// Stacking order of the pressed pictures, bottom to top: 2, 4, 3, 1.
constexpr std::array<int, 4> kButtonOrder = {2, 4, 3, 1};
constexpr std::uint32_t kFace = 0xEFEFEF;  // the window's background
constexpr std::uint32_t kWhiteKey = 0xFFFFFF, kRedKey = 0xFF0000;

struct TArtwork {
  bool ok = false;
  std::string error;
  TRgbImage device;
  std::array<TRgbImage, 4> buttons;
};

const TArtwork& Artwork() {
  static const TArtwork art = [] {
    TArtwork a;
    const std::uint8_t* data[5] = {art_device_data, art_button1_data, art_button2_data, art_button3_data,
                                   art_button4_data};
    const std::size_t size[5] = {art_device_size, art_button1_size, art_button2_size, art_button3_size,
                                 art_button4_size};
    a.ok = ReadPngData(data[0], size[0], a.device, &a.error);
    for (int i = 0; a.ok && i < 4; ++i) a.ok = ReadPngData(data[i + 1], size[i + 1], a.buttons[i], &a.error);
    if (a.ok && (a.device.width != kDevicePictureWidth || a.device.height != kDevicePictureHeight)) {
      a.ok = false;
      a.error = "instrument picture of an unexpected size";
    }
    return a;
  }();
  return art;
}

void DrawKeyed(TRgbImage& dst, const TRgbImage& src, int x0, int y0, std::uint32_t key) {
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x) {
      const int dx = x0 + x, dy = y0 + y;
      if (dx < 0 || dy < 0 || dx >= dst.width || dy >= dst.height) continue;
      const std::uint32_t c = src.At(x, y);
      if (c != key) dst.At(dx, dy) = c;
    }
}
}  // namespace

TRgbImage Zoomed(const TRgbImage& img, int zoom) {
  if (zoom <= 1) return img;
  TRgbImage out(img.width * zoom, img.height * zoom);
  for (int y = 0; y < out.height; ++y) {
    const std::uint32_t* src = &img.px[static_cast<std::size_t>(y / zoom) * img.width];
    std::uint32_t* dst = &out.px[static_cast<std::size_t>(y) * out.width];
    for (int x = 0; x < out.width; ++x) dst[x] = src[x / zoom];
  }
  return out;
}

bool DevicePicture(const TFrame& f, unsigned heldMask, int zoom, TRgbImage& out, std::string* error) {
  const TArtwork& art = Artwork();
  if (!art.ok) {
    if (error) *error = art.error;
    return false;
  }
  TRgbImage img(kDevicePictureWidth, kDevicePictureHeight, kFace);
  const TRgbImage lcd = FrameImage(f, 1);
  for (int y = 0; y < lcd.height; ++y)
    for (int x = 0; x < lcd.width; ++x) img.At(kLcdX + x, kLcdY + y) = lcd.At(x, y);
  DrawKeyed(img, art.device, 0, 0, kWhiteKey);
  for (int n : kButtonOrder)
    if (heldMask & (1u << (n - 1))) {
      const std::size_t i = static_cast<std::size_t>(n - 1);
      DrawKeyed(img, art.buttons[i], kButtonAt[i].x, kButtonAt[i].y, kRedKey);
    }
  out = Zoomed(img, zoom);
  return true;
}

TRgbImage DiffPicture(const TRgbImage& expected, const TRgbImage& actual, int* differing) {
  const int w = actual.width, h = actual.height;
  TRgbImage out(3 * w, h, 0);
  int count = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t e = expected.At(x, y), a = actual.At(x, y);
      out.At(x, y) = e;
      out.At(w + x, y) = a;
      std::uint32_t faded = 0;
      for (int shift : {16, 8, 0}) faded |= ((((a >> shift) & 0xFF) + 3 * 0xFF) / 4) << shift;
      out.At(2 * w + x, y) = e == a ? faded : 0xFF00FF;
      count += e != a;
    }
  if (differing) *differing = count;
  return out;
}
