#include "mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <cmath>

#include "about.h"
#include "device.h"
#include "host.h"
#include "language.h"
#include "overview.h"
#include "devicepanel.h"
#include "persist.h"
#include "pictures.h"
#include "state.h"
#include "strtab.h"
#include "tracelog.h"

namespace {
constexpr QPoint kDevicePos{panel::kDevice.x, panel::kDevice.y};

QString FromCp1251(const std::string& s) {
  const std::u16string u = Cp1251ToUtf16(s);
  return QString::fromUtf16(u.data(), static_cast<qsizetype>(u.size()));
}

// Lines along the tool bar's top and bottom edges, drawn directly: a style
// sheet for them took a dozen milliseconds of the window's first frame.
class TToolBar : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
  }
};

std::string DefaultIniPath() {
  const QString exe = QCoreApplication::applicationFilePath();
  return SettingsFilePath(exe.toStdString(), ORB_INSTALL_MARK, [] {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString();
  });
}

// Window thread only.
QString& TitleStore() {
  static QString title = QStringLiteral("ORB-720 Demo");
  return title;
}

class TLanguageTarget : public ILanguageTarget {
 public:
  explicit TLanguageTarget(TFormORB720DemoMain* f) : form_(f) {}
  void SetDeviceLanguage(std::uint32_t value) override {
    if (form_->Device()) form_->Device()->SetLanguage(value);
  }
  void SetWindowTexts(const std::string& caption, const std::string& label, const std::string& overview,
                      const std::string& about, const std::string& exit) override {
    const QString title = FromCp1251(caption);
    form_->setWindowTitle(title);
    // Not Qt's display name: Qt would append that to every window caption.
    TitleStore() = title;
    if (form_->Device()) form_->Device()->SetApplicationTitle(title);
    form_->LabelLanguage()->setText(FromCp1251(label));
    form_->ToolButtonOverview()->setText(FromCp1251(overview));
    form_->ToolButtonAbout()->setText(FromCp1251(about));
    form_->ToolButtonExit()->setText(FromCp1251(exit));
  }

 private:
  TFormORB720DemoMain* form_;
};

std::vector<TLanguageItem> g_languages;
}  // namespace

QString ApplicationTitle() { return TitleStore(); }

QIcon ApplicationIcon() {
  // Up to 128 px: every size goes to the display server when the window is
  // created, and the 256 px one alone took about 5 ms of the start. Launchers
  // and docks take the large sizes from the icon theme.
  QIcon icon;
  for (int n : {16, 22, 24, 32, 48, 64, 128}) {
    const QImage img = Picture(("appicon_" + std::to_string(n)).c_str());
    if (!img.isNull()) icon.addPixmap(QPixmap::fromImage(img));
  }
  return icon;
}

template <class F>
void TFormORB720DemoMain::Guarded(F&& f) {
  // Errors must not cross Qt's event dispatch: show them in the error box.
  try {
    f();
  } catch (const Exception& e) {
    QMessageBox::critical(this, ApplicationTitle(), QString::fromStdString(e.Message));
  } catch (const std::exception& e) {
    QMessageBox::critical(this, ApplicationTitle(), QString::fromUtf8(e.what()));
  }
}

// ---- the language list ----

void TPickList::wheelEvent(QWheelEvent* e) {
  // Left to the parent, which does nothing with it; an open list still
  // scrolls, since its popup receives the wheel itself.
  e->ignore();
}

// ---- pictures ----

TPicture::TPicture(QWidget* parent, const char* picture, QSize size) : QWidget(parent), image_(Picture(picture)) {
  resize(size);
  // The pictures only show; mouse input goes to the instrument picture below.
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TPicture::SetImage(const QImage& image) {
  image_ = image;
  update();
}

void TPicture::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(QRect(QPoint(0, 0), size()), image_);
}

TLcdView::TLcdView(QWidget* parent) : QWidget(parent), Image(128, 160, QImage::Format_RGB32) {
  resize(128, 160);
  Image.fill(0x4E4E4E);
}

void TLcdView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // On a high-density screen the pixels are repeated, never blurred; at a
  // fractional ratio some would be repeated once more than others, which
  // breaks glyphs apart, so there the LCD is smoothed.
  const qreal ratio = p.paintEngine()->paintDevice()->devicePixelRatioF();
  p.setRenderHint(QPainter::SmoothPixmapTransform, ratio != std::floor(ratio));
  p.drawImage(QRect(0, 0, 128, 160), Image);
}

