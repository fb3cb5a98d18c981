#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QToolButton>
#include <memory>
#include <set>
#include <vector>

#include "about.h"
#include "device.h"
#include "overview.h"
#include "mainwindow.h"
#include "state.h"
#include "tracelog.h"

namespace {
struct WindowFixture : ::testing::Test {
  QTemporaryDir dir;
  std::unique_ptr<TFormORB720DemoMain> form;
  std::vector<std::uint16_t> codes;

  void SetUp() override {
    TraceLog().Clear();
    TFormORB720DemoMain::Options o;
    o.iniPath = (dir.path() + "/ORB720Demo.INI").toStdString();
    form = std::make_unique<TFormORB720DemoMain>(o);
    // Record every code the buttons produce, and still deliver it.
    TDevice* dev = form->Device();
    form->Device()->Buttons().KeyHandler = [this, dev](std::uint16_t c) {
      codes.push_back(c);
      dev->PostKey(c);
    };
    form->show();
  }
  void TearDown() override { form.reset(); }

  // Instrument-picture coordinates to a press on the picture.
  void Press(int x, int y, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mousePress(form->ImageDevice(), b, Qt::NoModifier, QPoint(x, y));
  }
  void Release(int x, int y, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseRelease(form->ImageDevice(), b, Qt::NoModifier, QPoint(x, y));
  }
};
}  // namespace

TEST_F(WindowFixture, GeometryAndStacking) {
  EXPECT_EQ(form->size(), QSize(473, 553));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  EXPECT_EQ(form->ImageDevice()->geometry(), QRect(124, 80, 227, 448));
  EXPECT_EQ(form->ImageDeviceScreen()->geometry(), QRect(174, 145, 128, 160));
  EXPECT_EQ(form->ButtonPicture(0)->geometry(), QRect(250, 412, 48, 56));
  EXPECT_EQ(form->ButtonPicture(1)->geometry(), QRect(178, 332, 48, 56));
  EXPECT_EQ(form->ButtonPicture(2)->geometry(), QRect(178, 412, 48, 56));
  EXPECT_EQ(form->ButtonPicture(3)->geometry(), QRect(251, 332, 48, 56));
  EXPECT_EQ(form->ComboBoxLanguage()->geometry().size(), QSize(89, 21));
  // Bottom to top: LCD, instrument, buttons 2, 4, 3, 1.
  const QObjectList& kids = form->children();
  auto pos = [&](QObject* o) { return kids.indexOf(o); };
  EXPECT_LT(pos(form->ImageDeviceScreen()), pos(form->ImageDevice()));
  EXPECT_LT(pos(form->ImageDevice()), pos(form->ButtonPicture(1)));
  EXPECT_LT(pos(form->ButtonPicture(1)), pos(form->ButtonPicture(3)));
  EXPECT_LT(pos(form->ButtonPicture(3)), pos(form->ButtonPicture(2)));
  EXPECT_LT(pos(form->ButtonPicture(2)), pos(form->ButtonPicture(0)));
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(form->ButtonPicture(i)->isVisible());
  EXPECT_EQ(TraceLog().Lines().front(), "TForm()");
}

TEST_F(WindowFixture, HitRectanglesAreInclusive) {
  EXPECT_EQ(TFormORB720DemoMain::HitButton(54, 252), 1);
  EXPECT_EQ(TFormORB720DemoMain::HitButton(102, 252), -1);
  EXPECT_EQ(TFormORB720DemoMain::HitButton(126, 387), 0);
  EXPECT_EQ(TFormORB720DemoMain::HitButton(126, 388), -1);
  EXPECT_EQ(TFormORB720DemoMain::HitButton(174, 307), 3);
  EXPECT_EQ(TFormORB720DemoMain::HitButton(101, 387), 2);
  EXPECT_TRUE(TFormORB720DemoMain::HitLcd(50, 65));
  EXPECT_TRUE(TFormORB720DemoMain::HitLcd(177, 224));
  EXPECT_FALSE(TFormORB720DemoMain::HitLcd(178, 224));
}

