// The About window in both languages: texts, version, the contact block that
// only Russian has, the column below it, the web address and closing; and that
// opening it from the main window leaves a running device alone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <vector>

#include "about.h"
#include "device.h"
#include "mainwindow.h"
#include "strtab.h"

namespace {

class TAboutUrlCatcher : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> Urls;
 public slots:
  void Open(const QUrl& url) { Urls.push_back(url); }
};

QString U(const char* utf8) { return QString::fromUtf8(utf8); }
int Bottom(const QWidget* w) { return w->y() + w->height(); }

struct AboutTest : ::testing::Test {
  TAboutUrlCatcher catcher;
  void SetUp() override { QDesktopServices::setUrlHandler("https", &catcher, "Open"); }
  void TearDown() override {
    QDesktopServices::unsetUrlHandler("https");
    SetThreadLanguage(1033);
  }
};

// The column and the fixed gaps between its elements, in either language.
void ExpectColumn(const TFormAbout& f) {
  EXPECT_EQ(f.ImageLogo()->pos(), QPoint(16, 16));
  EXPECT_EQ(f.LabelAppCaption()->geometry().topLeft(), QPoint(112, 16));
  EXPECT_EQ(f.LabelVersion()->y(), Bottom(f.LabelAppCaption()) + 7);
  EXPECT_EQ(f.LabelCopyright()->y(), Bottom(f.LabelVersion()) + 11);
  for (const QLabel* l : {f.LabelAppCaption(), f.LabelVersion(), f.LabelCopyright()}) {
    EXPECT_EQ(l->x(), 112);
    EXPECT_EQ(l->width(), 233);
    EXPECT_TRUE(l->font().bold());
    EXPECT_TRUE(l->alignment() & Qt::AlignHCenter);
  }
  EXPECT_GE(f.LabelAppCaption()->height(), 33);
  EXPECT_EQ(f.LabelAppCaption()->font().pointSize(), 10);
  EXPECT_GE(f.LabelVersion()->height(), 13);
  EXPECT_GE(f.LabelCopyright()->height(), 33);
  EXPECT_EQ(f.PanelLine1()->geometry(),
            QRect(16, std::max(Bottom(f.LabelCopyright()), Bottom(f.ImageLogo())) + 7, 329, 2));
  EXPECT_EQ(f.LabelContacts()->y(), Bottom(f.PanelLine1()) + 12);
  EXPECT_EQ(f.LabelWebAddress()->x(), 16);
  EXPECT_EQ(f.LabelWebAddress()->width(), 329);
  EXPECT_EQ(f.PanelLine2()->geometry(), QRect(16, Bottom(f.LabelWebAddress()) + 13, 329, 2));
  EXPECT_EQ(f.Button()->geometry(), QRect(128, Bottom(f.PanelLine2()) + 20, 105, 25));
  EXPECT_EQ(f.size(), QSize(361, Bottom(f.Button()) + 16));
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
}

// Every label shows its whole text and no two visible elements overlap; with
// ORB_SCREENSHOT_DIR set the window is also saved there for a look.
void ExpectNothingClipped(TFormAbout& form, const char* shot) {
  form.show();
  QApplication::processEvents();
  std::vector<QWidget*> shown;
  for (QObject* o : form.children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->isHidden()) continue;
    shown.push_back(w);
    EXPECT_TRUE(form.rect().contains(w->geometry())) << w->metaObject()->className();
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) {
      if (l->wordWrap())
        EXPECT_GE(l->height(), l->heightForWidth(l->width())) << l->text().toStdString();
      else
        EXPECT_TRUE(QRect(QPoint(), l->size()).contains(QRect(QPoint(), l->sizeHint())))
            << l->text().toStdString();
    }
  }
  EXPECT_EQ(shown.size(), form.LabelContacts()->isHidden() ? 8u : 9u);
  for (std::size_t i = 0; i < shown.size(); ++i)
    for (std::size_t j = i + 1; j < shown.size(); ++j)
      EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
          << shown[i]->metaObject()->className() << " overlaps " << shown[j]->metaObject()->className();
  const QByteArray dir = qgetenv("ORB_SCREENSHOT_DIR");
  if (!dir.isEmpty()) form.grab().save(QString::fromLocal8Bit(dir) + "/" + shot);
}

}  // namespace

