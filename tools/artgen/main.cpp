// Generates the main window's artwork into resources/pictures and a preview
// of the window; refuses to write anything if a check fails.
//   orb_artgen [output dir] [preview file] [icon theme dir]
#include <QDir>
#include <QFile>
#include <utility>
#include <vector>
#include <QGuiApplication>
#include <cstdio>

#include "art.h"

namespace art {
bool PressedIsDarker(const QImage& device, const QImage& pressed, const Button& b);
QImage PaintLogo();
bool CheckLogo(const QImage& logo, QStringList& faults);
QImage PaintAppIcon(int pixels);
QString AppIconSvg();
bool CheckAppIcon(const QImage& icon, int pixels, QStringList& faults);
bool CheckAppIconSvg(const QString& svg, QStringList& faults);
}

namespace {
// The bitmap sizes of the hicolor theme that launchers and task bars ask for.
constexpr int kAppIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  const QString outDir = args.size() > 1 ? args[1] : QStringLiteral(ARTGEN_DEFAULT_OUT);
  const QString preview = args.size() > 2 ? args[2] : QStringLiteral("/tmp/art_preview.png");
  const QString iconDir = args.size() > 3 ? args[3] : QStringLiteral(ARTGEN_ICON_OUT);

  using namespace art;
  const QImage device = PaintDevice();
  std::array<QImage, 4> pressed;
  for (std::size_t i = 0; i < kButtons.size(); ++i) pressed[i] = PaintPressedButton(device, kButtons[i]);
  const QImage overview = PaintIconOverview(), about = PaintIconAbout(), exitIcon = PaintIconExit();
  const QImage logo = PaintLogo();

  QStringList faults;
  CheckDevice(device, faults);
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    CheckPressedButton(pressed[i], kButtons[i], faults);
    if (!PressedIsDarker(device, pressed[i], kButtons[i]))
      faults << QStringLiteral("button%1.png does not look pressed").arg(kButtons[i].number);
  }
  CheckIcon(overview, QStringLiteral("icon_overview.png"), faults);
  CheckIcon(about, QStringLiteral("icon_about.png"), faults);
  CheckIcon(exitIcon, QStringLiteral("icon_exit.png"), faults);
  CheckLogo(logo, faults);
  std::vector<std::pair<int, QImage>> appIcons;
  for (int n : kAppIconSizes) {
    appIcons.emplace_back(n, PaintAppIcon(n));
    CheckAppIcon(appIcons.back().second, n, faults);
  }
  const QString appSvg = AppIconSvg();
  CheckAppIconSvg(appSvg, faults);
  if (!faults.isEmpty()) {
    for (const QString& f : faults) std::fprintf(stderr, "artgen: %s\n", qPrintable(f));
    return 1;
  }

  QDir().mkpath(outDir);
  const QDir dir(outDir);
  bool ok = true;
  // RGB888 keeps the 24-bit pictures free of an alpha channel in the PNG.
  auto save = [&](const QImage& img, const QString& name, bool alpha) {
    const QImage out = img.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    if (!out.save(dir.filePath(name), "PNG")) {
      std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(dir.filePath(name)));
      ok = false;
    }
  };
  save(device, QStringLiteral("device.png"), false);
  for (std::size_t i = 0; i < kButtons.size(); ++i)
    save(pressed[i], QStringLiteral("button%1.png").arg(kButtons[i].number), false);
  save(overview, QStringLiteral("icon_overview.png"), true);
  save(about, QStringLiteral("icon_about.png"), true);
  save(exitIcon, QStringLiteral("icon_exit.png"), true);
  save(logo, QStringLiteral("logo.png"), true);

  // The application icon, laid out as the hicolor theme installs it.
  const QString appIcon = QStringLiteral(ARTGEN_APP_ID);
  for (const auto& [n, img] : appIcons) {
    const QString sub = QStringLiteral("%1/%2x%2/apps").arg(iconDir).arg(n);
    QDir().mkpath(sub);
    if (!img.save(sub + QLatin1Char('/') + appIcon + QStringLiteral(".png"), "PNG")) ok = false;
  }
  QDir().mkpath(iconDir + QStringLiteral("/scalable/apps"));
  QFile svg(iconDir + QStringLiteral("/scalable/apps/") + appIcon + QStringLiteral(".svg"));
  if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(appSvg.toUtf8()) < 0) ok = false;

  const QImage win = ComposePreview(device, pressed, 4);
  if (!win.save(preview, "PNG")) ok = false;
  QString all = preview;
  all.replace(QStringLiteral(".png"), QStringLiteral("_all.png"));
  if (!ComposePreview(device, pressed, -1).save(all, "PNG")) ok = false;
  std::printf("artgen: wrote %s and %s, previews %s and %s\n", qPrintable(outDir), qPrintable(iconDir),
              qPrintable(preview), qPrintable(all));
  return ok ? 0 : 1;
}
