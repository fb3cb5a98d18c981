// The committed window artwork against the window's geometry: the keyed
// transparency of the instrument and the pressed caps, and the icons.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QString>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "pictures.h"

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kRed = 0xFFFF0000u;
const QRect kOpening(50, 65, 128, 160);  // LCD at window (174,145) - device at (124,80)

struct HitRect {
  int number;
  QRect rect;  // device picture coordinates, both ends inclusive
};
const HitRect kHits[4] = {{1, QRect(QPoint(126, 332), QPoint(173, 387))},
                          {2, QRect(QPoint(54, 252), QPoint(101, 307))},
                          {3, QRect(QPoint(54, 332), QPoint(101, 387))},
                          {4, QRect(QPoint(127, 252), QPoint(174, 307))}};

QString Pic(const QString& name) {
  return QStringLiteral(ORB_SOURCE_DIR "/resources/pictures/") + name;
}

QImage Load(const QString& name) {
  QImage img(Pic(name));
  EXPECT_FALSE(img.isNull()) << name.toStdString() << " missing";
  return img;
}

QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000u; }
double Luma(QRgb c) { return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c); }

struct Disc {
  double cx = 0, cy = 0;  // centroid, picture coordinates (pixel centres)
  int count = 0;
};

Disc NonRed(const QImage& b) {
  Disc d;
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x)
      if (At(b, x, y) != kRed) d.cx += x + 0.5, d.cy += y + 0.5, ++d.count;
  if (d.count) d.cx /= d.count, d.cy /= d.count;
  return d;
}

TEST(Artwork, PicturesHaveTheWindowSizesAndKeyedOnesNoAlpha) {
  const QImage device = Load(QStringLiteral("device.png"));
  EXPECT_EQ(device.size(), QSize(227, 448));
  EXPECT_FALSE(device.hasAlphaChannel());
  for (int n = 1; n <= 4; ++n) {
    const QImage b = Load(QStringLiteral("button%1.png").arg(n));
    EXPECT_EQ(b.size(), QSize(48, 56)) << "button " << n;
    EXPECT_FALSE(b.hasAlphaChannel()) << "button " << n;
    // The picture covers exactly the hit rectangle.
    EXPECT_EQ(b.size(), kHits[n - 1].rect.size()) << "button " << n;
  }
  for (const char* icon : {"icon_overview.png", "icon_about.png", "icon_exit.png"}) {
    const QImage i = Load(QString::fromLatin1(icon));
    EXPECT_EQ(i.size(), QSize(32, 32)) << icon;
  }
}

TEST(Artwork, DeviceOpeningIsExactlyWhiteAndSealed) {
  const QImage d = Load(QStringLiteral("device.png"));
  ASSERT_EQ(d.size(), QSize(227, 448));
  int notWhite = 0;
  for (int y = kOpening.top(); y <= kOpening.bottom(); ++y)
    for (int x = kOpening.left(); x <= kOpening.right(); ++x) notWhite += At(d, x, y) != kWhite;
  EXPECT_EQ(notWhite, 0);
  // One pixel around the opening belongs to the bezel, so the LCD shows through
  // exactly 128 x 160 pixels and no more.
  const QRect ring = kOpening.adjusted(-1, -1, 1, 1);
  int whiteOnRing = 0;
  for (int x = ring.left(); x <= ring.right(); ++x)
    whiteOnRing += (At(d, x, ring.top()) == kWhite) + (At(d, x, ring.bottom()) == kWhite);
  for (int y = ring.top(); y <= ring.bottom(); ++y)
    whiteOnRing += (At(d, ring.left(), y) == kWhite) + (At(d, ring.right(), y) == kWhite);
  EXPECT_EQ(whiteOnRing, 0);
}

TEST(Artwork, DeviceHasNoWhiteHolesAndIsTransparentAroundTheCase) {
  const QImage d = Load(QStringLiteral("device.png"));
  ASSERT_EQ(d.size(), QSize(227, 448));
  const int w = d.width(), h = d.height();
  for (QPoint c : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
    EXPECT_EQ(At(d, c.x(), c.y()), kWhite) << "corner " << c.x() << "," << c.y();

  // White reachable from the edge is the window showing around the case.
  std::vector<char> outside(static_cast<std::size_t>(w * h), 0);
  std::vector<QPoint> todo;
  auto visit = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    char& s = outside[static_cast<std::size_t>(y * w + x)];
    if (s || At(d, x, y) != kWhite) return;
    s = 1;
    todo.emplace_back(x, y);
  };
  for (int x = 0; x < w; ++x) visit(x, 0), visit(x, h - 1);
  for (int y = 0; y < h; ++y) visit(0, y), visit(w - 1, y);
  while (!todo.empty()) {
    const QPoint q = todo.back();
    todo.pop_back();
    visit(q.x() + 1, q.y()), visit(q.x() - 1, q.y()), visit(q.x(), q.y() + 1), visit(q.x(), q.y() - 1);
  }
  int holes = 0, outsideInCase = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool out = outside[static_cast<std::size_t>(y * w + x)] != 0;
      if (!out && !kOpening.contains(x, y) && At(d, x, y) == kWhite) ++holes;
      // The display and the keypad lie well inside the silhouette.
      if (out && (kOpening.adjusted(-8, -8, 8, 8).contains(x, y) ||
                  QRect(QPoint(54, 252), QPoint(174, 387)).contains(x, y)))
        ++outsideInCase;
    }
  EXPECT_EQ(holes, 0);
  EXPECT_EQ(outsideInCase, 0);
}

