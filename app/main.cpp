#include <QApplication>
#include <QMessageBox>

#include "host.h"
#include "mainwindow.h"

namespace {
// No window to carry the icon: the box takes the application's.
void ShowStartError(const QString& text) {
  QApplication::setWindowIcon(ApplicationIcon());
  QMessageBox::critical(nullptr, ApplicationTitle(), text);
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Fixed, so a renamed copy finds the same configuration folder; the display
  // name stays unset, since Qt would append it to every caption.
  QCoreApplication::setApplicationName(QStringLiteral("ORB720Demo"));
  QGuiApplication::setDesktopFileName(QStringLiteral(ORB_APP_ID));
  // The window sets its own icon; an application-wide one as well would send
  // it to the display server twice as the window is created.
  try {
    TFormORB720DemoMain form;
    form.show();
    return app.exec();
  } catch (const Exception& e) {
    ShowStartError(QString::fromStdString(e.Message));
  } catch (const std::exception& e) {
    ShowStartError(QString::fromUtf8(e.what()));
  }
  return 0;
}
