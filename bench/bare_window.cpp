// The floor of the start and memory figures: a bare Qt window of the main
// window's size, placed and started as the simulator is (no arguments, no
// settings), with one line of text, since text is what loads the font
// libraries every window with a caption or a label pays for, and a grey
// 128 x 160 area where the simulator's LCD is, so that one pixel tells for
// both when the first frame is on the screen. It prints "shown" once its
// first paint is done, for callers that wait on it.
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <cstdio>

namespace {
class TBareWindow : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(174, 145, 128, 160, QColor(0x4E, 0x4E, 0x4E));
    if (!shown_) {
      shown_ = true;
      std::puts("shown");
      std::fflush(stdout);
    }
  }

 private:
  bool shown_ = false;
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TBareWindow w;
  w.setFixedSize(473, 553);
  w.setWindowTitle(QStringLiteral("ORB-720 Demo"));
  QLabel label(QStringLiteral("Language"), &w);
  label.move(13, 8);
  if (QScreen* s = QGuiApplication::primaryScreen()) w.move(s->availableGeometry().center() - w.rect().center());
  w.show();
  return app.exec();
}
