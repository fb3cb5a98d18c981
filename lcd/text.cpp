#include "text.h"

#include "font.h"
#include "host.h"

namespace {
constexpr std::int16_t S16(int v) { return static_cast<std::int16_t>(v); }

// Nothing left of or below this is visible; keeps runaway texts from wrapping
// the 16-bit coordinates back onto the screen.
constexpr int kFarX = 4096;
constexpr int kFarY = 4096;

// The advance LcdTextGlyph will use for c (it never paints more than 12).
int GlyphAdvance(std::uint8_t c) {
  const int w = TextGlyphWidth(c);
  return w < 0 ? 0 : (w > 12 ? 12 : w);
}

void PaintBackground(int x0, int x1, int y, std::int16_t bg) {
  if (x0 < 0) x0 = 0;
  if (x1 > LCD_WIDTH - 1) x1 = LCD_WIDTH - 1;
  if (x0 > x1 || y > LCD_HEIGHT - 1 || y + TEXT_LINE_HEIGHT <= 0) return;
  LcdFill(S16(x0), S16(y), S16(x1), S16(y + TEXT_LINE_HEIGHT - 1), static_cast<std::uint16_t>(bg));
}

void EraseBody() { LcdErase(0, 15, 127, 159); }

// The menu cursor: the one SetMenuCursor installed, else a cursor of our own.
std::int16_t g_ownCursor = 0;
std::int16_t* g_cursor = &g_ownCursor;

bool IsKey(std::uint16_t code, std::uint16_t kind, int button) {
  return code == static_cast<std::uint16_t>(kind + button);
}
bool IsYes(std::uint16_t code) { return IsKey(code, KEY_SHORT, 1) || IsKey(code, KEY_HOLD, 1); }
bool IsNo(std::uint16_t code) { return IsKey(code, KEY_SHORT, 3) || IsKey(code, KEY_HOLD, 3); }
}  // namespace

int TextWidth(const char* text) {
  int w = 0;
  if (text)
    for (const char* p = text; *p; ++p) w += GlyphAdvance(static_cast<std::uint8_t>(*p));
  return w;
}

void LcdTextOut(std::int16_t x0, std::int16_t y0, std::int16_t fg, std::int16_t bg, const char* text) {
  if (!text) return;
  int x = x0, y = y0;
  for (const char* p = text; *p; ++p) {
    const std::uint8_t c = static_cast<std::uint8_t>(*p);
    if (c == TXT_NEWLINE) {
      x = x0;
      y += TEXT_LINE_HEIGHT;
      if (y > kFarY) return;
    } else if (c == TXT_TAB) {
      const std::uint8_t n = static_cast<std::uint8_t>(*++p);
      if (n == 0) return;
      if (x < n) {
        PaintBackground(x, n - 1, y, bg);
        x = n;
      }
    } else if (c == TXT_GAP) {
      PaintBackground(x, x + 1, y, bg);
      x += 2;
    } else if (c == TXT_CENTRE) {
      int w = 0;
      const char* q = p + 1;
      for (; *q && *q != TXT_ENDRUN; ++q) w += GlyphAdvance(static_cast<std::uint8_t>(*q));
      if (!*q) return;  // an unterminated run is not drawn at all
      const int s = (LCD_WIDTH - w) / 2;
      if (x < s) {
        PaintBackground(x, s - 1, y, bg);
        x = s;
      }
    } else {
      if (x < LCD_WIDTH && x > -16 && y < LCD_HEIGHT && y > -TEXT_LINE_HEIGHT)
        LcdTextGlyph(S16(x), S16(y), fg, bg, c);
      x += GlyphAdvance(c);
    }
    if (x > kFarX) x = kFarX;
  }
}

void LcdStr(std::int16_t x, std::int16_t y, bool selected, const char* text, std::int16_t colour,
            std::int16_t selBg) {
  if (selected)
    LcdTextOut(x, y, LCD_YELLOW, selBg, text);
  else
    LcdTextOut(x, y, colour, LCD_WHITE, text);
}

void LcdStr6x8(std::int16_t x, std::int16_t y, bool selected, const char* text, std::int16_t colour,
               std::int16_t selBg) {
  if (selected)
    LcdChars6x8(x, y, LCD_WHITE, selBg, text);
  else
    LcdChars6x8(x, y, colour, LCD_WHITE, text);
}

void LcdStrBig(std::int16_t x, std::int16_t y, bool selected, const char* text, std::int16_t colour,
               std::int16_t selBg) {
  if (selected)
    LcdBigNum(x, y, LCD_WHITE, selBg, text);
  else
    LcdBigNum(x, y, colour, LCD_WHITE, text);
}

void DrawTitle(const char* text) {
  EraseBody();
  LcdFill(0, 0, 127, 14, LCD_BLUE);
  const char* p = text ? text : "";
  for (;;) {
    if (*p == ' ' || *p == TXT_CENTRE)
      ++p;
    else if (*p == TXT_TAB)
      p += p[1] ? 2 : 1;  // never step over the terminator
    else
      break;
  }
  LcdTextOut(1, 0, LCD_YELLOW, LCD_BLUE, p);
}

