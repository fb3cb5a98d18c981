// Pressed caps: the device picture under the button with the cap repainted
// sunk into its well; everything beyond the cap is the red key.
#include <QPainter>
#include <cmath>

#include "art.h"
#include "paint_util.h"

namespace art {

QImage PaintPressedButton(const QImage& device, const Button& b) {
  QImage layer = device.copy(b.hit).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QPointF local = b.centre - QPointF(b.hit.topLeft());
  {
    QPainter p(&layer);
    p.translate(-QPointF(b.hit.topLeft()));
    p.setRenderHint(QPainter::Antialiasing);
    // Refill the well first so the raised cap's highlight does not show at
    // the edge of the smaller pressed cap.
    PaintButtonWell(p, b.centre);
    PaintCap(p, b, true);
  }
  QImage mask(layer.size(), QImage::Format_Grayscale8);
  mask.fill(0);
  {
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(local, kPressedRadius, kPressedRadius);
  }
  QImage out(layer.size(), QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) {
      // The rim pixels are device pixels again, so a partly covered pixel
      // can keep its painted colour without a seam.
      const bool inCap = qGray(mask.pixel(x, y)) > 0;
      out.setPixel(x, y, inCap ? NudgeOffKey(layer.pixel(x, y) | 0xFF000000u, kTransparentRed)
                               : kTransparentRed);
    }
  return out;
}

QImage ComposePreview(const QImage& device, const std::array<QImage, 4>& pressed,
                      int pressedNumber) {
  QImage win(kWindow, QImage::Format_RGB32);
  win.fill(kWindowFace);
  {
    QPainter p(&win);
    // Tool bar lines, so the preview reads like the window.
    p.setPen(QColor(0xa0, 0xa0, 0xa0));
    p.drawLine(0, 0, kWindow.width(), 0);
    p.drawLine(0, 55, kWindow.width(), 55);
    QImage lcd(128, 160, QImage::Format_RGB32);
    lcd.fill(qRgb(0x4e, 0x4e, 0x4e));
    p.drawImage(kLcdAt, lcd);
  }
  auto keyed = [&win](const QImage& pic, QPoint at, QRgb key) {
    for (int y = 0; y < pic.height(); ++y)
      for (int x = 0; x < pic.width(); ++x) {
        const QRgb c = pic.pixel(x, y) | 0xFF000000u;
        if (c != (key | 0xFF000000u)) win.setPixel(at.x() + x, at.y() + y, c);
      }
  };
  keyed(device, kDeviceAt, kTransparentWhite);
  // Same stacking as the window: 2, 4, 3, 1 from the bottom.
  for (int n : {2, 4, 3, 1}) {
    if (pressedNumber != n && pressedNumber != -1) continue;
    const Button& b = kButtons[static_cast<std::size_t>(n - 1)];
    keyed(pressed[static_cast<std::size_t>(n - 1)], kDeviceAt + b.hit.topLeft(), kTransparentRed);
  }
  return win;
}

}  // namespace art