TImageDevice::TImageDevice(QWidget* parent, TFormORB720DemoMain* form)
    : TPicture(parent, "device", QSize(227, 448)), form_(form) {
  setAttribute(Qt::WA_TransparentForMouseEvents, false);
  setMouseTracking(true);
}

void TImageDevice::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  form_->Guarded([&] { form_->ImageDeviceMouseDown(e->button(), p.x(), p.y()); });
}

void TImageDevice::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  form_->Guarded([&] { form_->ImageDeviceMouseMove(p.x(), p.y()); });
}

void TImageDevice::mouseReleaseEvent(QMouseEvent* e) {
  form_->Guarded([&] { form_->ImageDeviceMouseUp(e->button()); });
}

// ---- the window ----

TFormORB720DemoMain::TFormORB720DemoMain() : TFormORB720DemoMain(Options{}) {}

TFormORB720DemoMain::TFormORB720DemoMain(Options options) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(473, 553);
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  setMouseTracking(true);
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowIcon(ApplicationIcon());

  // 1. widgets
  BuildToolBar();
  screen_ = new TLcdView(this);
  screen_->move(panel::kLcd.x, panel::kLcd.y);
  screen_->setMouseTracking(true);
  imageDevice_ = new TImageDevice(this, this);
  imageDevice_->move(kDevicePos);
  for (int i = 0; i < 4; ++i) {
    const std::string name = "button" + std::to_string(i + 1);
    const TPanelRect& r = panel::kButtons[i];
    auto* b = new TPicture(this, name.c_str(), QSize(r.w, r.h));
    b->move(r.x, r.y);
    b->hide();
    buttonImages_[static_cast<std::size_t>(i)] = b;
  }
  // 2.
  TraceLog().Add("TForm()");
  // 3.
  iniPath_ = options.iniPath.empty() ? DefaultIniPath() : options.iniPath;
  ReadDeviceState(iniPath_);
  // 4. stacking, bottom to top
  screen_->lower();
  imageDevice_->raise();
  for (int i : panel::kButtonStacking) buttonImages_[static_cast<std::size_t>(i)]->raise();
  // 6.
  TDevice::Config config;
  config.powerOffMs = options.powerOffMs;
  config.backlightMs = options.backlightMs;
  device_ = std::make_unique<TDevice>(&screen_->Image, [this] { screen_->update(); }, config);
  DeviceThread = device_.get();
  pointers_ = std::make_unique<TPanelPointers>(device_->Buttons().Pad());
  device_->OnSwitchedOff = [this] { SaveDeviceState(iniPath_); };
  // 7.
  FillLanguageList();

  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect avail = s->availableGeometry();
    move(avail.center() - rect().center());
  }
}

TFormORB720DemoMain::~TFormORB720DemoMain() {
  if (!closed_) FormClose();
}

