#include "clock.h"

#include <cstddef>
#include <string>

#include "host.h"
#include "lcd.h"
#include "numtext.h"
#include "state.h"
#include "texts.h"

std::int16_t ClockEdit[CLK_FIELDS];
const std::int16_t kClockLow[CLK_FIELDS] = {1, 1, 2000, 0, 0, 0};
const std::int16_t kClockHigh[CLK_FIELDS] = {31, 12, 2099, 23, 59, 59};

namespace {
// Where the clock screen hands back: the main menu, not its resume value 2.
constexpr std::uint16_t CLOCK_DONE = 4;

constexpr std::int16_t kMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Fixed placeholders, overwritten by FmtClock; not localised.
char g_day[] = "/1";
char g_month[] = "/2";
char g_year[] = "/3  ";
char g_hour[] = "/4";
char g_minute[] = "/5";
char g_second[] = "/6";
char* const kFieldTexts[CLK_FIELDS] = {g_day, g_month, g_year, g_hour, g_minute, g_second};

constexpr CMenuItem kClockLayout[CLK_FIELDS] = {
    // text, colour, font, x, y, len, lines, flag, selBg, prev, next, enter, esc
    {{nullptr, LCD_BLUE, FONT_TEXT, 22, 64, 2, -1, 0}, LCD_BLACK, -1, -1, 1, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 50, 64, 2, -1, 0}, LCD_BLACK, -1, -1, 2, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 78, 64, 4, -1, 0}, LCD_BLACK, -1, -1, 3, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 29, 94, 2, -1, 0}, LCD_BLACK, -1, -1, 4, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 52, 94, 2, -1, 0}, LCD_BLACK, -1, -1, 5, -1},
    {{nullptr, LCD_BLUE, FONT_TEXT, 78, 94, 2, -1, 0}, LCD_BLACK, -1, -1, -1, -1},
};
static_assert(ValidMenu(kClockLayout, CLK_FIELDS));

constexpr CItem kClockLabelLayout[2] = {
    {nullptr, LCD_BLACK, FONT_TEXT, 18, 50, 16, -1, 0},
    {nullptr, LCD_BLACK, FONT_TEXT, 24, 80, 16, -1, 0},
};
static_assert(ValidItems(kClockLabelLayout, 2));

struct ClockInit {
  ClockInit() {
    for (int i = 0; i < CLK_FIELDS; ++i) {
      ClockFields[i] = kClockLayout[i];
      ClockFields[i].text = kFieldTexts[i];
    }
    static char blank[] = " ";
    for (int i = 0; i < 2; ++i) {
      ClockLabels[i] = kClockLabelLayout[i];
      ClockLabels[i].text = blank;
    }
  }
};

// Formats three fields with fmt, blanks to '0', and copies the characters at
// 0, 3 and 6 (widths w0, w1, w2) into the field texts from `first` on.
void FmtGroup(const char* fmt, int first, std::size_t w2) {
  char s[40];
  FmtStr(s, sizeof s, fmt, ClockEdit[first], ClockEdit[first + 1], ClockEdit[first + 2]);
  for (char& c : s)
    if (c == ' ') c = '0';
  const std::size_t at[3] = {0, 3, 6};
  const std::size_t width[3] = {2, 2, w2};
  for (int f = 0; f < 3; ++f)
    for (std::size_t i = 0; i < width[f]; ++i) kFieldTexts[first + f][i] = s[at[f] + i];
}

}  // namespace

CMenuItem ClockFields[CLK_FIELDS];
CItem ClockLabels[2];
static ClockInit g_clockInit;

bool CheckDate() {
  for (int i = 0; i < CLK_FIELDS; ++i)
    if (ClockEdit[i] < kClockLow[i] || ClockEdit[i] > kClockHigh[i]) return false;
  std::int16_t days = kMonthDays[ClockEdit[CLK_MONTH] - 1];
  if (ClockEdit[CLK_MONTH] == 2) days = (ClockEdit[CLK_YEAR] & 3) ? 28 : 29;
  return ClockEdit[CLK_DAY] <= days;
}

void FmtClock() {
  // Every field is within its limits here, so each number fits its width.
  FmtGroup("%2d.%2d.%4d", CLK_DAY, 4);
  FmtGroup("%2d:%2d:%2d", CLK_HOUR, 2);
}

int SetClock() {
  if (!CheckDate()) {
    ShowMsg(LoadStr(108), 1, LCD_RED);
    CProgramState.MenuItem = 0;
    return 0;
  }
  ShowMsg(LoadStr(109), 0, LCD_BLUE);
  TRtc t;
  t.year = static_cast<std::uint16_t>(ClockEdit[CLK_YEAR]);
  t.month = static_cast<std::uint16_t>(ClockEdit[CLK_MONTH]);
  t.day = static_cast<std::uint16_t>(ClockEdit[CLK_DAY]);
  t.hour = static_cast<std::uint16_t>(ClockEdit[CLK_HOUR]);
  t.minute = static_cast<std::uint16_t>(ClockEdit[CLK_MINUTE]);
  t.second = static_cast<std::uint16_t>(ClockEdit[CLK_SECOND]);
  WriteRtc(t);
  CProgramState.MenuItem = 1;
  Pause(1000);
  return 1;
}

std::uint16_t ClockScrn() {
  TProgramState& s = CProgramState;
  s.MenuItem = CLK_DAY;
  TRtc t;
  ReadRtc(t);
  // Values above 32767 turn negative and fail the limits like any other.
  ClockEdit[CLK_DAY] = static_cast<std::int16_t>(t.day);
  ClockEdit[CLK_MONTH] = static_cast<std::int16_t>(t.month);
  ClockEdit[CLK_YEAR] = static_cast<std::int16_t>(t.year);
  ClockEdit[CLK_HOUR] = static_cast<std::int16_t>(t.hour);
  ClockEdit[CLK_MINUTE] = static_cast<std::int16_t>(t.minute);
  ClockEdit[CLK_SECOND] = static_cast<std::int16_t>(t.second);
  if (!CheckDate()) {
    const std::int16_t fallback[CLK_FIELDS] = {1, 1, 2005, 0, 0, 0};
    for (int i = 0; i < CLK_FIELDS; ++i) ClockEdit[i] = fallback[i];
  }
  for (;;) {
    LcdErase(0, 15, 127, 159);
    FmtClock();
    ClockLabels[0].text = FwText(TX_DATE_LABEL);
    ClockLabels[1].text = FwText(TX_TIME_LABEL);
    DrawItems(ClockLabels, 2);
    const int r = MenuSelect(ClockFields, CLK_FIELDS);
    const int i = s.MenuItem;
    std::int16_t& v = ClockEdit[i];
    switch (r) {
      case 1:
        v = v > kClockLow[i] ? static_cast<std::int16_t>(v - 1) : kClockHigh[i];
        break;
      case 3:
        v = v < kClockHigh[i] ? static_cast<std::int16_t>(v + 1) : kClockLow[i];
        break;
      case 4:
        if (i == CLK_SECOND && SetClock() == 1) {
          s.MenuItem = 4;
          return CLOCK_DONE;
        }
        break;
      case 2:
        s.MenuItem = 4;
        return CLOCK_DONE;
      case KEY_NONE:
        // The page sits under the settings title; a new language renames it.
        DrawTitle(FwText(TX_SETTINGS));
        break;
      default:
        break;
    }
  }
}