TEST_F(WindowFixture, ShortPressShowsPictureAndPostsOnRelease) {
  Press(54, 252);
  EXPECT_TRUE(form->ButtonPicture(1)->isVisible());
  EXPECT_TRUE(codes.empty());
  Release(54, 252);
  EXPECT_FALSE(form->ButtonPicture(1)->isVisible());
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0], 0x1002);
  Press(102, 252);  // between the buttons
  Release(102, 252);
  EXPECT_EQ(codes.size(), 1u);
}

TEST_F(WindowFixture, OnlyTheLeftButtonActs) {
  Press(126, 387, Qt::RightButton);
  Release(126, 387, Qt::RightButton);
  Press(126, 387, Qt::MiddleButton);
  Release(126, 387, Qt::MiddleButton);
  EXPECT_TRUE(codes.empty());
  EXPECT_FALSE(form->ButtonPicture(0)->isVisible());
  // A right release does not end a held left press.
  Press(126, 387);
  Release(126, 387, Qt::RightButton);
  EXPECT_TRUE(form->ButtonPicture(0)->isVisible());
  EXPECT_TRUE(codes.empty());
  Release(126, 387);
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0], 0x1001);
}

TEST_F(WindowFixture, DraggingOffThePictureStillReleasesTheButton) {
  Press(60, 340);  // button 3
  QTest::mouseMove(form->ImageDevice(), QPoint(-60, 600));
  Release(-60, 600);
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0], 0x1003);
  EXPECT_FALSE(form->ButtonPicture(2)->isVisible());
}

TEST_F(WindowFixture, LosingActivationEndsAHeldButton) {
  Press(130, 340);  // button 1
  EXPECT_TRUE(form->Device()->Buttons().RepeatTimer().isActive());
  QEvent deactivate(QEvent::WindowDeactivate);
  QCoreApplication::sendEvent(form.get(), &deactivate);
  EXPECT_FALSE(form->Device()->Buttons().RepeatTimer().isActive());
  EXPECT_FALSE(form->ButtonPicture(0)->isVisible());
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0], 0x1001);
  QTest::qWait(1300);  // past the first repeat: nothing more
  EXPECT_EQ(codes.size(), 1u);
  // The late release of the mouse does nothing more.
  Release(130, 340);
  EXPECT_EQ(codes.size(), 1u);
}

TEST_F(WindowFixture, LcdPressCopiesPictureAndSendsNoKey) {
  QGuiApplication::clipboard()->clear();
  Press(60, 100);
  Release(60, 100);
  EXPECT_TRUE(codes.empty());
  const QImage img = QGuiApplication::clipboard()->image();
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(img.size(), QSize(128, 160));
  EXPECT_EQ(img.pixel(5, 5) & 0xFFFFFF, 0x4E4E4Eu);  // the switched-off grey
}

TEST_F(WindowFixture, HandCursorOverButtonsOnly) {
  form->ImageDeviceMouseMove(60, 260);
  EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor);
  form->ImageDeviceMouseMove(10, 10);
  EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(WindowFixture, ExitSavesAndStopsWhileOn) {
  form->Device()->PostKey(0x2002);
  QTest::qWait(100);
  ASSERT_TRUE(form->Device()->IsOn());
  form->ToolButtonExit()->click();
  EXPECT_EQ(form->Device(), nullptr);
  EXPECT_FALSE(form->isVisible());
  QFile f(QString::fromStdString(form->IniPath()));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromLatin1(f.readAll());
  EXPECT_TRUE(text.contains("[DeviceState]"));
  EXPECT_TRUE(text.contains("HighFrequency=5"));
  EXPECT_TRUE(text.contains("[Language]"));
  const auto lines = TraceLog().Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "FormClose()"), lines.end());
}

