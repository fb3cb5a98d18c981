// The instrument: a moulded case in a rubber bumper, a dark display bezel,
// a membrane keypad with four round caps and a sensor connector on top.
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "art.h"
#include "paint_util.h"

namespace art {
namespace {

constexpr double kMidX = 113.5;  // centre line of the opening and of the case

void PaintConnector(QPainter& p) {
  // Rubber boot where the sensor cable enters the case.
  QLinearGradient boot(88, 0, 140, 0);
  boot.setColorAt(0.0, QColor(0x1c, 0x1e, 0x21));
  boot.setColorAt(0.35, QColor(0x4a, 0x4e, 0x55));
  boot.setColorAt(1.0, QColor(0x16, 0x18, 0x1a));
  QPainterPath bootPath;
  bootPath.moveTo(93, 18);
  bootPath.lineTo(134, 18);
  bootPath.lineTo(141, 34);
  bootPath.lineTo(86, 34);
  bootPath.closeSubpath();
  p.fillPath(bootPath, boot);
  p.setPen(QPen(QColor(0x5c, 0x61, 0x68, 160), 0.8));
  p.drawLine(QPointF(93.5, 18.5), QPointF(133.5, 18.5));

  // Threaded metal body.
  QLinearGradient metal(98, 0, 129, 0);
  metal.setColorAt(0.0, QColor(0x5a, 0x60, 0x68));
  metal.setColorAt(0.3, QColor(0xe4, 0xe7, 0xeb));
  metal.setColorAt(0.55, QColor(0x9c, 0xa3, 0xab));
  metal.setColorAt(1.0, QColor(0x4e, 0x53, 0x5a));
  p.fillRect(QRectF(98, 9, 31, 10), metal);
  p.setPen(QPen(QColor(0x3c, 0x40, 0x46, 150), 1.0));
  for (double y = 11.5; y < 19.0; y += 2.0) p.drawLine(QPointF(98, y), QPointF(129, y));

  // Knurled coupling ring.
  QLinearGradient ring(93, 0, 134, 0);
  ring.setColorAt(0.0, QColor(0x48, 0x4d, 0x54));
  ring.setColorAt(0.3, QColor(0xcf, 0xd4, 0xda));
  ring.setColorAt(0.6, QColor(0x88, 0x8f, 0x97));
  ring.setColorAt(1.0, QColor(0x3e, 0x42, 0x48));
  QPainterPath ringPath;
  ringPath.addRoundedRect(QRectF(93.5, 0.5, 40, 10), 2.5, 2.5);
  p.fillPath(ringPath, ring);
  p.setPen(QPen(QColor(0x2a, 0x2d, 0x31, 170), 1.0));
  for (double x = 96.0; x < 132.0; x += 2.5) p.drawLine(QPointF(x, 1.5), QPointF(x, 9.5));
  p.setPen(QPen(QColor(0x22, 0x24, 0x27), 1.0));
  p.setBrush(Qt::NoBrush);
  p.drawPath(ringPath);
}

void PaintBumper(QPainter& p) {
  const QRectF outer(3.5, 26.5, 220, 418);
  QPainterPath body;
  body.addRoundedRect(outer, 30, 30);

  // Moulded safety-yellow rubber, lit from the upper left.
  QLinearGradient g(outer.left(), 0, outer.right(), 0);
  g.setColorAt(0.0, QColor(0xd9, 0x9c, 0x00));
  g.setColorAt(0.08, QColor(0xf6, 0xc0, 0x1e));
  g.setColorAt(0.5, QColor(0xe8, 0xaa, 0x06));
  g.setColorAt(0.92, QColor(0xc2, 0x86, 0x00));
  g.setColorAt(1.0, QColor(0x8e, 0x60, 0x00));
  p.fillPath(body, g);

  // Soft top light and bottom shade across the rubber.
  QLinearGradient v(0, outer.top(), 0, outer.bottom());
  v.setColorAt(0.0, QColor(255, 240, 190, 90));
  v.setColorAt(0.06, QColor(255, 240, 190, 0));
  v.setColorAt(0.9, QColor(60, 35, 0, 0));
  v.setColorAt(1.0, QColor(60, 35, 0, 110));
  p.fillPath(body, v);

  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x5a, 0x3c, 0x00), 1.2));
  p.drawPath(body);
  QPainterPath inner;
  inner.addRoundedRect(outer.adjusted(1.5, 1.5, -1.5, -1.5), 28.5, 28.5);
  p.setPen(QPen(QColor(255, 226, 140, 110), 1.0));
  p.drawPath(inner);

  // Grip ribs moulded into both flanks.
  for (int i = 0; i < 14; ++i) {
    const double y = 252.0 + i * 9.5;
    for (double x : {5.0, 216.5}) {
      QPainterPath rib;
      rib.addRoundedRect(QRectF(x, y, 5.5, 4.5), 2, 2);
      p.fillPath(rib, QColor(0x8a, 0x5e, 0x00, 200));
      p.setPen(QPen(QColor(255, 220, 120, 120), 0.8));
      p.drawLine(QPointF(x + 1, y + 4.6), QPointF(x + 4.5, y + 4.6));
    }
  }

  // Corner guards: thicker rubber, moulded seam.
  p.setPen(QPen(QColor(0x6a, 0x48, 0x00, 150), 1.0));
  for (QPointF c : {QPointF(3.5, 26.5), QPointF(223.5, 26.5), QPointF(3.5, 444.5),
                    QPointF(223.5, 444.5)}) {
    const double sx = c.x() < kMidX ? 1.0 : -1.0;
    const double sy = c.y() < 200 ? 1.0 : -1.0;
    p.drawLine(QPointF(c.x() + sx * 40, c.y() + sy * 1), QPointF(c.x() + sx * 40, c.y() + sy * 10));
    p.drawLine(QPointF(c.x() + sx * 1, c.y() + sy * 44), QPointF(c.x() + sx * 10, c.y() + sy * 44));
  }
}

