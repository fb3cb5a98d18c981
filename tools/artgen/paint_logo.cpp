// The About window's logo: a round emblem with a decaying vibration trace over
// the ORB-720 word mark, 86 x 64 with real transparency (the dialog's face
// colour differs between styles, so no key colour).
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "art.h"
#include "paint_util.h"

namespace art {

inline constexpr QSize kLogoSize{86, 64};

QImage PaintLogo() {
  QImage img(kLogoSize, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  // Emblem: a deep blue disc with a lighter rim and a soft highlight.
  const QPointF c(43.0, 22.5);
  const double r = 20.5;
  QRadialGradient disc(c + QPointF(-6.0, -8.0), r * 1.6);
  disc.setColorAt(0.0, QColor(0x4f, 0x9c, 0xea));
  disc.setColorAt(0.6, QColor(0x17, 0x5c, 0xb4));
  disc.setColorAt(1.0, QColor(0x0b, 0x33, 0x72));
  p.setPen(QPen(QColor(0x0a, 0x2c, 0x62), 1.2));
  p.setBrush(disc);
  p.drawEllipse(c, r, r);
  p.setPen(QPen(QColor(0xb8, 0xd8, 0xf8, 170), 1.4));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, r - 3.2, r - 3.2);

  // A ring-down trace across the disc, clipped to its inner ring.
  QPainterPath clip;
  clip.addEllipse(c, r - 4.2, r - 4.2);
  p.setClipPath(clip);
  QPainterPath trace;
  const double x0 = c.x() - r, x1 = c.x() + r;
  for (double x = x0; x <= x1; x += 0.25) {
    const double t = (x - x0) / (x1 - x0);
    const double y = c.y() + 2.0 - 11.0 * std::exp(-2.6 * t) * std::sin(t * 6.0 * 2.0 * 3.14159265358979);
    if (x == x0)
      trace.moveTo(x, y);
    else
      trace.lineTo(x, y);
  }
  p.setPen(QPen(QColor(0x0a, 0x2c, 0x62, 120), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(trace.translated(0.6, 0.9));
  p.setPen(QPen(QColor(0xff, 0xd2, 0x4a), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(trace);
  // Glossy cap over the upper half.
  QLinearGradient gloss(0, c.y() - r, 0, c.y());
  gloss.setColorAt(0.0, QColor(255, 255, 255, 90));
  gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(gloss);
  p.drawEllipse(QRectF(c.x() - r * 0.72, c.y() - r * 0.9, r * 1.44, r * 0.9));
  p.setClipping(false);

  // Word mark under the emblem.
  p.setFont(UiFont(14.0, QFont::Bold));
  const QRectF mark(0, 45, kLogoSize.width(), 18);
  p.setPen(QColor(0x0b, 0x33, 0x72));
  p.drawText(mark, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("ORB-720"));
  p.end();
  return img.convertToFormat(QImage::Format_ARGB32);
}

bool CheckLogo(const QImage& logo, QStringList& faults) {
  const qsizetype before = faults.size();
  if (logo.size() != kLogoSize) {
    faults << QStringLiteral("logo.png has the wrong size");
    return false;
  }
  if (!logo.hasAlphaChannel()) faults << QStringLiteral("logo.png has no alpha channel");
  const int w = logo.width(), h = logo.height();
  for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
    if (qAlpha(logo.pixel(corner)) != 0) {
      faults << QStringLiteral("logo.png is not transparent at its corners");
      break;
    }
  // The emblem and the word mark must both be there and inside the picture.
  int emblem = 0, mark = 0;
  bool touches = false;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (qAlpha(logo.pixel(x, y)) != 255) continue;
      (y < 44 ? emblem : mark) += 1;
      touches = touches || x == 0 || x == w - 1 || y == h - 1;
    }
  if (emblem < 1000) faults << QStringLiteral("logo.png has no emblem");
  if (mark < 150) faults << QStringLiteral("logo.png has no word mark");
  if (touches) faults << QStringLiteral("logo.png touches its edge");
  return faults.size() == before;
}

}  // namespace art
