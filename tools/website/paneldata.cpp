// A build step of the page: the instrument's layout and the switched-off
// LCD's colour as JSON, from the same tables the window and the firmware
// use, so that the page can show the instrument before its wasm has loaded.
//
//   paneldata > panel.json
#include <cstdio>

#include "devicepanel.h"
#include "lcd.h"

namespace {
void Rect(const char* name, const TPanelRect& r, const char* after) {
  std::printf("\"%s\":[%d,%d,%d,%d]%s", name, r.x, r.y, r.w, r.h, after);
}
}  // namespace

int main() {
  std::printf("{");
  Rect("device", panel::kDevice, ",");
  Rect("lcd", panel::kLcd, ",");
  std::printf("\"buttons\":[");
  for (int i = 0; i < 4; ++i) {
    const TPanelRect& r = panel::kButtons[i];
    std::printf("%s[%d,%d,%d,%d]", i ? "," : "", r.x, r.y, r.w, r.h);
  }
  std::printf("],\"stacking\":[%d,%d,%d,%d],", panel::kButtonStacking[0], panel::kButtonStacking[1],
              panel::kButtonStacking[2], panel::kButtonStacking[3]);
  for (const LcdColour& c : kLcdColours)
    if (c.code == LCD_WHITE) std::printf("\"off\":\"#%06x\"", static_cast<unsigned>(c.dimmed));
  std::printf("}\n");
  return std::ferror(stdout) ? 1 : 0;
}