void TFormORB720DemoMain::BuildToolBar() {
  toolBar_ = new TToolBar(this);
  toolBar_->setGeometry(0, 0, 473, 56);
  toolBar_->setObjectName("ToolBar");
  auto* panel = new QWidget(toolBar_);
  panel->setGeometry(5, 0, 108, 52);
  labelLanguage_ = new QLabel(panel);
  labelLanguage_->setGeometry(8, 8, 74, 13);
  comboLanguage_ = new TPickList(panel);
  comboLanguage_->setGeometry(8, 24, 89, 21);
  comboLanguage_->setEditable(false);
  comboLanguage_->setFocusPolicy(Qt::NoFocus);
  auto makeButton = [this](int x, const char* icon) {
    auto* b = new QToolButton(toolBar_);
    b->setGeometry(x, 0, 104, 52);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIcon(QIcon(QPixmap::fromImage(Picture(icon))));
    b->setIconSize(QSize(32, 32));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  overviewButton_ = makeButton(121, "icon_overview");
  aboutButton_ = makeButton(225, "icon_about");
  exitButton_ = makeButton(337, "icon_exit");
  connect(overviewButton_, &QToolButton::clicked, this, [this] { Guarded([this] { ToolButtonOverviewClick(); }); });
  connect(aboutButton_, &QToolButton::clicked, this, [this] { Guarded([this] { ToolButtonAboutClick(); }); });
  connect(exitButton_, &QToolButton::clicked, this, [this] { Guarded([this] { ToolButtonExitClick(); }); });
}


void TFormORB720DemoMain::FillLanguageList() {
  g_languages = LoadLanguageList();
  comboLanguage_->blockSignals(true);
  comboLanguage_->clear();
  for (const TLanguageItem& item : g_languages)
    comboLanguage_->addItem(FromCp1251(item.Name), QVariant::fromValue(item.LanguageValue));
  const int initial = ChooseInitialLanguage(g_languages, InitDeviceInfo.LanguageName, UserDefaultLangId());
  comboLanguage_->setCurrentIndex(initial);
  comboLanguage_->blockSignals(false);
  connect(comboLanguage_, &QComboBox::currentIndexChanged, this,
          [this](int) { Guarded([this] { ComboBoxLanguageChange(); }); });
  ComboBoxLanguageChange();
}

void TFormORB720DemoMain::ComboBoxLanguageChange() {
  TLanguageTarget target(this);
  ApplyLanguageChange(g_languages, comboLanguage_->currentIndex(), InitDeviceInfo, target);
}

void TFormORB720DemoMain::ShowPressedPictures() {
  for (std::size_t i = 0; i < buttonImages_.size(); ++i) buttonImages_[i]->setVisible((pointers_->Shown() >> i) & 1u);
}

void TFormORB720DemoMain::ImageDeviceMouseDown(Qt::MouseButton button, int x, int y) {
  if (button != Qt::LeftButton) return;
  buttonDown_ = true;
  const bool onLcd = pointers_->Down(kMousePointer, x, y);
  ShowPressedPictures();
  if (onLcd) {
    if (QClipboard* cb = QGuiApplication::clipboard()) cb->setImage(screen_->Image.copy());
  }
}

void TFormORB720DemoMain::FormMouseMove() {
  if (QWidget* w = QApplication::focusWidget()) w->clearFocus();
  unsetCursor();
}

void TFormORB720DemoMain::ImageDeviceMouseMove(int x, int y) {
  FormMouseMove();
  if (HitButton(x, y) >= 0)
    setCursor(Qt::PointingHandCursor);
  else
    unsetCursor();
}

void TFormORB720DemoMain::ImageDeviceMouseUp(Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;
  buttonDown_ = false;
  pointers_->Up(kMousePointer);
  ShowPressedPictures();
}

void TFormORB720DemoMain::CancelPress() {
  if (buttonDown_) ImageDeviceMouseUp(Qt::LeftButton);
}

void TFormORB720DemoMain::ToolButtonOverviewClick() {
  CancelPress();
  {
    TFormOverview form(this);
    form.exec();
  }
  if (QWidget* w = QApplication::focusWidget()) w->clearFocus();
}

void TFormORB720DemoMain::ToolButtonAboutClick() {
  CancelPress();
  {
    TFormAbout form(this);
    form.exec();
  }
  if (QWidget* w = QApplication::focusWidget()) w->clearFocus();
}

void TFormORB720DemoMain::ToolButtonExitClick() { close(); }

int TFormORB720DemoMain::HitButton(int x, int y) { return ::HitButton(x, y); }

bool TFormORB720DemoMain::HitLcd(int x, int y) { return ::HitLcd(x, y); }

int TFormORB720DemoMain::PressedIndex() const { return pointers_ ? pointers_->PressedIndex() : -1; }

void TFormORB720DemoMain::FormClose() {
  if (closed_) return;
  closed_ = true;
  CancelPress();
  TraceLog().Add("FormClose()");
  try {
    SaveDeviceState(iniPath_);
  } catch (const Exception& e) {
    // The window still closes; the user is told that the settings were not kept.
    QMessageBox::critical(this, ApplicationTitle(), QString::fromStdString(e.Message));
  }
  pointers_.reset();
  device_.reset();
  DeviceThread = nullptr;
}

void TFormORB720DemoMain::closeEvent(QCloseEvent* e) {
  FormClose();
  e->accept();
}

void TFormORB720DemoMain::changeEvent(QEvent* e) {
  if (e->type() == QEvent::ActivationChange && !isActiveWindow()) CancelPress();
  QWidget::changeEvent(e);
}

bool TFormORB720DemoMain::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) {
    // FormActivate: no control keeps the keyboard focus.
    if (QWidget* w = QApplication::focusWidget()) w->clearFocus();
  } else if (e->type() == QEvent::WindowDeactivate) {
    CancelPress();
  }
  return QWidget::event(e);
}

void TFormORB720DemoMain::mouseMoveEvent(QMouseEvent* e) {
  FormMouseMove();
  QWidget::mouseMoveEvent(e);
}
