// The Overview window in both languages: texts, the boxes that hide or lose
// their caption, the column layout, the link and closing; and that opening it
// from the main window leaves a running device alone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <vector>

#include "device.h"
#include "mainwindow.h"
#include "overview.h"
#include "strtab.h"

namespace {

class TUrlCatcher : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> Urls;
 public slots:
  void Open(const QUrl& url) { Urls.push_back(url); }
};

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QString Stored(std::uint16_t lang, unsigned id) {
  const std::u16string s = LoadStringTableUtf16(lang, id);
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

// The text a box label shows, whether it was set plain or with list markup.
QString Shown(const QLabel* l) {
  if (l->textFormat() != Qt::RichText) return l->text();
  QTextDocument doc;
  doc.setHtml(l->text());
  QString plain = doc.toPlainText();  // the blank line's no-break space reads as a space
  return plain.replace(QStringLiteral("\n \n"), QStringLiteral("\n\n"));
}

int Bottom(const QWidget* w) { return w->y() + w->height(); }

struct OverviewTest : ::testing::Test {
  TUrlCatcher catcher;
  void SetUp() override { QDesktopServices::setUrlHandler("https", &catcher, "Open"); }
  void TearDown() override {
    QDesktopServices::unsetUrlHandler("https");
    SetThreadLanguage(1033);
  }
};

// Every label shows its whole text and no two visible elements overlap; with
// ORB_SCREENSHOT_DIR set the window is also saved there for a look.
void ExpectNothingClipped(TFormOverview& form, const char* shot) {
  form.show();
  QApplication::processEvents();
  std::vector<QWidget*> column;
  for (int n = 1; n <= 3; ++n) {
    QGroupBox* box = form.GroupBox(n);
    if (box->isHidden()) continue;
    column.push_back(box);
    QLabel* l = form.Label(n);
    EXPECT_TRUE(box->contentsRect().contains(l->geometry())) << "box " << n;
    EXPECT_GE(l->height(), l->heightForWidth(l->width())) << "label " << n;
  }
  column.push_back(form.LabelMore());
  column.push_back(form.Button());
  EXPECT_LE(form.LabelMore()->sizeHint().width(), form.LabelMore()->width());
  EXPECT_LE(form.Button()->sizeHint().width(), form.Button()->width());
  for (std::size_t i = 0; i < column.size(); ++i) {
    EXPECT_TRUE(form.rect().contains(column[i]->geometry())) << i;
    for (std::size_t j = i + 1; j < column.size(); ++j)
      EXPECT_FALSE(column[i]->geometry().intersects(column[j]->geometry())) << i << " overlaps " << j;
  }
  const QByteArray dir = qgetenv("ORB_SCREENSHOT_DIR");
  if (!dir.isEmpty()) form.grab().save(QString::fromLocal8Bit(dir) + "/" + shot);
}

}  // namespace

TEST_F(OverviewTest, EnglishShowsThreeUncaptionedBoxesInAColumn) {
  SetThreadLanguage(1033);
  TFormOverview form(nullptr);
  EXPECT_EQ(form.windowTitle(), "ORB-720 Demo");
  EXPECT_EQ(form.LabelMore()->text(), "more...");
  EXPECT_EQ(form.Button()->text(), "Close");
  int top = 16;
  for (int n = 1; n <= 3; ++n) {
    QGroupBox* box = form.GroupBox(n);
    QLabel* label = form.Label(n);
    SCOPED_TRACE(n);
    EXPECT_FALSE(box->isHidden());
    EXPECT_TRUE(box->title().isEmpty());
    EXPECT_EQ(Shown(label), Stored(1033, static_cast<unsigned>(499 + 2 * n)));
    EXPECT_FALSE(Shown(label).isEmpty());
    EXPECT_EQ(label->font().pointSize(), 10);
    EXPECT_FALSE(label->font().bold());
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(label->geometry().topLeft(), QPoint(16, 24));
    EXPECT_EQ(label->width(), 513);
    EXPECT_EQ(label->height(), label->heightForWidth(513));
    EXPECT_EQ(box->geometry(), QRect(16, top, 545, label->height() + 40));
    top = Bottom(box) + 15;
  }
  // The description and the specifications run to several lines.
  EXPECT_GT(form.Label(2)->height(), 4 * form.Label(1)->fontMetrics().height());
  EXPECT_GT(form.Label(3)->height(), 10 * form.Label(3)->fontMetrics().height());
  EXPECT_TRUE(Shown(form.Label(3)).startsWith(U("• ")));
  // Only the bulleted texts carry list markup.
  EXPECT_EQ(form.Label(1)->textFormat(), Qt::PlainText);
  EXPECT_EQ(form.Label(2)->textFormat(), Qt::RichText);
  EXPECT_EQ(form.LabelMore()->geometry(), QRect(16, top, 545, 16));
  EXPECT_EQ(form.Button()->geometry(), QRect(236, top + 16 + 24, 105, 25));
  EXPECT_EQ(form.size(), QSize(577, Bottom(form.Button()) + 16));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  ExpectNothingClipped(form, "overview_en.png");
}

