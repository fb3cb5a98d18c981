#include "paint_util.h"

namespace art {

QFont UiFont(double pixelSize, QFont::Weight weight) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(static_cast<int>(pixelSize + 0.5));
  // setPixelSize is integral; fractional sizes come from a point size at the
  // 96 dpi a QImage paints with.
  f.setPointSizeF(pixelSize * 72.0 / 96.0);
  f.setWeight(weight);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

QRgb NudgeOffKey(QRgb c, QRgb key) {
  if ((c | 0xFF000000u) != (key | 0xFF000000u)) return c;
  auto step = [](int v) { return v == 255 ? 254 : v; };
  return qRgb(step(qRed(c)), step(qGreen(c)), step(qBlue(c)));
}

QImage FlattenOnto(const QImage& layer, QRgb edge, QRgb key) {
  const QImage src = layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage out(src.size(), QImage::Format_RGB32);
  for (int y = 0; y < src.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
    for (int x = 0; x < src.width(); ++x) {
      const QRgb s = in[x];
      const int a = qAlpha(s);
      if (a == 0) {
        out.setPixel(x, y, key | 0xFF000000u);
        continue;
      }
      auto mix = [a](int premul, int bg) { return premul + (bg * (255 - a) + 127) / 255; };
      const QRgb c = qRgb(mix(qRed(s), qRed(edge)), mix(qGreen(s), qGreen(edge)),
                          mix(qBlue(s), qBlue(edge)));
      out.setPixel(x, y, NudgeOffKey(c, key));
    }
  }
  return out;
}

}  // namespace art
