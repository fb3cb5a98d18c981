// The application icon: the instrument seen from the front, in the colours of
// device.png, with a spectrum on its LCD. One list of shapes is drawn twice,
// by QPainter into the bitmap sizes and as SVG text for the scalable icon, so
// the two cannot drift apart.
#include <QBrush>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QRadialGradient>
#include <QXmlStreamReader>
#include <algorithm>
#include <vector>

#include "art.h"

namespace art {
namespace {

constexpr double kUnits = 256.0;  // the design grid

struct Stop {
  double at;
  QColor colour;
};

struct Fill {
  enum Kind { None, Solid, Linear, Radial } kind = None;
  QColor colour;
  QPointF a, b;  // linear: from a to b; radial: centre a, focal point b
  double radius = 0;
  std::vector<Stop> stops;
};

struct Shape {
  enum Kind { RoundRect, Ellipse, Polyline } kind = RoundRect;
  QRectF rect;  // round rectangle, or the ellipse's bounds
  double radius = 0;
  std::vector<QPointF> points;
  Fill fill;
  QColor stroke;  // invalid: no stroke
  double strokeWidth = 0;
};

Fill Solid(QColor c) {
  Fill f;
  f.kind = Fill::Solid;
  f.colour = c;
  return f;
}

Fill Linear(QPointF a, QPointF b, std::vector<Stop> stops) {
  Fill f;
  f.kind = Fill::Linear;
  f.a = a;
  f.b = b;
  f.stops = std::move(stops);
  return f;
}

Fill Radial(QPointF centre, double radius, QPointF focal, std::vector<Stop> stops) {
  Fill f;
  f.kind = Fill::Radial;
  f.a = centre;
  f.b = focal;
  f.radius = radius;
  f.stops = std::move(stops);
  return f;
}

Shape Box(QRectF r, double radius, Fill fill, QColor stroke = QColor(), double width = 0) {
  Shape s;
  s.rect = r;
  s.radius = radius;
  s.fill = std::move(fill);
  s.stroke = stroke;
  s.strokeWidth = width;
  return s;
}

Shape Disc(QPointF c, double r, Fill fill, QColor stroke = QColor(), double width = 0) {
  Shape s = Box(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 0, std::move(fill), stroke, width);
  s.kind = Shape::Ellipse;
  return s;
}

Shape Line(std::vector<QPointF> points, QColor stroke, double width) {
  Shape s;
  s.kind = Shape::Polyline;
  s.points = std::move(points);
  s.stroke = stroke;
  s.strokeWidth = width;
  return s;
}

// The design on the 256-unit grid. `pixels` is the size it will be shown at:
// edges and lines never get thinner than about a pixel there, so the small
// sizes keep a yellow rim, a lit display and a trace.
std::vector<Shape> Design(int pixels) {
  const double px = kUnits / pixels;
  auto atLeast = [px](double units, double pixelsWide) { return std::max(units, px * pixelsWide); };
  std::vector<Shape> d;

  // The small sizes are stouter, with thinner rims, or the display would
  // shrink to a couple of pixels.
  const bool small = pixels < 32;
  const QRectF bumper = small ? QRectF(28, 14, 200, 236) : QRectF(52, 14, 152, 236);
  const double rim = small ? px * 2.0 : atLeast(12, 2.0);
  const QRectF face = bumper.adjusted(rim, rim, -rim, -rim);
  const double edge = small ? px * 0.5 : atLeast(8, 0.75);
  const QRectF bezel(face.left() + edge, face.top() + edge, face.width() - 2 * edge, face.height() * 0.64);
  const QRectF lcd = bezel.adjusted(edge, edge, -edge, -edge);
  const QRectF pad(bezel.left() + edge * 0.75, bezel.bottom() + edge, bezel.width() - edge * 1.5,
                   face.bottom() - edge - bezel.bottom() - edge);

  // Sensor connector on top: the knurled metal ring of device.png.
  if (pixels >= 32)
    d.push_back(Box(QRectF(104, 3, 48, 20), 4,
                    Linear({104, 0}, {152, 0},
                           {{0.0, QColor(0x5a, 0x60, 0x68)}, {0.3, QColor(0xe4, 0xe7, 0xeb)},
                            {0.55, QColor(0x9c, 0xa3, 0xab)}, {1.0, QColor(0x4e, 0x53, 0x5a)}}),
                    QColor(0x22, 0x24, 0x27), atLeast(2, 0.6)));
  // Safety-yellow rubber bumper, lit from the upper left.
  d.push_back(Box(bumper, 32,
                  Linear({bumper.left(), 0}, {bumper.right(), 0},
                         {{0.0, QColor(0xd9, 0x9c, 0x00)}, {0.08, QColor(0xf6, 0xc0, 0x1e)},
                          {0.5, QColor(0xe8, 0xaa, 0x06)}, {0.92, QColor(0xc2, 0x86, 0x00)},
                          {1.0, QColor(0x8e, 0x60, 0x00)}}),
                  QColor(0x5a, 0x3c, 0x00), atLeast(3, 0.7)));
  // Dark moulded face.
  d.push_back(Box(face, 22,
                  Linear({0, face.top()}, {0, face.bottom()},
                         {{0.0, QColor(0x46, 0x4b, 0x53)}, {0.5, QColor(0x35, 0x39, 0x3f)},
                          {1.0, QColor(0x29, 0x2c, 0x31)}}),
                  QColor(0x14, 0x15, 0x17), atLeast(2, 0.5)));
  // Display bezel and the lit LCD: blue title band over a white page.
  d.push_back(Box(bezel, 10,
                  Linear({0, bezel.top()}, {0, bezel.bottom()},
                         {{0.0, QColor(0x24, 0x27, 0x2b)}, {0.12, QColor(0x14, 0x16, 0x19)},
                          {1.0, QColor(0x0c, 0x0d, 0x0f)}})));
  d.push_back(Box(lcd, 0, Solid(QColor(0xF0, 0xF0, 0xFF))));
  d.push_back(Box(QRectF(lcd.left(), lcd.top(), lcd.width(), atLeast(lcd.height() * 0.16, 1.5)), 0,
                  Solid(QColor(0x00, 0x00, 0xFF))));
  // A spectrum with a running-speed peak and its harmonics, over its axis.
  const double base = lcd.bottom() - lcd.height() * 0.1;
  auto at = [&](double fx, double fy) { return QPointF(lcd.left() + lcd.width() * fx, base - lcd.height() * fy); };
  if (pixels >= 32) d.push_back(Line({at(0.06, 0), at(0.94, 0)}, QColor(0x00, 0x00, 0x00), atLeast(2, 0.8)));
  if (pixels >= 22)
    d.push_back(Line({at(0.06, 0), at(0.19, 0.05), at(0.25, 0.54), at(0.31, 0.07), at(0.42, 0.1), at(0.48, 0.31),
                    at(0.54, 0.09), at(0.67, 0.07), at(0.73, 0.19), at(0.79, 0.05), at(0.94, 0.03)},
                     QColor(0x00, 0x80, 0x00), atLeast(4, 1.2)));
  // Membrane keypad with four round caps; the power key is marked orange.
  d.push_back(Box(pad, 12,
                  Linear({0, pad.top()}, {0, pad.bottom()},
                         {{0.0, QColor(0x1d, 0x20, 0x24)}, {1.0, QColor(0x27, 0x2a, 0x2f)}}),
                  QColor(0x0c, 0x0d, 0x0f), atLeast(1.5, 0.5)));
  const double capR = std::min(pad.height() * 0.21, pad.width() * 0.12);
  const QPointF caps[4] = {{pad.left() + pad.width() * 0.25, pad.top() + pad.height() * 0.27},
                           {pad.left() + pad.width() * 0.75, pad.top() + pad.height() * 0.27},
                           {pad.left() + pad.width() * 0.25, pad.top() + pad.height() * 0.73},
                           {pad.left() + pad.width() * 0.75, pad.top() + pad.height() * 0.73}};
  for (const QPointF c : caps)
    d.push_back(Disc(c, capR,
                     Radial(c, capR * 1.5, c + QPointF(-capR * 0.4, -capR * 0.5),
                            {{0.0, QColor(0x8c, 0x93, 0x9c)}, {0.45, QColor(0x5e, 0x64, 0x6c)},
                             {1.0, QColor(0x33, 0x36, 0x3b)}}),
                     pixels >= 32 ? QColor(0x1a, 0x1c, 0x1f) : QColor(), atLeast(1.5, 0.5)));
  if (pixels >= 32) d.push_back(Disc(caps[0], capR * 0.43, Fill{}, QColor(0xff, 0x8a, 0x3c), atLeast(2.5, 0.8)));
  return d;
}

// ---- QPainter ----

QBrush Brush(const Fill& f) {
  switch (f.kind) {
    case Fill::Solid:
      return QBrush(f.colour);
    case Fill::Linear: {
      QLinearGradient g(f.a, f.b);
      for (const Stop& s : f.stops) g.setColorAt(s.at, s.colour);
      return QBrush(g);
    }
    case Fill::Radial: {
      QRadialGradient g(f.a, f.radius, f.b);
      for (const Stop& s : f.stops) g.setColorAt(s.at, s.colour);
      return QBrush(g);
    }
    case Fill::None:
      break;
  }
  return QBrush(Qt::NoBrush);
}

void Draw(QPainter& p, const Shape& s) {
  p.setBrush(Brush(s.fill));
  if (s.stroke.isValid())
    p.setPen(QPen(s.stroke, s.strokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  else
    p.setPen(Qt::NoPen);
  switch (s.kind) {
    case Shape::RoundRect:
      if (s.radius > 0)
        p.drawRoundedRect(s.rect, s.radius, s.radius);
      else
        p.drawRect(s.rect);
      break;
    case Shape::Ellipse:
      p.drawEllipse(s.rect);
      break;
    case Shape::Polyline:
      p.setBrush(Qt::NoBrush);
      p.drawPolyline(s.points.data(), static_cast<int>(s.points.size()));
      break;
  }
}

// ---- SVG ----

QString Num(double v) { return QString::number(v, 'g', 6); }
QString Hex(const QColor& c) { return c.name(QColor::HexRgb); }

QString Opacity(const char* attr, const QColor& c) {
  return c.alpha() == 255 ? QString() : QStringLiteral(" %1=\"%2\"").arg(QLatin1String(attr), Num(c.alphaF()));
}

QString Stops(const Fill& f) {
  QString out;
  for (const Stop& s : f.stops)
    out += QStringLiteral("      <stop offset=\"%1\" stop-color=\"%2\"%3/>\n")
               .arg(Num(s.at), Hex(s.colour), Opacity("stop-opacity", s.colour));
  return out;
}

}  // namespace

QImage PaintAppIcon(int pixels) {
  QImage img(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(pixels / kUnits, pixels / kUnits);
  for (const Shape& s : Design(pixels)) Draw(p, s);
  p.end();
  return img.convertToFormat(QImage::Format_ARGB32);
}

QString AppIconSvg() {
  QString defs, body;
  int gradients = 0;
  for (const Shape& s : Design(static_cast<int>(kUnits))) {
    QString fill = QStringLiteral("none");
    if (s.fill.kind == Fill::Solid) {
      fill = Hex(s.fill.colour);
    } else if (s.fill.kind != Fill::None) {
      const QString id = QStringLiteral("g%1").arg(++gradients);
      if (s.fill.kind == Fill::Linear)
        defs += QStringLiteral("    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" y1=\"%3\" "
                               "x2=\"%4\" y2=\"%5\">\n%6    </linearGradient>\n")
                    .arg(id, Num(s.fill.a.x()), Num(s.fill.a.y()), Num(s.fill.b.x()), Num(s.fill.b.y()),
                         Stops(s.fill));
      else
        defs += QStringLiteral("    <radialGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" cx=\"%2\" cy=\"%3\" "
                               "r=\"%4\" fx=\"%5\" fy=\"%6\">\n%7    </radialGradient>\n")
                    .arg(id, Num(s.fill.a.x()), Num(s.fill.a.y()), Num(s.fill.radius), Num(s.fill.b.x()),
                         Num(s.fill.b.y()), Stops(s.fill));
      fill = QStringLiteral("url(#%1)").arg(id);
    }
    QString paint = QStringLiteral(" fill=\"%1\"").arg(fill);
    if (s.fill.kind == Fill::Solid) paint += Opacity("fill-opacity", s.fill.colour);
    if (s.stroke.isValid())
      paint += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"%3")
                   .arg(Hex(s.stroke), Num(s.strokeWidth), Opacity("stroke-opacity", s.stroke));
    switch (s.kind) {
      case Shape::RoundRect:
        body += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"")
                    .arg(Num(s.rect.x()), Num(s.rect.y()), Num(s.rect.width()), Num(s.rect.height()));
        if (s.radius > 0) body += QStringLiteral(" rx=\"%1\" ry=\"%1\"").arg(Num(s.radius));
        break;
      case Shape::Ellipse:
        body += QStringLiteral("  <ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\"")
                    .arg(Num(s.rect.center().x()), Num(s.rect.center().y()), Num(s.rect.width() / 2),
                         Num(s.rect.height() / 2));
        break;
      case Shape::Polyline: {
        QStringList pts;
        for (const QPointF& q : s.points) pts << Num(q.x()) + QLatin1Char(',') + Num(q.y());
        body += QStringLiteral("  <polyline points=\"%1\"").arg(pts.join(QLatin1Char(' ')));
        break;
      }
    }
    body += paint + QStringLiteral("/>\n");
  }
  return QStringLiteral(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"256\" height=\"256\" "
             "viewBox=\"0 0 256 256\">\n"
             "  <title>ORB-720 Demo</title>\n"
             "  <defs>\n%1  </defs>\n%2</svg>\n")
      .arg(defs, body);
}

bool CheckAppIcon(const QImage& icon, int pixels, QStringList& faults) {
  const qsizetype before = faults.size();
  const QString name = QStringLiteral("application icon %1 x %1").arg(pixels);
  if (icon.size() != QSize(pixels, pixels)) faults << name + QStringLiteral(" has the wrong size");
  if (!icon.hasAlphaChannel()) faults << name + QStringLiteral(" has no alpha channel");
  if (faults.size() > before) return false;
  auto at = [&](double ux, double uy) {
    const int x = std::clamp(static_cast<int>(ux * pixels / kUnits), 0, pixels - 1);
    const int y = std::clamp(static_cast<int>(uy * pixels / kUnits), 0, pixels - 1);
    return icon.pixel(x, y);
  };
  for (const QPointF c : {QPointF(0, 0), QPointF(255, 0), QPointF(0, 255), QPointF(255, 255)})
    if (qAlpha(at(c.x(), c.y())) != 0) faults << name + QStringLiteral(" is not transparent in its corners");
  // The bumper reads as yellow, the LCD as lit, beside the case nothing.
  bool yellow = false;
  for (int x = 0; x < pixels / 3; ++x) {
    const QRgb c = icon.pixel(x, pixels / 2);
    yellow = yellow || (qAlpha(c) == 255 && qRed(c) > 150 && qGreen(c) > 100 && qBlue(c) < 60);
  }
  if (!yellow) faults << name + QStringLiteral(" has no yellow bumper at its side");
  const QRgb page = at(150, 100), beside = at(6, 128);  // page: below the band, beside the peaks
  if (qAlpha(page) < 250 || qRed(page) < 200 || qBlue(page) < 200)
    faults << name + QStringLiteral(" has no lit LCD");
  if (qAlpha(beside) != 0) faults << name + QStringLiteral(" paints beside the case");
  return faults.size() == before;
}

bool CheckAppIconSvg(const QString& svg, QStringList& faults) {
  QXmlStreamReader xml(svg);
  int elements = 0;
  bool root = false;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (elements++ == 0)
      root = xml.name() == QLatin1String("svg") &&
             xml.attributes().value(QLatin1String("viewBox")) == QLatin1String("0 0 256 256");
  }
  if (xml.hasError()) faults << QStringLiteral("icon SVG is not well-formed: ") + xml.errorString();
  if (!root) faults << QStringLiteral("icon SVG has no <svg> root with a 256 viewBox");
  if (elements < 10) faults << QStringLiteral("icon SVG draws almost nothing");
  return !xml.hasError() && root && elements >= 10;
}

}  // namespace art
