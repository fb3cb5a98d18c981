#pragma once
// Reads an animated GIF back through giflib as the pictures a viewer shows:
// every frame composed over the ones before, with its delay.
#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pngfile.h"

struct TGifShown {
  int delay = 0;  // hundredths of a second
  TRgbImage picture;
};

struct TGifRead {
  std::vector<std::uint8_t> bytes;
  std::size_t pos = 0;
};

inline int ReadGifBytes(GifFileType* gif, GifByteType* buf, int len) {
  auto* r = static_cast<TGifRead*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(len), r->bytes.size() - r->pos);
  std::memcpy(buf, r->bytes.data() + r->pos, n);
  r->pos += n;
  return static_cast<int>(n);
}

struct TGifDecoded {
  std::vector<TGifShown> frames;
  std::vector<std::uint32_t> palette;  // the global colour map
  std::string error;                   // giflib's reason when it refused the data
};

inline TGifDecoded DecodeGif(const std::vector<std::uint8_t>& bytes) {
  TGifDecoded out;
  TGifRead r{bytes, 0};
  int err = 0;
  GifFileType* gif = DGifOpen(&r, ReadGifBytes, &err);
  if (!gif) {
    out.error = GifErrorString(err);
    return out;
  }
  if (DGifSlurp(gif) != GIF_OK) {
    out.error = GifErrorString(gif->Error);
    DGifCloseFile(gif, &err);
    return out;
  }
  auto rgb = [](const GifColorType& c) { return static_cast<std::uint32_t>(c.Red) << 16 | c.Green << 8 | c.Blue; };
  if (gif->SColorMap)
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) out.palette.push_back(rgb(gif->SColorMap->Colors[i]));
  TRgbImage canvas(gif->SWidth, gif->SHeight, 0);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& img = gif->SavedImages[i];
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const ColorMapObject* map = img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
    const GifImageDesc& d = img.ImageDesc;
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        const int p = img.RasterBits[y * d.Width + x];
        if (p != gcb.TransparentColor) canvas.At(d.Left + x, d.Top + y) = rgb(map->Colors[p]);
      }
    out.frames.push_back({gcb.DelayTime, canvas});
  }
  DGifCloseFile(gif, &err);
  return out;
}
