// Tool bar icons, 32 x 32 with real transparency.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "art.h"
#include "paint_util.h"

namespace art {
namespace {

QImage NewIcon() {
  QImage img(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

QImage Finish(const QImage& img) { return img.convertToFormat(QImage::Format_ARGB32); }

void BlueBadge(QPainter& p, QPointF c, double r) {
  QRadialGradient g(c + QPointF(-r * 0.35, -r * 0.45), r * 1.5);
  g.setColorAt(0.0, QColor(0x6c, 0xb4, 0xf4));
  g.setColorAt(0.55, QColor(0x1f, 0x6f, 0xc8));
  g.setColorAt(1.0, QColor(0x0f, 0x3f, 0x80));
  p.setPen(QPen(QColor(0x0c, 0x33, 0x6b), 1.0));
  p.setBrush(g);
  p.drawEllipse(c, r, r);
  // Glossy cap of the badge.
  QLinearGradient gl(0, c.y() - r, 0, c.y());
  gl.setColorAt(0.0, QColor(255, 255, 255, 130));
  gl.setColorAt(1.0, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(gl);
  p.drawEllipse(QRectF(c.x() - r * 0.75, c.y() - r * 0.92, r * 1.5, r * 0.95));
}

}  // namespace

QImage PaintIconOverview() {
  QImage img = NewIcon();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // A sheet with a folded corner, ruled with text lines.
  QPainterPath sheet;
  sheet.moveTo(5.5, 2.5);
  sheet.lineTo(19.5, 2.5);
  sheet.lineTo(25.5, 8.5);
  sheet.lineTo(25.5, 29.5);
  sheet.lineTo(5.5, 29.5);
  sheet.closeSubpath();
  QLinearGradient paper(5, 0, 26, 30);
  paper.setColorAt(0.0, QColor(0xfd, 0xfd, 0xfd));
  paper.setColorAt(1.0, QColor(0xd8, 0xdd, 0xe3));
  p.setPen(QPen(QColor(0x6a, 0x70, 0x78), 1.0));
  p.setBrush(paper);
  p.drawPath(sheet);
  QPainterPath fold;
  fold.moveTo(19.5, 2.5);
  fold.lineTo(19.5, 8.5);
  fold.lineTo(25.5, 8.5);
  fold.closeSubpath();
  p.setBrush(QColor(0xc4, 0xca, 0xd2));
  p.drawPath(fold);
  p.setPen(QPen(QColor(0x9a, 0xa2, 0xac), 1.0));
  for (double y : {11.5, 14.5, 17.5}) p.drawLine(QPointF(8.5, y), QPointF(y < 12 ? 17.5 : 22.5, y));
  p.drawLine(QPointF(8.5, 20.5), QPointF(13.5, 20.5));
  // The "i" badge in the lower right.
  BlueBadge(p, QPointF(22.5, 23.5), 7.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xfa, 0xfa, 0xfa));
  p.drawEllipse(QPointF(22.5, 19.6), 1.35, 1.35);
  p.drawRoundedRect(QRectF(21.3, 22.0, 2.4, 6.4), 0.8, 0.8);
  p.end();
  return Finish(img);
}

QImage PaintIconAbout() {
  QImage img = NewIcon();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  BlueBadge(p, QPointF(16, 16), 13.5);
  QFont f = UiFont(20.0, QFont::Bold);
  p.setFont(f);
  p.setPen(QColor(0x08, 0x2a, 0x58, 150));
  p.drawText(QRectF(1, 2, 32, 30), Qt::AlignCenter, QStringLiteral("?"));
  p.setPen(QColor(0xfb, 0xfb, 0xfb));
  p.drawText(QRectF(0, 1, 32, 30), Qt::AlignCenter, QStringLiteral("?"));
  p.end();
  return Finish(img);
}

QImage PaintIconExit() {
  QImage img = NewIcon();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // Door frame.
  p.setPen(QPen(QColor(0x4a, 0x3a, 0x2a), 1.0));
  p.setBrush(QColor(0x2e, 0x2a, 0x26));
  p.drawRect(QRectF(4.5, 2.5, 15, 27));
  // Open door leaf, in perspective, with its knob.
  QPainterPath leaf;
  leaf.moveTo(4.5, 2.5);
  leaf.lineTo(14.5, 5.5);
  leaf.lineTo(14.5, 31.0);
  leaf.lineTo(4.5, 29.5);
  leaf.closeSubpath();
  QLinearGradient wood(4, 0, 15, 0);
  wood.setColorAt(0.0, QColor(0xc8, 0x8a, 0x4a));
  wood.setColorAt(1.0, QColor(0x8e, 0x58, 0x2a));
  p.setPen(QPen(QColor(0x5a, 0x36, 0x16), 1.0));
  p.setBrush(wood);
  p.drawPath(leaf);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xf0, 0xd0, 0x60));
  p.drawEllipse(QPointF(12.3, 17.5), 1.3, 1.3);
  // Arrow leaving to the right.
  QPainterPath arrow;
  arrow.moveTo(16.0, 13.5);
  arrow.lineTo(23.0, 13.5);
  arrow.lineTo(23.0, 9.0);
  arrow.lineTo(30.5, 16.5);
  arrow.lineTo(23.0, 24.0);
  arrow.lineTo(23.0, 19.5);
  arrow.lineTo(16.0, 19.5);
  arrow.closeSubpath();
  QLinearGradient green(0, 9, 0, 24);
  green.setColorAt(0.0, QColor(0x7c, 0xd8, 0x5c));
  green.setColorAt(1.0, QColor(0x2a, 0x8c, 0x22));
  p.setPen(QPen(QColor(0x1a, 0x5a, 0x14), 1.0));
  p.setBrush(green);
  p.drawPath(arrow);
  p.end();
  return Finish(img);
}

}  // namespace art
