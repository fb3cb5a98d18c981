#include "pictures.h"

#include <cstring>

QImage Picture(const char* name) {
  for (std::size_t i = 0; i < kEmbeddedPictureCount; ++i) {
    const TEmbeddedPicture& p = *kEmbeddedPictures[i];
    if (std::strcmp(p.name, name) == 0)
      return QImage(reinterpret_cast<const uchar*>(p.pixels), p.width, p.height, p.width * 4,
                    QImage::Format_ARGB32_Premultiplied);
  }
  return {};
}
