#include <QApplication>
#include <QMessageBox>

#include "host.h"
#include "mainwindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Fixed, so a renamed copy finds the same configuration folder; the display
  // name stays unset, since Qt would append it to every caption.
  QCoreApplication::setApplicationName(QStringLiteral("ORB720Demo"));
  QGuiApplication::setDesktopFileName(QStringLiteral(ORB_APP_ID));
  QApplication::setWindowIcon(ApplicationIcon());
  try {
    TFormORB720DemoMain form;
    form.show();
    return app.exec();
  } catch (const Exception& e) {
    QMessageBox::critical(nullptr, ApplicationTitle(), QString::fromStdString(e.Message));
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, ApplicationTitle(), QString::fromUtf8(e.what()));
  }
  return 0;
}