// The release is set once, as the project's version; the package test checks
// that the package metadata carries the same.
TEST_F(AboutTest, VersionIsThisRelease) {
  EXPECT_EQ(TFormAbout::VersionText(), "2.6.0.1");
  SetThreadLanguage(1033);
  TFormAbout form(nullptr);
  EXPECT_EQ(form.LabelVersion()->text(), "Version 2.6.0.1");
}

TEST_F(AboutTest, EnglishHasNoContactBlockAndTheAddressMovesUp) {
  SetThreadLanguage(1033);
  TFormAbout form(nullptr);
  EXPECT_EQ(form.windowTitle(), "About Demo");
  EXPECT_EQ(form.LabelAppCaption()->text(), "Vibration Data Collector\nORB-720 Demo");
  EXPECT_EQ(form.LabelVersion()->text(), "Version " + TFormAbout::VersionText());
  EXPECT_TRUE(form.LabelCopyright()->text().contains(U("©")));
  EXPECT_TRUE(form.LabelCopyright()->text().contains('\n'));
  EXPECT_TRUE(form.LabelContacts()->text().isEmpty());
  EXPECT_TRUE(form.LabelContacts()->isHidden());
  EXPECT_EQ(form.LabelWebAddress()->text(), "https://www.example.com/orb720");
  EXPECT_EQ(form.Button()->text(), "Close");
  // The address sits just under the legal notice, in the contact block's place.
  EXPECT_EQ(form.LabelWebAddress()->y(), form.LabelContacts()->y());
  EXPECT_LT(form.LabelWebAddress()->y() - Bottom(form.LabelCopyright()), 25);
  ASSERT_FALSE(form.ImageLogo()->pixmap().isNull()) << "logo picture not embedded";
  EXPECT_EQ(form.ImageLogo()->size(), form.ImageLogo()->pixmap().size());
  EXPECT_TRUE(form.ImageLogo()->pixmap().hasAlphaChannel());
  ExpectColumn(form);
  ExpectNothingClipped(form, "about_en.png");
}

// Each of the two lines of the English notice fits the column unbroken, so the
// label holds exactly two lines, as high as any two-line text.
TEST_F(AboutTest, EnglishLegalNoticeIsLaidOutInTwoLines) {
  SetThreadLanguage(1033);
  TFormAbout form(nullptr);
  const QLabel* l = form.LabelCopyright();
  const QStringList lines = l->text().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2) << l->text().toStdString();
  const QFontMetrics fm(l->font());
  for (const QString& line : lines) EXPECT_LE(fm.horizontalAdvance(line), l->width()) << line.toStdString();
  const int twoLines = fm.boundingRect(QRect(0, 0, l->width(), 1000), Qt::TextWordWrap, "A\nB").height();
  EXPECT_EQ(l->heightForWidth(l->width()), twoLines);
  EXPECT_EQ(l->height(), std::max(33, twoLines));  // the designed height, as laid out
}

