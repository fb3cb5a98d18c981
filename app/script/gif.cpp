#include "gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>

#include "lcd.h"

namespace {

constexpr int kMaxDelay = 65535;  // hundredths of a second in one frame

// The palette: the nine colours lit, then their dimmed forms, each RGB once;
// codes outside the nine (never drawn by the firmware) are added as met.
struct TPalette {
  std::vector<std::uint32_t> rgb;
  std::array<std::uint8_t, 512> index{};  // by code + 256 x dimmed
  std::array<bool, 512> known{};

  TPalette() {
    for (bool lit : {true, false})
      for (const LcdColour& c : kLcdColours) Index(static_cast<std::uint8_t>(c.code), lit);
  }
  std::uint8_t Index(std::uint8_t code, bool lit) {
    const std::size_t k = code + (lit ? 0u : 256u);
    if (known[k]) return index[k];
    const std::uint32_t c = LcdColourRgb(code, lit);
    auto it = std::find(rgb.begin(), rgb.end(), c);
    if (it == rgb.end()) it = rgb.insert(rgb.end(), c);
    known[k] = true;
    index[k] = static_cast<std::uint8_t>(it - rgb.begin());
    return index[k];
  }
};

using TIndexed = std::vector<std::uint8_t>;  // 128 x 160 palette indices

struct TShown {
  TIndexed px;
  int delay;  // hundredths of a second
};

int WriteToVector(GifFileType* gif, const GifByteType* data, int len) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + len);
  return len;
}

struct TRect {
  int x0 = LCD_WIDTH, y0 = LCD_HEIGHT, x1 = -1, y1 = -1;
  bool Empty() const { return x1 < x0; }
};

TRect Changed(const TIndexed& a, const TIndexed& b) {
  TRect r;
  for (int y = 0; y < LCD_HEIGHT; ++y)
    for (int x = 0; x < LCD_WIDTH; ++x)
      if (a[static_cast<std::size_t>(y * LCD_WIDTH + x)] != b[static_cast<std::size_t>(y * LCD_WIDTH + x)]) {
        r.x0 = std::min(r.x0, x), r.x1 = std::max(r.x1, x);
        r.y0 = std::min(r.y0, y), r.y1 = std::max(r.y1, y);
      }
  return r;
}

class TGifOut {
 public:
  TGifOut(std::vector<std::uint8_t>& out, int zoom, const std::vector<std::uint32_t>& rgb, int transparent)
      : zoom_(zoom), transparent_(transparent) {
    int err = 0;
    gif_ = EGifOpen(&out, WriteToVector, &err);
    if (!gif_) {
      error_ = GifErrorString(err);
      return;
    }
    int bits = 1;
    while ((1 << bits) < static_cast<int>(rgb.size()) + 1) ++bits;
    std::vector<GifColorType> colours(static_cast<std::size_t>(1) << bits, GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < rgb.size(); ++i)
      colours[i] = GifColorType{static_cast<GifByteType>(rgb[i] >> 16), static_cast<GifByteType>(rgb[i] >> 8),
                                static_cast<GifByteType>(rgb[i])};
    ColorMapObject* map = GifMakeMapObject(1 << bits, colours.data());
    EGifSetGifVersion(gif_, true);
    Check(EGifPutScreenDesc(gif_, LCD_WIDTH * zoom, LCD_HEIGHT * zoom, bits, 0, map));
    GifFreeMapObject(map);
    // Loop for ever.
    static const GifByteType kApp[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoop[] = {1, 0, 0};
    Check(EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE));
    Check(EGifPutExtensionBlock(gif_, sizeof kApp, kApp));
    Check(EGifPutExtensionBlock(gif_, sizeof kLoop, kLoop));
    Check(EGifPutExtensionTrailer(gif_));
  }