TEST_F(WindowFixture, LanguageListDrivesCaptionsAndDevice) {
  QComboBox* cb = form->ComboBoxLanguage();
  ASSERT_EQ(cb->count(), 3);
  EXPECT_EQ(cb->itemText(0), "ENG (SI)");
  EXPECT_EQ(cb->itemText(1), "ENG (US)");
  EXPECT_EQ(cb->itemText(2), "RUS");
  cb->setCurrentIndex(2);
  EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Имитатор прибора ORB-720"));
  EXPECT_EQ(form->ToolButtonExit()->text(), QString::fromUtf8("Выход"));
  EXPECT_EQ(form->Device()->LanguageValue(), 1049u);
  EXPECT_EQ(InitDeviceInfo.LanguageName, "RUS");
  cb->setCurrentIndex(1);
  EXPECT_EQ(form->windowTitle(), "ORB-720 Demo");
  EXPECT_EQ(form->Device()->LanguageValue(), 66569u);
}

// Qt appends an explicitly set display name to every native caption, so the
// message boxes keep their title elsewhere. The native captions themselves are
// read back with xprop in tests/e2e/captions_and_language.sh.
TEST_F(WindowFixture, MessageBoxTitleFollowsTheLanguageWithoutTouchingCaptions) {
  QComboBox* cb = form->ComboBoxLanguage();
  cb->setCurrentIndex(2);
  EXPECT_EQ(ApplicationTitle(), QString::fromUtf8("Имитатор прибора ORB-720"));
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
  cb->setCurrentIndex(0);
  EXPECT_EQ(ApplicationTitle(), "ORB-720 Demo");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

TEST_F(WindowFixture, WheelOverTheClosedListChangesNothing) {
  QComboBox* cb = form->ComboBoxLanguage();
  ASSERT_EQ(cb->currentIndex(), 0);
  const std::string name = InitDeviceInfo.LanguageName;
  const QPointF at(cb->width() / 2.0, cb->height() / 2.0);
  for (int delta : {-120, -120, 120, -360, 240}) {
    QWheelEvent wheel(at, cb->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(cb, &wheel);
  }
  EXPECT_EQ(cb->currentIndex(), 0);
  EXPECT_EQ(InitDeviceInfo.LanguageName, name);
  EXPECT_EQ(form->Device()->LanguageValue(), 1033u);  // ENG (US) would carry the units flag
  EXPECT_EQ(form->windowTitle(), "ORB-720 Demo");
}

TEST_F(WindowFixture, WindowAndDialogsCarryTheApplicationIcon) {
  const QIcon icon = form->windowIcon();
  const QList<QSize> sizes = icon.availableSizes();
  for (int n : {16, 22, 24, 32, 48, 64, 128}) EXPECT_TRUE(sizes.contains(QSize(n, n))) << n;
  // The largest stays in the icon theme: sending it cost the start 5 ms.
  EXPECT_FALSE(sizes.contains(QSize(256, 256)));
  const TFormAbout about(form.get());
  const TFormOverview overview(form.get());
  EXPECT_EQ(about.windowIcon().cacheKey(), icon.cacheKey());
  EXPECT_EQ(overview.windowIcon().cacheKey(), icon.cacheKey());
}

// A screen of 1.5 device pixels a pixel would repeat every other LCD pixel
// once more than the rest and break glyphs apart: there the LCD is smoothed,
// and at whole ratios its pixels are repeated exactly.
TEST(LcdView, SmoothedOnlyAtAFractionalPixelRatio) {
  TLcdView view(nullptr);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) view.Image.setPixel(x, y, x % 2 ? 0xFFFFFF : 0x000000);
  auto shown = [&view](qreal ratio) {
    QImage out(QSize(128, 160) * ratio, QImage::Format_RGB32);
    out.setDevicePixelRatio(ratio);
    out.fill(Qt::red);
    view.render(&out);
    std::set<QRgb> colours;
    for (int x = 0; x < out.width(); ++x) colours.insert(out.pixel(x, 40) & 0xFFFFFF);
    return colours;
  };
  EXPECT_EQ(shown(1), (std::set<QRgb>{0x000000, 0xFFFFFF}));
  EXPECT_EQ(shown(2), (std::set<QRgb>{0x000000, 0xFFFFFF}));
  EXPECT_GT(shown(1.5).size(), 2u);  // blended, not some columns doubled
}