TEST_F(AboutTest, RussianShowsTheContactBlockSizedToItsText) {
  SetThreadLanguage(1049);
  TFormAbout form(nullptr);
  EXPECT_EQ(form.windowTitle(), U("О программе"));
  EXPECT_EQ(form.LabelAppCaption()->text(), U("Имитатор прибора ORB-720"));
  EXPECT_EQ(form.LabelVersion()->text(), U("Версия ") + TFormAbout::VersionText());
  EXPECT_TRUE(form.LabelCopyright()->text().contains(U("«Пример Приборы»")));
  EXPECT_EQ(form.Button()->text(), U("Закрыть"));
  QLabel* contacts = form.LabelContacts();
  EXPECT_FALSE(contacts->isHidden());
  EXPECT_TRUE(contacts->text().contains("E-mail: info@example.com"));
  EXPECT_EQ(contacts->text().count('\n'), 3);
  EXPECT_EQ(contacts->geometry().topLeft(), QPoint(16, Bottom(form.PanelLine1()) + 12));
  EXPECT_EQ(contacts->width(), 329);
  EXPECT_EQ(contacts->height(), contacts->heightForWidth(329));
  EXPECT_GE(contacts->height(), 4 * contacts->fontMetrics().height());
  EXPECT_EQ(form.LabelWebAddress()->y(), Bottom(contacts) + 1);
  ExpectColumn(form);
  ExpectNothingClipped(form, "about_ru.png");

  // The Russian window is taller by the contact block than the English one.
  SetThreadLanguage(1033);
  TFormAbout english(nullptr);
  EXPECT_EQ(form.height() - english.height(),
            contacts->height() + 1 + (Bottom(form.LabelCopyright()) - Bottom(english.LabelCopyright())));
}

TEST_F(AboutTest, AnyMouseButtonOnTheAddressOpensIt) {
  TFormAbout form(nullptr);
  form.show();
  TLinkLabel* web = form.LabelWebAddress();
  EXPECT_EQ(web->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(web->font().bold());
  EXPECT_GT(web->palette().color(QPalette::WindowText).blue(), 150);
  QTest::mousePress(web, Qt::LeftButton);
  QTest::mouseRelease(web, Qt::LeftButton);
  QTest::mousePress(web, Qt::RightButton);
  QTest::mouseRelease(web, Qt::RightButton);
  ASSERT_EQ(catcher.Urls.size(), 2u);
  for (const QUrl& u : catcher.Urls) EXPECT_EQ(u, QUrl("https://www.example.com/orb720"));
  // It opens the label's current text.
  web->setText("https://www.example.org/other");
  QTest::mousePress(web, Qt::MiddleButton);
  ASSERT_EQ(catcher.Urls.size(), 3u);
  EXPECT_EQ(catcher.Urls[2], QUrl("https://www.example.org/other"));
}

TEST_F(AboutTest, CloseButtonAndEscapeCloseTheDialog) {
  {
    TFormAbout form(nullptr);
    QTimer::singleShot(0, &form, [&form] { form.Button()->click(); });
    form.exec();
    EXPECT_FALSE(form.isVisible());
  }
  {
    TFormAbout form(nullptr);
    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
    form.exec();
    EXPECT_FALSE(form.isVisible());
  }
}

TEST(AboutFromMainWindow, IsModalAndLeavesTheDeviceOn) {
  QTemporaryDir dir;
  TFormORB720DemoMain::Options o;
  o.iniPath = (dir.path() + "/ORB720Demo.INI").toStdString();
  auto form = std::make_unique<TFormORB720DemoMain>(o);
  form->show();
  form->Device()->PostKey(0x2002);
  QTest::qWait(100);
  ASSERT_TRUE(form->Device()->IsOn());
  QPointer<TFormAbout> shown;
  bool ownedByMain = false, timerActiveWhileOpen = false;
  QTimer::singleShot(150, [&] {
    shown = dynamic_cast<TFormAbout*>(QApplication::activeModalWidget());
    ownedByMain = shown && shown->parentWidget() == form.get();
    timerActiveWhileOpen = form->Device()->PowerOffTimer().isActive();
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  form->ToolButtonAboutClick();
  EXPECT_TRUE(ownedByMain);
  EXPECT_TRUE(timerActiveWhileOpen);
  EXPECT_TRUE(shown.isNull()) << "the window is destroyed after it closes";
  EXPECT_TRUE(form->Device()->IsOn());
  EXPECT_TRUE(form->Device()->PowerOffTimer().isActive());
  form.reset();
  SetThreadLanguage(1033);
}

#include "test_about.moc"
