// Checks run on the finished pictures before anything is written, so a
// painting change cannot quietly break the window's transparency keys.
#include <QColor>
#include <cmath>
#include <numbers>
#include <vector>

#include "art.h"

namespace art {
namespace {

QRgb Opaque(QRgb c) { return c | 0xFF000000u; }

bool Fail(QStringList& faults, const QString& what) {
  faults << what;
  return false;
}

double Luma(QRgb c) { return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c); }

}  // namespace

bool CheckDevice(const QImage& d, QStringList& faults) {
  const qsizetype before = faults.size();
  if (d.size() != QSize(kDeviceW, kDeviceH))
    return Fail(faults, QStringLiteral("device.png is %1 x %2").arg(d.width()).arg(d.height()));
  if (d.hasAlphaChannel()) Fail(faults, QStringLiteral("device.png has an alpha channel"));

  const QRgb white = Opaque(kTransparentWhite);
  for (int y = kOpening.top(); y <= kOpening.bottom(); ++y)
    for (int x = kOpening.left(); x <= kOpening.right(); ++x)
      if (Opaque(d.pixel(x, y)) != white) {
        Fail(faults, QStringLiteral("opening pixel %1,%2 is not pure white").arg(x).arg(y));
        y = kOpening.bottom() + 1;
        break;
      }

  // Pure white reachable from the picture's edge is the outside of the case;
  // any other white except the opening would be a hole in the instrument.
  std::vector<char> outside(static_cast<std::size_t>(kDeviceW * kDeviceH), 0);
  std::vector<QPoint> stack;
  auto push = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= kDeviceW || y >= kDeviceH) return;
    char& seen = outside[static_cast<std::size_t>(y * kDeviceW + x)];
    if (seen || Opaque(d.pixel(x, y)) != white) return;
    seen = 1;
    stack.emplace_back(x, y);
  };
  for (int x = 0; x < kDeviceW; ++x) push(x, 0), push(x, kDeviceH - 1);
  for (int y = 0; y < kDeviceH; ++y) push(0, y), push(kDeviceW - 1, y);
  while (!stack.empty()) {
    const QPoint q = stack.back();
    stack.pop_back();
    push(q.x() + 1, q.y()), push(q.x() - 1, q.y()), push(q.x(), q.y() + 1), push(q.x(), q.y() - 1);
  }
  int strays = 0;
  QPoint firstStray;
  for (int y = 0; y < kDeviceH; ++y)
    for (int x = 0; x < kDeviceW; ++x) {
      const bool isOutside = outside[static_cast<std::size_t>(y * kDeviceW + x)] != 0;
      if (isOutside && kOpening.contains(x, y))
        return Fail(faults, QStringLiteral("the opening is not sealed from the outside"));
      if (!isOutside && !kOpening.contains(x, y) && Opaque(d.pixel(x, y)) == white) {
        if (strays++ == 0) firstStray = QPoint(x, y);
      }
    }
  if (strays)
    Fail(faults, QStringLiteral("%1 stray pure white pixels in the case, first at %2,%3")
                     .arg(strays).arg(firstStray.x()).arg(firstStray.y()));

  // The case must frame the opening and carry the buttons.
  for (const Button& b : kButtons) {
    const QRectF cap(b.centre.x() - kPressedRadius, b.centre.y() - kPressedRadius,
                     2 * kPressedRadius, 2 * kPressedRadius);
    const QRectF hit(b.hit.x(), b.hit.y(), b.hit.width(), b.hit.height());
    if (!hit.contains(cap))
      Fail(faults, QStringLiteral("cap of button %1 leaves its hit rectangle").arg(b.number));
    if (Opaque(d.pixel(b.centre.toPoint())) == white)
      Fail(faults, QStringLiteral("button %1 is transparent").arg(b.number));
  }
  return faults.size() == before;
}

bool CheckPressedButton(const QImage& img, const Button& b, QStringList& faults) {
  const qsizetype before = faults.size();
  const QString name = QStringLiteral("button%1.png").arg(b.number);
  if (img.size() != QSize(kButtonW, kButtonH))
    return Fail(faults, name + QStringLiteral(" has the wrong size"));
  if (img.hasAlphaChannel()) Fail(faults, name + QStringLiteral(" has an alpha channel"));

  const QRgb red = Opaque(kTransparentRed);
  const QPointF local = b.centre - QPointF(b.hit.topLeft());
  double sx = 0, sy = 0;
  int n = 0, outliers = 0;
  for (int y = 0; y < kButtonH; ++y)
    for (int x = 0; x < kButtonW; ++x) {
      if (Opaque(img.pixel(x, y)) == red) continue;
      const double dx = x + 0.5 - local.x(), dy = y + 0.5 - local.y();
      if (std::hypot(dx, dy) > kPressedRadius + 0.75) ++outliers;
      sx += x + 0.5;
      sy += y + 0.5;
      ++n;
    }
  if (outliers) Fail(faults, name + QStringLiteral(": %1 cap pixels outside the cap").arg(outliers));
  const double area = std::numbers::pi * kPressedRadius * kPressedRadius;
  if (n < area * 0.95 || n > area * 1.08)
    Fail(faults, name + QStringLiteral(": cap has %1 pixels, expected about %2").arg(n).arg(area));
  if (n > 0 && std::hypot(sx / n - local.x(), sy / n - local.y()) > 0.5)
    Fail(faults, name + QStringLiteral(": cap is off the button's centre"));
  return faults.size() == before;
}

bool PressedIsDarker(const QImage& device, const QImage& pressed, const Button& b) {
  double up = 0, down = 0;
  for (int y = 0; y < kButtonH; ++y)
    for (int x = 0; x < kButtonW; ++x) {
      if (Opaque(pressed.pixel(x, y)) == Opaque(kTransparentRed)) continue;
      up += Luma(device.pixel(b.hit.x() + x, b.hit.y() + y));
      down += Luma(pressed.pixel(x, y));
    }
  return down < up * 0.85;
}

bool CheckIcon(const QImage& icon, const QString& name, QStringList& faults) {
  const qsizetype before = faults.size();
  if (icon.size() != QSize(kIconSize, kIconSize)) return Fail(faults, name + QStringLiteral(" has the wrong size"));
  if (!icon.hasAlphaChannel()) Fail(faults, name + QStringLiteral(" has no alpha channel"));
  if (qAlpha(icon.pixel(0, 0)) != 0 || qAlpha(icon.pixel(kIconSize - 1, 0)) != 0)
    Fail(faults, name + QStringLiteral(" is not transparent at its corners"));
  int opaque = 0;
  for (int y = 0; y < kIconSize; ++y)
    for (int x = 0; x < kIconSize; ++x) opaque += qAlpha(icon.pixel(x, y)) == 255 ? 1 : 0;
  if (opaque < 200) Fail(faults, name + QStringLiteral(" is nearly empty"));
  return faults.size() == before;
}

}  // namespace art