void DrawTitle(const std::string& text) { DrawTitle(text.c_str()); }

void DrawItem(const char* text, std::int16_t colour, std::int16_t font, std::int16_t x, std::int16_t y,
              std::int16_t /*len*/, std::int16_t lines, std::int32_t /*flag*/, bool selected,
              std::int16_t selBg) {
  const int copies = lines > 0 ? lines : 0;
  for (int i = 0; i <= copies; ++i) {
    if (font == FONT_6X8) {
      const int row = y + 8 * i;
      if (row > LCD_HEIGHT - 1) break;
      LcdStr6x8(x, S16(row), selected, text, colour, selBg);
    } else if (font == FONT_BIG) {
      LcdStrBig(x, y, selected, text, colour, selBg);
      break;  // every copy lands on the same place
    } else if (font == FONT_TEXT) {
      const int row = y + 13 * i;
      if (row > LCD_HEIGHT - 1) break;
      LcdStr(x, S16(row), selected, text, colour, selBg);
    } else {
      break;
    }
  }
}

void DrawItem(const CItem& it, bool selected, std::int16_t selBg) {
  DrawItem(it.text, it.colour, it.font, it.x, it.y, it.len, it.lines, it.flag, selected, selBg);
}

void DrawItems(const CItem* items, int n) {
  if (!items) return;
  for (int i = 0; i < n; ++i) DrawItem(items[i], false, 0);
}

void DrawItems(const CMenuItem* items, int n) {
  if (!items) return;
  for (int i = 0; i < n; ++i) DrawItem(items[i], false, 0);
}

void DrawMenu(const CMenuItem* items, int n, int sel) {
  if (!items) return;
  for (int i = 0; i < n; ++i) DrawItem(items[i], i == sel, items[i].selBg);
}

void SetMenuCursor(std::int16_t* cursor) { g_cursor = cursor ? cursor : &g_ownCursor; }

int MenuSelect(const CMenuItem* items, int n) {
  if (!items) n = 0;
  std::int16_t& cur = *g_cursor;
  if (cur >= n || cur < 0) cur = 0;
  for (;;) {
    DrawMenu(items, n, cur);
    LcdShow();
    for (;;) {
      const std::uint16_t key = GetKey();
      if (key == KEY_STEP || key == KEY_NONE) return key;
      std::int16_t link;
      int leave;
      // An empty table has no links: every button leaves at once.
      if (IsYes(key)) {
        link = n > 0 ? items[cur].next : -1, leave = 1;
      } else if (IsNo(key)) {
        link = n > 0 ? items[cur].prev : -1, leave = 3;
      } else if (IsKey(key, KEY_SHORT, 4)) {
        link = n > 0 ? items[cur].enter : -1, leave = 4;
      } else if (IsKey(key, KEY_SHORT, 2)) {
        link = n > 0 ? items[cur].esc : -1, leave = 2;
      } else {
        continue;  // long presses, held 2 and 4, chords
      }
      if (link < 0) return leave;
      cur = link >= n ? std::int16_t{0} : link;
      break;
    }
  }
}

void ShowMsg(const char* text, int mode, std::int16_t colour) {
  EraseBody();
  LcdStr(0, 50, false, text, colour);
  if (mode == 1) LcdStr(0, 134, false, LoadStr(2100).c_str(), LCD_BLUE);
  LcdShow();
  if (mode == 1) {
    ClearKey();
    GetKey();
    EraseBody();
    LcdShow();
  }
}

void ShowMsg(const std::string& text, int mode, std::int16_t colour) { ShowMsg(text.c_str(), mode, colour); }

void ShowMsgTop(const char* text, std::int16_t colour) {
  LcdErase(0, 15, 127, 90);
  LcdStr(0, 36, false, text, colour);
  LcdShow();
}

void ShowMsgTop(const std::string& text, std::int16_t colour) { ShowMsgTop(text.c_str(), colour); }

bool AskYesNo(const char* text, std::int16_t colour) {
  EraseBody();
  LcdStr(0, 50, false, text, colour);
  LcdStr(0, 134, false, LoadStr(2101).c_str(), LCD_BLUE);
  LcdShow();
  ClearKey();
  bool yes;
  for (;;) {
    const std::uint16_t key = GetKey();
    if (IsYes(key) || IsNo(key)) {
      yes = IsYes(key);
      break;
    }
  }
  EraseBody();
  LcdShow();
  return yes;
}

bool AskYesNo(const std::string& text, std::int16_t colour) { return AskYesNo(text.c_str(), colour); }

bool AskYesNoLive(const char* text, std::int16_t colour, std::int16_t y, std::int32_t periodMs, void (*refresh)()) {
  EraseBody();
  LcdStr(0, y, false, text, colour);
  LcdStr(0, 134, false, LoadStr(2101).c_str(), LCD_BLUE);
  LcdShow();
  ClearKey();
  bool yes;
  for (;;) {
    if (refresh) refresh();
    const std::uint16_t key = GetKeyTm(periodMs);
    if (IsYes(key) || IsNo(key)) {
      yes = IsYes(key);
      break;
    }
  }
  EraseBody();
  LcdShow();
  return yes;
}
