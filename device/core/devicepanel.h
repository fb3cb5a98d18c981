#pragma once
// The instrument picture as the window lays it out, and what a pointer does
// on it: where each picture goes, which rectangle is which button or the LCD,
// and how presses and releases reach the button timing. Every host that shows
// the instrument (the window, the page) takes both from here.
#include <cstdint>
#include <utility>
#include <vector>

class TButtonPad;

struct TPanelRect {
  int x, y, w, h;
  // Both ends inclusive, as the window's hit rectangles are.
  constexpr bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  constexpr TPanelRect Moved(int dx, int dy) const { return {x + dx, y + dy, w, h}; }
};

// Window coordinates (client area, tool bar included).
namespace panel {
constexpr int kWindowWidth = 473, kWindowHeight = 553;
constexpr int kToolBarHeight = 56;
constexpr TPanelRect kDevice{124, 80, 227, 448};  // the instrument picture
constexpr TPanelRect kLcd{174, 145, 128, 160};    // shows through its white opening
// The pressed pictures in button table order (buttons 1..4); each is also
// its button's hit rectangle.
constexpr TPanelRect kButtons[4] = {{250, 412, 48, 56}, {178, 332, 48, 56}, {178, 412, 48, 56}, {251, 332, 48, 56}};
// Stacking order of the pressed pictures, bottom first (table indexes).
constexpr int kButtonStacking[4] = {1, 3, 2, 0};
// Transparent colours: the instrument's white, the pressed pictures' red.
constexpr std::uint32_t kDeviceKey = 0xFFFFFF, kButtonKey = 0xFF0000;
}  // namespace panel

// Hit tests in instrument-picture coordinates (its top-left is 0, 0).
int HitButton(int x, int y);  // table index 0..3, or -1
bool HitLcd(int x, int y);

// The window's mouse rules, for one mouse or several touching fingers. Each
// pointer that goes down on a button shows that button's pressed picture and
// presses it (a second finger within the chord time gives the chord); the
// buttons are released when the last pointer holding one comes up. A mouse
// is one pointer: its release hides the pictures and releases the button.
class TPanelPointers {
 public:
  explicit TPanelPointers(TButtonPad& buttons) : buttons_(buttons) {}

  // The primary button of a pointer goes down at (x, y) of the instrument
  // picture. Returns true when that is on the LCD, whose picture the host
  // then puts on the clipboard.
  bool Down(int pointer, int x, int y);
  // Its release, wherever it is now; nothing for a pointer not down.
  void Up(int pointer);
  // Presses whose release will never come (the window or page lost the
  // pointer) end as releases.
  void CancelAll();

  // Pressed pictures shown: bit i for table index i.
  unsigned Shown() const { return shown_; }
  // Table index of the last press, -1 if it hit no button; kept after the
  // release, as the window keeps it.
  int PressedIndex() const { return pressedIndex_; }
  bool AnyDown() const { return !down_.empty(); }

 private:
  TButtonPad& buttons_;
  std::vector<std::pair<int, int>> down_;  // pointer, table index or -1
  int pressedIndex_ = -1;
  unsigned shown_ = 0;
};