void PaintScrew(QPainter& p, QPointF c) {
  QRadialGradient g(c + QPointF(-1.2, -1.2), 4.5);
  g.setColorAt(0.0, QColor(0xd8, 0xdc, 0xe0));
  g.setColorAt(1.0, QColor(0x50, 0x55, 0x5c));
  p.setPen(QPen(QColor(0x12, 0x14, 0x16), 0.8));
  p.setBrush(g);
  p.drawEllipse(c, 3.6, 3.6);
  p.setPen(QPen(QColor(0x2a, 0x2d, 0x31), 1.1));
  p.drawLine(c + QPointF(-2.2, -0.8), c + QPointF(2.2, 0.8));
}

void PaintFace(QPainter& p) {
  const QRectF face(13.5, 37.5, 200, 396);
  QPainterPath path;
  path.addRoundedRect(face, 22, 22);
  QLinearGradient g(0, face.top(), 0, face.bottom());
  g.setColorAt(0.0, QColor(0x46, 0x4b, 0x53));
  g.setColorAt(0.5, QColor(0x35, 0x39, 0x3f));
  g.setColorAt(1.0, QColor(0x29, 0x2c, 0x31));
  p.fillPath(path, g);
  // Seam between bumper and shell: dark groove with a lit lower lip.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x14, 0x15, 0x17), 1.6));
  p.drawPath(path);
  QPainterPath lip;
  lip.addRoundedRect(face.adjusted(1.5, 1.5, -1.5, -1.5), 20.5, 20.5);
  p.setPen(QPen(QColor(0x6a, 0x70, 0x79, 120), 1.0));
  p.drawPath(lip);

  for (QPointF c : {QPointF(26.5, 50.5), QPointF(200.5, 50.5), QPointF(26.5, 420.5),
                    QPointF(200.5, 420.5)})
    PaintScrew(p, c);
}

