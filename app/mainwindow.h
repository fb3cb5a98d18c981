#pragma once
// The main window: the instrument picture with its LCD and four buttons, and
// the tool bar with the language list, Overview, About and Exit.
#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

class TDevice;
class TPanelPointers;

// Title of the message boxes: string 300 in the window's language.
QString ApplicationTitle();

// The application icon at each size the window gives the display server; the
// dialogs take it from the main window.
QIcon ApplicationIcon();

// A pick-only list: it changes only by opening it and picking an entry.
class TPickList : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;

 protected:
  void wheelEvent(QWheelEvent* e) override;
};

// One of the linked-in pictures, never smoothed.
class TPicture : public QWidget {
  Q_OBJECT
 public:
  TPicture(QWidget* parent, const char* picture, QSize size);
  void SetImage(const QImage& image);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QImage image_;
};

// The 128 x 160 LCD image that the device thread's copies land in.
class TLcdView : public QWidget {
  Q_OBJECT
 public:
  explicit TLcdView(QWidget* parent);
  QImage Image;

 protected:
  void paintEvent(QPaintEvent*) override;
};

class TFormORB720DemoMain;

// Receives the mouse for the whole instrument picture.
class TImageDevice : public TPicture {
  Q_OBJECT
 public:
  TImageDevice(QWidget* parent, TFormORB720DemoMain* form);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  TFormORB720DemoMain* form_;
};

class TFormORB720DemoMain : public QWidget {
  Q_OBJECT
 public:
  struct Options {
    std::string iniPath;  // empty: the executable's path with ".INI"
    int powerOffMs = 60000;
    int backlightMs = 40000;
  };
  TFormORB720DemoMain();
  explicit TFormORB720DemoMain(Options options);
  ~TFormORB720DemoMain() override;

  // Handlers (window thread).
  void ImageDeviceMouseDown(Qt::MouseButton button, int x, int y);
  void ImageDeviceMouseMove(int x, int y);
  void ImageDeviceMouseUp(Qt::MouseButton button);
  void FormMouseMove();
  void ComboBoxLanguageChange();
  void ToolButtonOverviewClick();
  void ToolButtonAboutClick();
  void ToolButtonExitClick();

  // Hit test in instrument-picture coordinates: table index 0..3, or -1.
  static int HitButton(int x, int y);
  static bool HitLcd(int x, int y);

  TDevice* Device() const { return device_.get(); }
  const std::string& IniPath() const { return iniPath_; }
  QWidget* ButtonPicture(int index) const { return buttonImages_[static_cast<std::size_t>(index)]; }
  TImageDevice* ImageDevice() const { return imageDevice_; }
  TLcdView* ImageDeviceScreen() const { return screen_; }
  QComboBox* ComboBoxLanguage() const { return comboLanguage_; }
  QToolButton* ToolButtonExit() const { return exitButton_; }
  QToolButton* ToolButtonOverview() const { return overviewButton_; }
  QToolButton* ToolButtonAbout() const { return aboutButton_; }
  QLabel* LabelLanguage() const { return labelLanguage_; }
  int PressedIndex() const;

  // Runs a handler; an error escaping it is shown in the error box, since it
  // must not cross Qt's event dispatch.
  template <class F>
  void Guarded(F&& f);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  bool event(QEvent* e) override;

 private:
  void FormClose();
  void BuildToolBar();
  void FillLanguageList();
  // A press whose release will never reach the picture ends as a release.
  void CancelPress();
  void ShowPressedPictures();
  static constexpr int kMousePointer = 0;

  std::string iniPath_;
  QWidget* toolBar_ = nullptr;
  QLabel* labelLanguage_ = nullptr;
  QComboBox* comboLanguage_ = nullptr;
  QToolButton* overviewButton_ = nullptr;
  QToolButton* aboutButton_ = nullptr;
  QToolButton* exitButton_ = nullptr;
  TLcdView* screen_ = nullptr;
  TImageDevice* imageDevice_ = nullptr;
  std::array<TPicture*, 4> buttonImages_{};
  bool buttonDown_ = false;  // a left press on the picture awaits its release
  bool closed_ = false;
  std::unique_ptr<TDevice> device_;
  std::unique_ptr<TPanelPointers> pointers_;  // the mouse on the instrument picture
};