TEST_F(OverviewTest, RussianHidesTheThirdBoxAndCaptionsTheSecond) {
  SetThreadLanguage(1049);
  TFormOverview form(nullptr);
  EXPECT_EQ(form.windowTitle(), U("Виброколлектор ORB-720"));
  EXPECT_EQ(form.Button()->text(), U("Закрыть"));
  EXPECT_EQ(form.LabelMore()->text(), U("подробнее..."));
  EXPECT_TRUE(form.GroupBox(1)->title().isEmpty());
  EXPECT_EQ(form.GroupBox(2)->title(), U("Описание"));
  EXPECT_TRUE(form.GroupBox(2)->font().bold());
  EXPECT_EQ(form.GroupBox(2)->font().pointSize(), 10);
  EXPECT_EQ(Shown(form.Label(1)), Stored(1049, 501));
  EXPECT_EQ(Shown(form.Label(2)), Stored(1049, 503));
  EXPECT_FALSE(form.GroupBox(1)->isHidden());
  EXPECT_FALSE(form.GroupBox(2)->isHidden());
  EXPECT_TRUE(form.GroupBox(3)->isHidden());
  EXPECT_TRUE(Shown(form.Label(3)).isEmpty());
  EXPECT_EQ(form.GroupBox(2)->y(), Bottom(form.GroupBox(1)) + 15);
  // "more..." directly under the second box; the hidden one takes no room.
  EXPECT_EQ(form.LabelMore()->y(), Bottom(form.GroupBox(2)) + 15);
  EXPECT_EQ(form.Button()->y(), Bottom(form.LabelMore()) + 24);
  EXPECT_EQ(form.height(), Bottom(form.Button()) + 16);
  ExpectNothingClipped(form, "overview_ru.png");
}

TEST_F(OverviewTest, MoreOpensTheWebAddressOnALeftClickOnly) {
  for (std::uint16_t lang : {std::uint16_t{1033}, std::uint16_t{1049}}) {
    SetThreadLanguage(lang);
    TFormOverview form(nullptr);
    form.show();
    catcher.Urls.clear();
    EXPECT_EQ(form.LabelMore()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(form.LabelMore(), Qt::RightButton);
    EXPECT_TRUE(catcher.Urls.empty());
    // A press that is released elsewhere is no click.
    QTest::mousePress(form.LabelMore(), Qt::LeftButton);
    QTest::mouseRelease(form.LabelMore(), Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
    EXPECT_TRUE(catcher.Urls.empty());
    QTest::mouseClick(form.LabelMore(), Qt::LeftButton);
    ASSERT_EQ(catcher.Urls.size(), 1u) << lang;
    EXPECT_EQ(catcher.Urls[0], QUrl("https://www.example.com/orb720"));
  }
}

TEST_F(OverviewTest, CloseButtonAndEscapeCloseTheDialog) {
  {
    TFormOverview form(nullptr);
    QTimer::singleShot(0, &form, [&form] { form.Button()->click(); });
    form.exec();
    EXPECT_FALSE(form.isVisible());
  }
  {
    TFormOverview form(nullptr);
    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
    form.exec();
    EXPECT_FALSE(form.isVisible());
  }
}

namespace {
struct MainWindowDialogs : ::testing::Test {
  QTemporaryDir dir;
  std::unique_ptr<TFormORB720DemoMain> form;
  void Open(int powerOffMs, int backlightMs) {
    TFormORB720DemoMain::Options o;
    o.iniPath = (dir.path() + "/ORB720Demo.INI").toStdString();
    o.powerOffMs = powerOffMs;
    o.backlightMs = backlightMs;
    form = std::make_unique<TFormORB720DemoMain>(o);
    form->show();
    form->Device()->PostKey(0x2002);
    QTest::qWait(100);
  }
  void TearDown() override {
    form.reset();
    SetThreadLanguage(1033);
  }
};
}  // namespace

TEST_F(MainWindowDialogs, OverviewIsModalAndLeavesTheDeviceOn) {
  Open(60000, 40000);
  ASSERT_TRUE(form->Device()->IsOn());
  QPointer<TFormOverview> shown;
  bool ownedByMain = false, timerActiveWhileOpen = false;
  QTimer::singleShot(150, [&] {
    shown = dynamic_cast<TFormOverview*>(QApplication::activeModalWidget());
    ownedByMain = shown && shown->parentWidget() == form.get();
    timerActiveWhileOpen = form->Device()->PowerOffTimer().isActive();
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  form->ToolButtonOverviewClick();
  EXPECT_TRUE(ownedByMain);
  EXPECT_TRUE(timerActiveWhileOpen);
  EXPECT_TRUE(shown.isNull()) << "the window is destroyed after it closes";
  EXPECT_TRUE(form->Device()->IsOn());
  EXPECT_TRUE(form->Device()->PowerOffTimer().isActive());
  EXPECT_EQ(QApplication::focusWidget(), nullptr);
}

TEST_F(MainWindowDialogs, DeviceSwitchesOffBehindAnOpenOverview) {
  Open(400, 200);
  ASSERT_TRUE(form->Device()->IsOn());
  bool onWhileOpen = true;
  bool wasOverview = false;
  QTimer::singleShot(900, [&] {
    QWidget* w = QApplication::activeModalWidget();
    wasOverview = dynamic_cast<TFormOverview*>(w) != nullptr;
    onWhileOpen = form->Device()->IsOn();
    if (w) w->close();
  });
  form->ToolButtonOverviewClick();
  EXPECT_TRUE(wasOverview);
  EXPECT_FALSE(onWhileOpen) << "the idle timers keep running behind the modal window";
}

#include "test_overview.moc"