  // Pixels of r (LCD coordinates) from px; where keep matches, transparent.
  void Frame(const TIndexed& px, const TIndexed* keep, TRect r, int delay) {
    if (!ok()) return;
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.UserInputFlag = false;
    gcb.DelayTime = delay;
    gcb.TransparentColor = keep ? transparent_ : NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    Check(EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, sizeof ext, ext));
    const int w = (r.x1 - r.x0 + 1) * zoom_;
    Check(EGifPutImageDesc(gif_, r.x0 * zoom_, r.y0 * zoom_, w, (r.y1 - r.y0 + 1) * zoom_, false, nullptr));
    std::vector<GifPixelType> line(static_cast<std::size_t>(w));
    for (int y = r.y0; ok() && y <= r.y1; ++y) {
      for (int x = r.x0; x <= r.x1; ++x) {
        const std::size_t i = static_cast<std::size_t>(y * LCD_WIDTH + x);
        const GifPixelType p = keep && (*keep)[i] == px[i] ? static_cast<GifPixelType>(transparent_) : px[i];
        std::fill_n(line.begin() + (x - r.x0) * zoom_, zoom_, p);
      }
      for (int rep = 0; ok() && rep < zoom_; ++rep) Check(EGifPutLine(gif_, line.data(), w));
    }
  }

  bool Close(std::string* error) {
    if (gif_) {
      int err = 0;
      if (EGifCloseFile(gif_, &err) != GIF_OK && error_.empty()) error_ = GifErrorString(err);
      gif_ = nullptr;
    }
    if (!error_.empty() && error) *error = "GIF: " + error_;
    return error_.empty();
  }
  ~TGifOut() { Close(nullptr); }

 private:
  bool ok() const { return gif_ && error_.empty(); }
  void Check(int rc) {
    if (rc != GIF_OK && error_.empty()) error_ = GifErrorString(gif_->Error);
  }
  GifFileType* gif_ = nullptr;
  std::string error_;
  int zoom_;
  int transparent_;
};

}  // namespace

bool EncodeGif(const std::vector<TTimedFrame>& frames, std::uint32_t endMs, int zoom, std::vector<std::uint8_t>& out,
               std::string* error) {
  out.clear();
  if (frames.empty() || zoom < 1 || zoom > 8) {
    if (error) *error = "GIF: nothing to record";
    return false;
  }
  TPalette palette;
  // Frame boundaries in hundredths of a second from the start, rounded, so
  // that the delays add up to the recorded time exactly.
  const std::uint32_t t0 = frames.front().timeMs;
  auto cs = [t0](std::uint32_t t) { return static_cast<int>((t - t0 + 5) / 10); };
  std::vector<TShown> shown;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const int start = cs(frames[i].timeMs);
    const int stop = i + 1 < frames.size() ? cs(frames[i + 1].timeMs) : cs(endMs);
    if (stop <= start && !(shown.empty() && i + 1 == frames.size())) continue;  // never on screen
    TIndexed px(static_cast<std::size_t>(LCD_WIDTH * LCD_HEIGHT));
    for (std::size_t p = 0; p < px.size(); ++p) px[p] = palette.Index(frames[i].frame.px[p], frames[i].frame.backlight);
    const int delay = std::max(0, stop - start);
    if (!shown.empty() && shown.back().px == px)
      shown.back().delay += delay;
    else
      shown.push_back({std::move(px), delay});
  }
  if (shown.empty()) {
    // Every frame was replaced within its hundredth: the last one stands.
    const TTimedFrame& last = frames.back();
    TIndexed px(static_cast<std::size_t>(LCD_WIDTH * LCD_HEIGHT));
    for (std::size_t p = 0; p < px.size(); ++p) px[p] = palette.Index(last.frame.px[p], last.frame.backlight);
    shown.push_back({std::move(px), 0});
  }

  const int transparent = static_cast<int>(palette.rgb.size());
  TGifOut gif(out, zoom, palette.rgb, transparent);
  const TRect whole{0, 0, LCD_WIDTH - 1, LCD_HEIGHT - 1};
  const TIndexed* before = nullptr;
  for (const TShown& s : shown) {
    TRect r = before ? Changed(*before, s.px) : whole;
    if (r.Empty()) r = TRect{0, 0, 0, 0};  // only a delay continues
    int left = s.delay;
    do {
      const int d = std::min(left, kMaxDelay);
      gif.Frame(s.px, before, r, d);
      left -= d;
      // A delay too long for one frame goes on in a one-pixel frame that changes nothing.
      before = &s.px;
      r = TRect{0, 0, 0, 0};
    } while (left > 0);
  }
  if (!gif.Close(error)) {
    out.clear();
    return false;
  }
  return true;
}
