#pragma once
// Artwork of the main window: geometry shared with the window's hit testing,
// the painters and the self-checks the generator runs before it saves.
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>

namespace art {

inline constexpr int kDeviceW = 227;
inline constexpr int kDeviceH = 448;
inline constexpr int kButtonW = 48;
inline constexpr int kButtonH = 56;
inline constexpr int kIconSize = 32;

// Where the window places the pictures (client coordinates).
inline constexpr QPoint kDeviceAt{124, 80};
inline constexpr QPoint kLcdAt{174, 145};
inline constexpr QSize kWindow{473, 553};

// The LCD shows through this opening of device.png; it is the only pure white
// inside the case.
inline constexpr QRect kOpening{50, 65, 128, 160};

// Keys: white shows the window behind device.png, red hides the rest of a
// pressed-button picture.
inline constexpr QRgb kTransparentWhite = 0xFFFFFFFFu;
inline constexpr QRgb kTransparentRed = 0xFFFF0000u;
// Anti-aliased edges of the case are blended onto the window's button face.
inline constexpr QRgb kWindowFace = 0xFFEFEFEFu;

struct Button {
  int number;     // button code 1..4
  QRect hit;      // hit rectangle = pressed picture bounds, device coordinates
  QPointF centre; // centre of the round cap, device coordinates
};

// Caps are mirrored about the opening's centre line (x 113.5); the right
// column's hit rectangles differ by one pixel, so the cap centre is fixed
// here rather than derived from them.
inline constexpr std::array<Button, 4> kButtons{{
    {1, QRect(126, 332, kButtonW, kButtonH), QPointF(149.5, 359.5)},
    {2, QRect(54, 252, kButtonW, kButtonH), QPointF(77.5, 279.5)},
    {3, QRect(54, 332, kButtonW, kButtonH), QPointF(77.5, 359.5)},
    {4, QRect(127, 252, kButtonW, kButtonH), QPointF(149.5, 279.5)},
}};

inline constexpr double kCapRadius = 18.5;   // the moving cap
inline constexpr double kWellRadius = 22.5;  // the recess it sits in
// The pressed picture repaints the cap and its rim, nothing else.
inline constexpr double kPressedRadius = kCapRadius + 1.5;

// Painters. Each returns the final 24-bit picture as saved.
QImage PaintDevice();
QImage PaintPressedButton(const QImage& device, const Button& b);
QImage PaintIconOverview();
QImage PaintIconAbout();
QImage PaintIconExit();
// The window as it will look: button face, switched-off grey LCD, the device,
// and the pressed picture of button `pressedNumber` (0 = none, -1 = all).
QImage ComposePreview(const QImage& device, const std::array<QImage, 4>& pressed,
                      int pressedNumber);

// Self-checks; each appends a line per fault found and returns true when none.
bool CheckDevice(const QImage& device, QStringList& faults);
bool CheckPressedButton(const QImage& pressed, const Button& b, QStringList& faults);
bool CheckIcon(const QImage& icon, const QString& name, QStringList& faults);

}  // namespace art