TEST(Artwork, KeyedCompositeShowsTheLcdOnlyInTheOpening) {
  // Compose as the window does: face, LCD at (174,145), device keyed on white.
  const QImage d = Load(QStringLiteral("device.png"));
  ASSERT_EQ(d.size(), QSize(227, 448));
  const QRgb face = 0xFFEFEFEFu, lcd = 0xFF4E4E4Eu;
  QImage win(473, 553, QImage::Format_RGB32);
  win.fill(face);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) win.setPixel(174 + x, 145 + y, lcd);
  for (int y = 0; y < d.height(); ++y)
    for (int x = 0; x < d.width(); ++x)
      if (At(d, x, y) != kWhite) win.setPixel(124 + x, 80 + y, At(d, x, y));
  int lcdShown = 0;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) lcdShown += At(win, 174 + x, 145 + y) == lcd;
  EXPECT_EQ(lcdShown, 128 * 160);
  // No face colour inside the case's middle: the window does not show through.
  int faceInCase = 0;
  for (int y = 80 + 40; y < 80 + 430; ++y) faceInCase += At(win, 124 + 113, y) == face;
  EXPECT_EQ(faceInCase, 0);
}

TEST(Artwork, PressedCapsAreSolidDiscsInsideARedFrame) {
  for (const HitRect& hit : kHits) {
    SCOPED_TRACE(hit.number);
    const QImage b = Load(QStringLiteral("button%1.png").arg(hit.number));
    ASSERT_EQ(b.size(), QSize(48, 56));
    int border = 0;
    for (int x = 0; x < b.width(); ++x) border += (At(b, x, 0) != kRed) + (At(b, x, b.height() - 1) != kRed);
    for (int y = 0; y < b.height(); ++y) border += (At(b, 0, y) != kRed) + (At(b, b.width() - 1, y) != kRed);
    EXPECT_EQ(border, 0) << "the overlay must not paint the picture's edge";

    const Disc disc = NonRed(b);
    ASSERT_GT(disc.count, 0);
    const double r = std::sqrt(disc.count / std::numbers::pi);
    EXPECT_GT(r, 14.0);
    EXPECT_LT(r, 24.0);
    // No red speck inside the cap and nothing painted beyond it.
    int redInside = 0, paintedOutside = 0;
    for (int y = 0; y < b.height(); ++y)
      for (int x = 0; x < b.width(); ++x) {
        const double dist = std::hypot(x + 0.5 - disc.cx, y + 0.5 - disc.cy);
        if (dist < r - 1.0 && At(b, x, y) == kRed) ++redInside;
        if (dist > r + 1.5 && At(b, x, y) != kRed) ++paintedOutside;
      }
    EXPECT_EQ(redInside, 0);
    EXPECT_EQ(paintedOutside, 0);
    // The cap is centred in its hit rectangle (within two pixels).
    EXPECT_NEAR(disc.cx, b.width() / 2.0, 2.0);
    EXPECT_NEAR(disc.cy, b.height() / 2.0, 2.0);
  }
}

TEST(Artwork, PressedCapsCoverTheDrawnButtonsAndLookPressed) {
  const QImage d = Load(QStringLiteral("device.png"));
  ASSERT_EQ(d.size(), QSize(227, 448));
  for (const HitRect& hit : kHits) {
    SCOPED_TRACE(hit.number);
    const QImage b = Load(QStringLiteral("button%1.png").arg(hit.number));
    ASSERT_EQ(b.size(), QSize(48, 56));
    const Disc disc = NonRed(b);
    ASSERT_GT(disc.count, 0);
    const double r = std::sqrt(disc.count / std::numbers::pi);
    const double cx = disc.cx + hit.rect.x(), cy = disc.cy + hit.rect.y();
    EXPECT_TRUE(hit.rect.contains(static_cast<int>(cx), static_cast<int>(cy)));

    // Inside the overlay the drawn cap is lighter than the pressed one ...
    double up = 0, down = 0;
    for (int y = 0; y < b.height(); ++y)
      for (int x = 0; x < b.width(); ++x)
        if (At(b, x, y) != kRed) {
          down += Luma(At(b, x, y));
          up += Luma(At(d, hit.rect.x() + x, hit.rect.y() + y));
        }
    EXPECT_LT(down, up * 0.9) << "pressed cap is not darker";
    // ... and just outside it, on every side, lies the dark well: an overlay
    // that is off-centre or too small would leave part of the raised cap
    // showing there.
    // The drawn cap is the lit disc inside the dark well; the overlay must sit
    // on its centre. Its shading leans to the upper left, hence the tolerance.
    const QPointF mid = QRectF(hit.rect).center();
    double sx = 0, sy = 0;
    int lit = 0;
    for (int y = hit.rect.top(); y <= hit.rect.bottom(); ++y)
      for (int x = hit.rect.left(); x <= hit.rect.right(); ++x)
        if (std::hypot(x + 0.5 - mid.x(), y + 0.5 - mid.y()) <= 21.0 && Luma(At(d, x, y)) > 45.0)
          sx += x + 0.5, sy += y + 0.5, ++lit;
    ASSERT_GT(lit, 0);
    EXPECT_NEAR(sx / lit, cx, 1.0);
    EXPECT_NEAR(sy / lit, cy, 1.0);
    const double capLuma = up / disc.count;
    for (int q = 0; q < 4; ++q) {
      double sum = 0;
      int n = 0;
      for (int a = q * 90 + 10; a < q * 90 + 80; a += 5)
        for (double rr = r + 1.5; rr < r + 3.0; rr += 0.5) {
          const double t = a * std::numbers::pi / 180.0;
          sum += Luma(At(d, static_cast<int>(cx + rr * std::cos(t)), static_cast<int>(cy + rr * std::sin(t))));
          ++n;
        }
      EXPECT_LT(sum / n, capLuma * 0.8) << "quadrant " << q;
    }
  }
}

