#include "gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <vector>

#include "lcd.h"

namespace {

constexpr int kMaxDelay = 65535;  // hundredths of a second in one frame

struct TRect {
  int x0 = LCD_WIDTH, y0 = LCD_HEIGHT, x1 = -1, y1 = -1;
  bool Empty() const { return x1 < x0; }
};
constexpr TRect kWhole{0, 0, LCD_WIDTH - 1, LCD_HEIGHT - 1};
constexpr TRect kOnePixel{0, 0, 0, 0};

// Frames compare by the colours they show: codes that look the same are the same.
struct TColours {
  const TFrame& f;
  const std::uint32_t* rgb = LcdColourColumn(f.backlight);
  std::uint32_t operator[](std::size_t i) const { return rgb[f.px[i]]; }
};

bool SameColours(const TFrame& a, const TFrame& b) {
  const TColours ca{a}, cb{b};
  for (std::size_t i = 0; i < a.px.size(); ++i)
    if (ca[i] != cb[i]) return false;
  return true;
}

TRect Changed(const TFrame& a, const TFrame& b) {
  const TColours ca{a}, cb{b};
  TRect r;
  for (int y = 0; y < LCD_HEIGHT; ++y)
    for (int x = 0; x < LCD_WIDTH; ++x)
      if (const auto i = static_cast<std::size_t>(y * LCD_WIDTH + x); ca[i] != cb[i]) {
        r.x0 = std::min(r.x0, x), r.x1 = std::max(r.x1, x);
        r.y0 = std::min(r.y0, y), r.y1 = std::max(r.y1, y);
      }
  return r;
}

int BitsFor(std::size_t colours) {
  int bits = 1;
  while ((std::size_t{1} << bits) < colours) ++bits;
  return bits;
}

ColorMapObject* MakeMap(const std::vector<std::uint32_t>& rgb, int bits) {
  std::vector<GifColorType> colours(std::size_t{1} << bits, GifColorType{0, 0, 0});
  for (std::size_t i = 0; i < rgb.size(); ++i)
    colours[i] = GifColorType{static_cast<GifByteType>(rgb[i] >> 16), static_cast<GifByteType>(rgb[i] >> 8),
                              static_cast<GifByteType>(rgb[i])};
  return GifMakeMapObject(1 << bits, colours.data());
}

}  // namespace

struct TGifRecorder::TImpl {
  int zoom;
  TWrite write;
  GifFileType* gif = nullptr;
  std::string error;
  // The global palette: the nine colours lit, then their dimmed forms, each
  // RGB once; index by backlight and code, -1 for codes outside the nine
  // (never drawn by the firmware: a frame with one gets a palette of its own).
  std::vector<std::uint32_t> palette;
  std::array<std::array<int, 256>, 2> index{};
  int transparent = 0;
  // Frame boundaries in hundredths of a second from the start, rounded, so
  // that the delays add up to the recorded time exactly.
  bool started = false;
  std::uint32_t t0 = 0;
  std::uint32_t candidateAt = 0;  // the last frame given, its end not yet known
  TFrame candidate;
  bool pending = false;  // the frame shown last, its delay still growing
  TFrame shown;
  int delay = 0;
  bool wrote = false;  // the frame written last, which the next one changes
  TFrame before;