void PaintBezel(QPainter& p) {
  const QRectF bezel(38.5, 46.5, 150, 192);
  QPainterPath path;
  path.addRoundedRect(bezel, 10, 10);
  QLinearGradient g(0, bezel.top(), 0, bezel.bottom());
  g.setColorAt(0.0, QColor(0x24, 0x27, 0x2b));
  g.setColorAt(0.12, QColor(0x14, 0x16, 0x19));
  g.setColorAt(1.0, QColor(0x0c, 0x0d, 0x0f));
  p.fillPath(path, g);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x0a, 0x0b, 0x0c), 1.4));
  p.drawPath(path);
  QPainterPath chamfer;
  chamfer.addRoundedRect(bezel.adjusted(-1.2, -1.2, 1.2, 1.2), 11, 11);
  p.setPen(QPen(QColor(0x70, 0x76, 0x80, 150), 0.9));
  p.drawPath(chamfer);

  // Glass edge around the LCD: a recessed frame, darker toward the top.
  const QRectF o(kOpening.x(), kOpening.y(), kOpening.width(), kOpening.height());
  p.fillRect(o.adjusted(-4, -4, 4, 4), QColor(0x3a, 0x3f, 0x46));
  p.fillRect(o.adjusted(-3, -3, 3, 3), QColor(0x05, 0x06, 0x07));
  p.setPen(QPen(QColor(0x25, 0x29, 0x2e), 1.0));
  p.drawLine(QPointF(o.left() - 3, o.bottom() + 2.5), QPointF(o.right() + 3, o.bottom() + 2.5));

  // Ambient light window and the charge/status lamp above the display.
  p.setPen(Qt::NoPen);
  QRadialGradient lens(QPointF(58, 55), 3.2);
  lens.setColorAt(0.0, QColor(0x55, 0x5c, 0x66));
  lens.setColorAt(1.0, QColor(0x1c, 0x1f, 0x23));
  p.setBrush(lens);
  p.drawEllipse(QPointF(58.5, 55.5), 2.6, 2.6);
  QRadialGradient led(QPointF(168.5, 54.8), 3.5);
  // Unlit: the picture must not claim the instrument is on.
  led.setColorAt(0.0, QColor(0x6e, 0x9a, 0x64));
  led.setColorAt(0.5, QColor(0x24, 0x4a, 0x1e));
  led.setColorAt(1.0, QColor(0x0e, 0x1c, 0x0c));
  p.setBrush(led);
  p.drawEllipse(QPointF(169.5, 55.5), 2.8, 2.8);

  QFont f = UiFont(6.0, QFont::DemiBold);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
  p.setFont(f);
  p.setPen(QColor(0x8c, 0x93, 0x9c));
  p.drawText(QRectF(64, 50, 99, 11), Qt::AlignCenter, QStringLiteral("COLOUR LCD"));
  p.drawText(QRectF(40, 227, 147, 10), Qt::AlignCenter, QStringLiteral("1-CH  ACCEL \xB7 VEL \xB7 DISP"));
}

