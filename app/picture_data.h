#pragma once
// The linked-in pixels of the window's pictures. Qt-free and light: the
// generated picture sources include it, and they are large enough already.
#include <cstddef>
#include <cstdint>

struct TEmbeddedPicture {
  const char* name;  // the file's name without ".png"
  int width, height;
  const std::uint32_t* pixels;  // 0xAARRGGBB, premultiplied, key colour cleared
};
extern const TEmbeddedPicture* const kEmbeddedPictures[];
extern const std::size_t kEmbeddedPictureCount;