  TImpl(int z, TWrite w) : zoom(z), write(std::move(w)) {
    for (auto& column : index) column.fill(-1);
    for (const bool lit : {true, false})
      for (const LcdColour& c : kLcdColours) {
        const std::uint32_t rgb = LcdColourRgb(static_cast<std::uint8_t>(c.code), lit);
        auto it = std::find(palette.begin(), palette.end(), rgb);
        if (it == palette.end()) it = palette.insert(palette.end(), rgb);
        index[lit][c.code] = static_cast<int>(it - palette.begin());
      }
    transparent = static_cast<int>(palette.size());
    if (zoom < 1 || zoom > 8) {
      error = "zoom out of range";
      return;
    }
    int err = 0;
    gif = EGifOpen(this, Output, &err);
    if (!gif) {
      error = GifErrorString(err);
      return;
    }
    const int bits = BitsFor(palette.size() + 1);
    ColorMapObject* map = MakeMap(palette, bits);
    EGifSetGifVersion(gif, true);
    Check(EGifPutScreenDesc(gif, LCD_WIDTH * zoom, LCD_HEIGHT * zoom, bits, 0, map));
    GifFreeMapObject(map);
    // Loop for ever.
    static const GifByteType kApp[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoop[] = {1, 0, 0};
    Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE));
    Check(EGifPutExtensionBlock(gif, sizeof kApp, kApp));
    Check(EGifPutExtensionBlock(gif, sizeof kLoop, kLoop));
    Check(EGifPutExtensionTrailer(gif));
  }

  static int Output(GifFileType* g, const GifByteType* data, int len) {
    auto* self = static_cast<TImpl*>(g->UserData);
    return !self->write || self->write(data, static_cast<std::size_t>(len)) ? len : 0;
  }
  bool ok() const { return gif && error.empty(); }
  void Check(int rc) {
    if (rc != GIF_OK && error.empty()) error = GifErrorString(gif->Error);
  }
  int Cs(std::uint32_t t) const { return static_cast<int>((t - t0 + 5) / 10); }

  // The frame shown from start to stop (hundredths): merged into the one
  // shown before when they look the same; the last frame given stands even
  // when shown for no time, if nothing else was.
  void Show(const TFrame& f, int start, int stop, bool last) {
    if (stop <= start && !(last && !pending && !wrote)) return;
    const int d = std::max(0, stop - start);
    if (pending && SameColours(shown, f)) {
      delay += d;
      return;
    }
    if (pending) Emit();
    shown = f;
    delay = d;
    pending = true;
  }

  void Emit() {
    TRect r = wrote ? Changed(before, shown) : kWhole;
    if (r.Empty()) r = kOnePixel;  // only a delay continues
    int left = delay;
    do {
      const int d = std::min(left, kMaxDelay);
      Put(shown, wrote ? &before : nullptr, r, d);
      left -= d;
      // A delay too long for one frame goes on in a one-pixel frame that changes nothing.
      before = shown;
      wrote = true;
      r = kOnePixel;
    } while (left > 0);
    pending = false;
  }

  // Pixels of r (LCD coordinates) from px; where keep has the same colour, transparent.
  void Put(const TFrame& px, const TFrame* keep, TRect r, int d) {
    if (!ok()) return;
    // Codes outside the palette: this frame's own colours, every pixel given.
    const auto& global = index[px.backlight];
    std::array<int, 256> local;
    std::vector<std::uint32_t> localRgb;
    bool inPalette = true;
    for (int y = r.y0; inPalette && y <= r.y1; ++y)
      for (int x = r.x0; x <= r.x1; ++x) inPalette = inPalette && global[px.At(x, y)] >= 0;
    if (!inPalette) {
      local.fill(-1);
      keep = nullptr;
      for (int y = r.y0; y <= r.y1; ++y)
        for (int x = r.x0; x <= r.x1; ++x) {
          int& i = local[px.At(x, y)];
          if (i >= 0) continue;
          const std::uint32_t rgb = LcdColourRgb(px.At(x, y), px.backlight);
          const auto it = std::find(localRgb.begin(), localRgb.end(), rgb);
          i = static_cast<int>(it - localRgb.begin());
          if (it == localRgb.end()) localRgb.push_back(rgb);
        }
    }
    const auto& colourIndex = inPalette ? global : local;
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.UserInputFlag = false;
    gcb.DelayTime = d;
    gcb.TransparentColor = keep ? transparent : NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, sizeof ext, ext));
    const int w = (r.x1 - r.x0 + 1) * zoom;
    ColorMapObject* map = inPalette ? nullptr : MakeMap(localRgb, BitsFor(localRgb.size()));
    Check(EGifPutImageDesc(gif, r.x0 * zoom, r.y0 * zoom, w, (r.y1 - r.y0 + 1) * zoom, false, map));
    GifFreeMapObject(map);
    std::vector<GifPixelType> line(static_cast<std::size_t>(w));
    const TColours now{px}, was{keep ? *keep : px};
    for (int y = r.y0; ok() && y <= r.y1; ++y) {
      for (int x = r.x0; x <= r.x1; ++x) {
        const std::size_t i = static_cast<std::size_t>(y * LCD_WIDTH + x);
        const int p = keep && was[i] == now[i] ? transparent : colourIndex[px.px[i]];
        std::fill_n(line.begin() + (x - r.x0) * zoom, zoom, static_cast<GifPixelType>(p));
      }
      for (int rep = 0; ok() && rep < zoom; ++rep) Check(EGifPutLine(gif, line.data(), w));
    }
    // giflib forgets, without freeing, the copy it keeps of a frame's palette
    // when the next frame has none.
    if (!inPalette && gif->Image.ColorMap) {
      GifFreeMapObject(gif->Image.ColorMap);
      gif->Image.ColorMap = nullptr;
    }
  }

  bool Close(std::string* why) {
    if (gif) {
      int err = 0;
      if (EGifCloseFile(gif, &err) != GIF_OK && error.empty()) error = GifErrorString(err);
      gif = nullptr;
    }
    if (!error.empty() && why) *why = "GIF: " + error;
    return error.empty();
  }
};

TGifRecorder::TGifRecorder(int zoom, TWrite write) : impl_(std::make_unique<TImpl>(zoom, std::move(write))) {}

TGifRecorder::~TGifRecorder() {
  // An unfinished recording is dropped: nothing more goes out.
  impl_->write = nullptr;
  impl_->Close(nullptr);
}

void TGifRecorder::Frame(std::uint32_t timeMs, const TFrame& frame) {
  TImpl& g = *impl_;
  if (!g.ok()) return;
  if (!g.started) {
    g.started = true;
    g.t0 = timeMs;
  } else {
    g.Show(g.candidate, g.Cs(g.candidateAt), g.Cs(timeMs), false);
  }
  g.candidate = frame;
  g.candidateAt = timeMs;
}

bool TGifRecorder::Finish(std::uint32_t endMs, std::string* error) {
  TImpl& g = *impl_;
  if (!g.started && g.error.empty()) g.error = "nothing to record";
  if (g.ok()) {
    g.Show(g.candidate, g.Cs(g.candidateAt), g.Cs(endMs), true);
    if (g.pending) g.Emit();
  }
  return g.Close(error);
}