TEST(Artwork, IconsAreTransparentAroundAVisibleSymbol) {
  for (const char* name : {"icon_overview.png", "icon_about.png", "icon_exit.png"}) {
    SCOPED_TRACE(name);
    const QImage i = Load(QString::fromLatin1(name)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(i.size(), QSize(32, 32));
    EXPECT_TRUE(i.hasAlphaChannel());
    EXPECT_EQ(qAlpha(i.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(i.pixel(31, 0)), 0);
    int opaque = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) opaque += qAlpha(i.pixel(x, y)) == 255;
    EXPECT_GT(opaque, 32 * 32 / 4);
  }
}

// The theme icons the install puts in place: every size drawn, at its size,
// with a transparent surround, and the scalable one beside them.
TEST(Artwork, ApplicationIconAtEveryThemeSize) {
  const QString theme = QStringLiteral(ORB_SOURCE_DIR "/resources/icons/hicolor/");
  for (int n : {16, 22, 24, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(n);
    const QImage i(theme + QStringLiteral("%1x%1/apps/com.example.orb720demo.png").arg(n));
    ASSERT_EQ(i.size(), QSize(n, n));
    EXPECT_TRUE(i.hasAlphaChannel());
    EXPECT_EQ(qAlpha(i.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(i.pixel(n - 1, n - 1)), 0);
    EXPECT_EQ(qAlpha(i.pixel(n / 2, n / 2)), 255);
  }
  QFile svg(theme + QStringLiteral("scalable/apps/com.example.orb720demo.svg"));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  EXPECT_TRUE(svg.readAll().contains("viewBox=\"0 0 256 256\""));
}

// What the window draws comes from a build step, not from Qt's reader at
// start: every linked-in picture must be the committed file as Qt reads it,
// premultiplied, with the instrument's and the caps' key colour cleared.
TEST(Artwork, LinkedPicturesAreTheFilesAsQtReadsThem) {
  ASSERT_GE(kEmbeddedPictureCount, 9u + 7u);
  for (std::size_t i = 0; i < kEmbeddedPictureCount; ++i) {
    const QString name = QString::fromLatin1(kEmbeddedPictures[i]->name);
    SCOPED_TRACE(name.toStdString());
    QString file = Pic(name + QStringLiteral(".png"));
    if (name.startsWith(QStringLiteral("appicon_"))) {
      const QString n = name.mid(8);
      file = QStringLiteral(ORB_SOURCE_DIR "/resources/icons/hicolor/%1x%1/apps/com.example.orb720demo.png").arg(n);
    }
    QImage want = QImage(file).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(want.isNull());
    const QRgb key = name == QStringLiteral("device") ? kWhite : name.startsWith(QStringLiteral("button")) ? kRed : 0;
    int cleared = 0;
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x)
        if (key && (want.pixel(x, y) | 0xFF000000u) == key) {
          want.setPixel(x, y, 0);
          ++cleared;
        }
    if (key) {
      EXPECT_GT(cleared, 0);
    }
    const QImage got = Picture(kEmbeddedPictures[i]->name);
    ASSERT_EQ(got.size(), want.size());
    ASSERT_EQ(got.format(), QImage::Format_ARGB32_Premultiplied);
    int differ = 0;
    for (int y = 0; y < want.height(); ++y)
      differ += std::memcmp(got.constScanLine(y), want.constScanLine(y), static_cast<std::size_t>(want.width()) * 4) != 0;
    EXPECT_EQ(differ, 0) << "rows that differ";
  }
  EXPECT_TRUE(Picture("no such picture").isNull());
}

}  // namespace
