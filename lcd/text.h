#pragma once
// Laid-out LCD text (markup bytes, centring, tabs), the item and menu records
// the screens are built from, the menu loop and the standard message boxes.
#include <cstdint>
#include <string>

#include "lcd.h"

// Markup bytes understood by LcdTextOut.
constexpr char TXT_END = 0x00;
constexpr char TXT_GAP = 0x02;     // two background columns
constexpr char TXT_CENTRE = 0x03;  // start of a centred run
constexpr char TXT_ENDRUN = 0x04;  // end of a centred run (drawn as a blank)
constexpr char TXT_TAB = 0x09;     // followed by an absolute x; 0 ends the text
constexpr char TXT_NEWLINE = 0x0A;

constexpr int TEXT_LINE_HEIGHT = 14;

// Item fonts.
enum : std::int16_t { FONT_6X8 = 1, FONT_BIG = 4, FONT_TEXT = 6 };

// One text line of a screen. The screens point `text` at their buffers (or at
// loaded texts) before drawing.
struct CItem {
  char* text;
  std::int16_t colour;
  std::int16_t font;
  std::int16_t x;
  std::int16_t y;
  std::int16_t len;    // capacity of text in characters; not read when drawing
  std::int16_t lines;  // k > 0 draws k further copies below; -1 and 0 draw once
  std::int32_t flag;   // screen-specific
};

// A selectable line: negative links leave the menu with the button's number.
struct CMenuItem : CItem {
  std::int16_t selBg;
  std::int16_t prev;   // button 3
  std::int16_t next;   // button 1
  std::int16_t enter;  // button 4
  std::int16_t esc;    // button 2
};

// Compile-time checks of a layout table, for static_assert beside it.
constexpr bool ValidItem(const CItem& it) {
  const bool font = it.font == FONT_6X8 || it.font == FONT_BIG || it.font == FONT_TEXT;
  return font && IsLcdColour(it.colour) && it.x >= 0 && it.x < LCD_WIDTH && it.y >= 0 && it.y < LCD_HEIGHT &&
         it.len >= 0 && it.lines >= -1;
}

constexpr bool ValidItems(const CItem* items, int n) {
  if (n <= 0 || items == nullptr) return false;
  for (int i = 0; i < n; ++i)
    if (!ValidItem(items[i])) return false;
  return true;
}

// A menu passed as plain items would be walked with the wrong stride.
constexpr bool ValidItems(const CMenuItem* items, int n) {
  if (n <= 0 || items == nullptr) return false;
  for (int i = 0; i < n; ++i)
    if (!ValidItem(items[i])) return false;
  return true;
}

constexpr bool ValidLink(std::int16_t link, int n) { return link < n; }

constexpr bool ValidMenu(const CMenuItem* items, int n) {
  if (n <= 0 || items == nullptr) return false;
  for (int i = 0; i < n; ++i) {
    const CMenuItem& m = items[i];
    if (!ValidItem(m) || !IsLcdColour(m.selBg)) return false;
    if (!ValidLink(m.prev, n) || !ValidLink(m.next, n) || !ValidLink(m.enter, n) || !ValidLink(m.esc, n))
      return false;
  }
  return true;
}

// Proportional font with markup. A null text draws nothing.
void LcdTextOut(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, const char* text);
// Sum of the glyph widths of text, every byte a glyph (no markup).
int TextWidth(const char* text);

// Selected: yellow on selBg; otherwise colour on white.
void LcdStr(std::int16_t x, std::int16_t y, bool selected, const char* text, std::int16_t colour,
            std::int16_t selBg = 0);
// Selected: white on selBg; otherwise colour on white.
void LcdStr6x8(std::int16_t x, std::int16_t y, bool selected, const char* text, std::int16_t colour,
               std::int16_t selBg = 0);
void LcdStrBig(std::int16_t x, std::int16_t y, bool selected, const char* text, std::int16_t colour,
               std::int16_t selBg = 0);

// Clears the body and draws the blue title band; does not present.
void DrawTitle(const char* text);
void DrawTitle(const std::string& text);

void DrawItem(const char* text, std::int16_t colour, std::int16_t font, std::int16_t x, std::int16_t y,
              std::int16_t len, std::int16_t lines, std::int32_t flag, bool selected, std::int16_t selBg);
void DrawItem(const CItem& item, bool selected, std::int16_t selBg);
void DrawItems(const CItem* items, int n);
void DrawItems(const CMenuItem* items, int n);  // a menu drawn with nothing selected
void DrawMenu(const CMenuItem* items, int n, int sel);

// Runs the menu until it is left; returns 1, 2, 3, 4 (the button of a
// negative link), KEY_STEP or KEY_NONE.
int MenuSelect(const CMenuItem* items, int n);
// The cursor MenuSelect reads and moves. The firmware's state records install
// CProgramState.MenuItem here; until then (or after nullptr) the menus keep
// one of their own.
void SetMenuCursor(std::int16_t* cursor);

// mode 1 waits for any key and then clears the body.
void ShowMsg(const char* text, int mode, std::int16_t colour);
void ShowMsg(const std::string& text, int mode, std::int16_t colour);
void ShowMsgTop(const char* text, std::int16_t colour);
void ShowMsgTop(const std::string& text, std::int16_t colour);
// true for YES (button 1), false for NO (button 3).
bool AskYesNo(const char* text, std::int16_t colour);
bool AskYesNo(const std::string& text, std::int16_t colour);
// As AskYesNo with the question at row y, calling refresh before every wait
// of periodMs: for questions that show a live reading above them.
bool AskYesNoLive(const char* text, std::int16_t colour, std::int16_t y, std::int32_t periodMs, void (*refresh)());