void PaintSymbol(QPainter& p, int number, QPointF c, QColor colour) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QPen pen(colour, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  switch (number) {
    case 1:  // down / next
    case 3: {  // up / previous
      const double d = number == 1 ? 1.0 : -1.0;
      QPainterPath tri;
      tri.moveTo(c + QPointF(-6.5, -3.8 * d));
      tri.lineTo(c + QPointF(6.5, -3.8 * d));
      tri.lineTo(c + QPointF(0, 4.6 * d));
      tri.closeSubpath();
      p.setPen(QPen(colour, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(colour);
      p.drawPath(tri);
      break;
    }
    case 2: {  // back / power
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      const QRectF r(c.x() - 6.5, c.y() - 5.5, 13, 13);
      p.drawArc(r, 118 * 16, 304 * 16);  // ring open at the top
      p.drawLine(c + QPointF(0, -8), c + QPointF(0, 0.5));
      break;
    }
    case 4: {  // select / enter
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      QPainterPath hook;
      hook.moveTo(c + QPointF(6, -6.5));
      hook.lineTo(c + QPointF(6, 2));
      hook.lineTo(c + QPointF(-5, 2));
      p.drawPath(hook);
      QPainterPath head;
      head.moveTo(c + QPointF(-7.5, 2));
      head.lineTo(c + QPointF(-2.5, -2.2));
      head.lineTo(c + QPointF(-2.5, 6.2));
      head.closeSubpath();
      p.setPen(QPen(colour, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(colour);
      p.drawPath(head);
      break;
    }
    default:
      break;
  }
  p.restore();
}

void PaintKeypad(QPainter& p) {
  const QRectF pad(40.5, 246.5, 146, 150);
  QPainterPath path;
  path.addRoundedRect(pad, 14, 14);
  QLinearGradient g(0, pad.top(), 0, pad.bottom());
  g.setColorAt(0.0, QColor(0x1d, 0x20, 0x24));
  g.setColorAt(1.0, QColor(0x27, 0x2a, 0x2f));
  p.fillPath(path, g);
  // Recessed: shadow on the upper edge, light on the lower.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x0c, 0x0d, 0x0f), 1.2));
  p.drawPath(path);
  QLinearGradient lipShade(0, pad.top(), 0, pad.bottom());
  lipShade.setColorAt(0.0, QColor(0x6c, 0x72, 0x7b, 0));
  lipShade.setColorAt(0.6, QColor(0x6c, 0x72, 0x7b, 40));
  lipShade.setColorAt(1.0, QColor(0x6c, 0x72, 0x7b, 170));
  QPainterPath low;
  low.addRoundedRect(pad.adjusted(0.5, 1.5, -0.5, 1.2), 14, 14);
  p.setPen(QPen(QBrush(lipShade), 1.0));
  p.drawPath(low);

  const char* const labels[4] = {"YES", "BACK", "NO", "ENTER"};
  for (const Button& b : kButtons) {
    PaintButtonWell(p, b.centre);
    PaintCap(p, b, false);
    QFont f = UiFont(5.8, QFont::Bold);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    p.setFont(f);
    p.setPen(QColor(0x9c, 0xa3, 0xad));
    const QRectF lr(b.centre.x() - 24, b.centre.y() + kWellRadius + 0.5, 48, 9);
    p.drawText(lr, Qt::AlignHCenter | Qt::AlignTop, QString::fromLatin1(labels[b.number - 1]));
  }
}

void PaintBrand(QPainter& p) {
  QFont f = UiFont(15.0, QFont::Black);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
  f.setItalic(true);
  p.setFont(f);
  const QRectF r(20, 397, 187, 22);
  p.setPen(QColor(0x10, 0x11, 0x13));
  p.drawText(r.translated(0.8, 1.0), Qt::AlignCenter, QStringLiteral("ORB-720"));
  p.setPen(QColor(0xee, 0xf0, 0xf3));
  p.drawText(r, Qt::AlignCenter, QStringLiteral("ORB-720"));
  QFont s = UiFont(5.6, QFont::DemiBold);
  s.setLetterSpacing(QFont::AbsoluteSpacing, 0.9);
  p.setFont(s);
  p.setPen(QColor(0xf2, 0xb8, 0x1a));
  p.drawText(QRectF(20, 418, 187, 9), Qt::AlignCenter, QStringLiteral("VIBRATION DATA COLLECTOR"));
}

}  // namespace

void PaintButtonWell(QPainter& p, QPointF c) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient well(c + QPointF(2, 2.5), kWellRadius + 1);
  well.setColorAt(0.0, QColor(0x0b, 0x0c, 0x0d));
  well.setColorAt(0.8, QColor(0x10, 0x11, 0x13));
  well.setColorAt(1.0, QColor(0x2a, 0x2e, 0x33));
  p.setPen(Qt::NoPen);
  p.setBrush(well);
  p.drawEllipse(c, kWellRadius, kWellRadius);
  // Lit lower-right lip of the recess.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x75, 0x7c, 0x86, 170), 1.0));
  const QRectF r(c.x() - kWellRadius, c.y() - kWellRadius, 2 * kWellRadius, 2 * kWellRadius);
  p.drawArc(r, -100 * 16, 150 * 16);
  p.restore();
}

void PaintCap(QPainter& p, const Button& b, bool pressed) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c = b.centre;
  p.setPen(Qt::NoPen);
  if (!pressed) {
    // Cast shadow of the raised cap into its well.
    QRadialGradient sh(c + QPointF(1.5, 2.2), kCapRadius + 2.5);
    sh.setColorAt(0.75, QColor(0, 0, 0, 150));
    sh.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setBrush(sh);
    p.drawEllipse(c + QPointF(1.5, 2.2), kCapRadius + 2.5, kCapRadius + 2.5);
  }
  // Dark rim of the cap (rubber skirt).
  p.setBrush(pressed ? QColor(0x0e, 0x0f, 0x11) : QColor(0x1a, 0x1c, 0x1f));
  p.drawEllipse(c, kCapRadius + 1.0, kCapRadius + 1.0);

  QRadialGradient g(c + (pressed ? QPointF(3, 4) : QPointF(-6, -7)), kCapRadius * 1.6);
  if (pressed) {
    g.setColorAt(0.0, QColor(0x4a, 0x4f, 0x56));
    g.setColorAt(0.6, QColor(0x35, 0x39, 0x3e));
    g.setColorAt(1.0, QColor(0x22, 0x25, 0x28));
  } else {
    g.setColorAt(0.0, QColor(0x8c, 0x93, 0x9c));
    g.setColorAt(0.45, QColor(0x5e, 0x64, 0x6c));
    g.setColorAt(1.0, QColor(0x33, 0x36, 0x3b));
  }
  p.setBrush(g);
  p.drawEllipse(c, kCapRadius, kCapRadius);

  const QRectF r(c.x() - kCapRadius + 1, c.y() - kCapRadius + 1, 2 * kCapRadius - 2,
                 2 * kCapRadius - 2);
  p.setBrush(Qt::NoBrush);
  if (pressed) {
    // Inset shadow: the cap sits below the keypad surface.
    for (int i = 0; i < 4; ++i) {
      p.setPen(QPen(QColor(0, 0, 0, 120 - 28 * i), 1.2));
      const QRectF ri = r.adjusted(i, i, -i, -i);
      p.drawArc(ri, 30 * 16, 180 * 16);
    }
  } else {
    p.setPen(QPen(QColor(0xd4, 0xd9, 0xdf, 150), 1.2));
    p.drawArc(r, 60 * 16, 110 * 16);
    p.setPen(QPen(QColor(0x10, 0x11, 0x13, 140), 1.0));
    p.drawArc(r, -120 * 16, 150 * 16);
  }

  QColor sym = b.number == 2 ? QColor(0xff, 0x8a, 0x3c) : QColor(0xe6, 0xe9, 0xed);
  if (pressed) sym = sym.darker(130);
  PaintSymbol(p, b.number, c + (pressed ? QPointF(1, 1) : QPointF(0, 0)), sym);
  p.restore();
}

QImage PaintDevice() {
  QImage layer(kDeviceW, kDeviceH, QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  {
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    PaintConnector(p);
    PaintBumper(p);
    PaintFace(p);
    PaintBezel(p);
    PaintKeypad(p);
    PaintBrand(p);
  }
  QImage out = FlattenOnto(layer, kWindowFace, kTransparentWhite);
  // The opening must be the exact key colour so the LCD shows through.
  for (int y = kOpening.top(); y <= kOpening.bottom(); ++y)
    for (int x = kOpening.left(); x <= kOpening.right(); ++x) out.setPixel(x, y, kTransparentWhite);
  return out;
}

}  // namespace art
