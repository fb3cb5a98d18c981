#include "analy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "computing.h"
#include "flash.h"
#include "font.h"
#include "host.h"
#include "lcd.h"
#include "numtext.h"
#include "state.h"

CAnaly Analy;
const std::int16_t kAnalyBandHz[7] = {1000, 2000, 4000, 5000, 10000, 20000, 20000};
const TLcdRect kAnalyPlot = {0, 20, 127, 112};

char AnalyTitle[11];
char AnalyBandText[5];
char AnalyMenuText[ANALY_MENU_ITEMS][ANALY_LINE_LEN + 1];

// Button 4 walks the lines; 1, 3 and 2 hand the button back to the screen.
namespace {
constexpr CMenuItem kAnalyMenu[ANALY_MENU_ITEMS] = {
    // text, colour, font, x, y, len, lines, flag, selBg, prev, next, enter, esc
    {{AnalyMenuText[0], LCD_BLUE, FONT_6X8, 1, 128, ANALY_LINE_LEN, -1, 0}, LCD_BLUE, -1, -1, 1, -1},
    {{AnalyMenuText[1], LCD_BLUE, FONT_6X8, 1, 136, ANALY_LINE_LEN, -1, 0}, LCD_BLUE, -1, -1, 2, -1},
    {{AnalyMenuText[2], LCD_BLUE, FONT_6X8, 1, 144, ANALY_LINE_LEN, -1, 0}, LCD_BLUE, -1, -1, 3, -1},
    {{AnalyMenuText[3], LCD_BLUE, FONT_6X8, 1, 152, ANALY_LINE_LEN, -1, 0}, LCD_BLUE, -1, -1, 0, -1},
};
static_assert(ValidMenu(kAnalyMenu, ANALY_MENU_ITEMS));
}  // namespace
CMenuItem AnalyMenu[ANALY_MENU_ITEMS] = {kAnalyMenu[0], kAnalyMenu[1], kAnalyMenu[2], kAnalyMenu[3]};

namespace {
constexpr std::int16_t S16(int v) { return static_cast<std::int16_t>(v); }
constexpr int kBaseY = 112;
constexpr int kMaxZoom = 4096;

// Templates as loaded, cut or blank-padded to the fixed line width so that
// the edits at fixed positions always land inside the buffer.
char g_lineTmpl[ANALY_MENU_ITEMS][ANALY_LINE_LEN + 1];
char g_paramLabel[4][4];  // "Pk ", "RMS", "P-P", "CF "
char g_unitMetric[3][5];
char g_unitUs[3][5];

CItem g_titleItem = {AnalyTitle, LCD_BLUE, FONT_TEXT, 1, 0, 10, -1, 0};

void LoadFixed(unsigned id, char* dest, std::size_t width, bool pad) {
  std::string s;
  LoadStr(id, s);
  std::size_t n = std::min(s.size(), width);
  std::memcpy(dest, s.data(), n);
  if (pad)
    for (; n < width; ++n) dest[n] = ' ';
  dest[n] = '\0';
}

// Copies exactly count characters of src to line[pos], blank-padded.
void PutField(char* line, int pos, const char* src, int count) {
  const int len = static_cast<int>(std::strlen(src));
  for (int i = 0; i < count && pos + i < ANALY_LINE_LEN; ++i) line[pos + i] = i < len ? src[i] : ' ';
}

int LastIndex() { return ANALY_LINES - Analy.first; }  // index of line 3200 in disp

bool Compressed() { return Analy.xscale > 0; }
int Pixels() { return Analy.xscale < 0 ? -Analy.xscale : 1; }

int ScreenY(std::int16_t v) { return kBaseY - YMul(Analy.yscale, v); }

// 16-bit coordinates for the clip, held at the type's limits.
std::int16_t Coord(int v) { return S16(std::clamp(v, -32768, 32767)); }

void PlotLine(int x0, int y0, int x1, int y1, std::uint16_t colour) {
  LcdClipLine(Coord(x0), Coord(y0), Coord(x1), Coord(y1), colour, 0, kAnalyPlot);
}

// Lines of compressed column c: start and count (0 = only the start line).
void ColumnRange(int c, int& start, int& count) {
  start = c * Analy.xscale;
  const int end = std::min(start + Analy.xscale, LastIndex());
  count = end - start;
}

void ColMinMax(int c, std::int16_t& lo, std::int16_t& hi) {
  int start, count;
  ColumnRange(c, start, count);
  lo = hi = Analy.disp[start];
  for (int i = 1; i < count; ++i) {
    lo = std::min(lo, Analy.disp[start + i]);
    hi = std::max(hi, Analy.disp[start + i]);
  }
}

// Index from first of the largest line of compressed column c.
int ColumnPeak(int c) {
  int start, count;
  ColumnRange(c, start, count);
  std::int16_t m;
  return start + ArgMax(Analy.disp + start, count, m);
}

void PlotColumns() {
  const int n = LastIndex() / Analy.xscale;
  int prevLo = 0, prevHi = 0;
  Analy.colN = Analy.col0;
  for (int x = 0; x <= 127 && Analy.col0 + x <= n; ++x) {
    const int c = Analy.col0 + x;
    std::int16_t lo, hi;
    ColMinMax(c, lo, hi);
    const int yLo = ScreenY(lo), yHi = ScreenY(hi);
    PlotLine(x, yLo, x, yHi, LCD_BLUE);
    // The first column has nothing on its left to join.
    if (x > 0) {
      if (prevLo < yHi)
        PlotLine(x - 1, prevLo, x - 1, yHi, LCD_BLUE);
      else if (prevHi > yLo)
        PlotLine(x, prevHi, x, yLo, LCD_BLUE);
    }
    prevLo = yLo;
    prevHi = yHi;
    Analy.colN = S16(c);
  }
}

void PlotLines() {
  const int p = Pixels();
  Analy.colN = Analy.col0;
  for (int k = Analy.col0, x = 0; x <= 127 && k + 1 < LastIndex() + 1; ++k, x += p) {
    PlotLine(x, ScreenY(Analy.disp[k]), x + p, ScreenY(Analy.disp[k + 1]), LCD_BLUE);
    Analy.colN = S16(k);
  }
}

void DrawXTicks() {
  const int p = Pixels();
  int a, b;
  if (Compressed()) {
    a = Analy.xscale * Analy.col0 + Analy.first;
    b = a + 128 * Analy.xscale;
  } else {
    a = Analy.col0 + Analy.first;
    b = a + 128 / p;
  }
  b = std::min(b, ANALY_LINES);
  const double df = Analy.fmax * 0.0003125;
  const double f0 = a * df, f1 = b * df;
  // A view that has scrolled onto the last line spans no frequencies.
  if (!(f1 > f0)) return;
  double step = std::pow(10.0, std::floor(std::log10(f1 - f0)));
  double m = std::ceil(f0 / step), o = std::floor(f1 / step);
  if (m == o) {
    step *= 0.1;
    m = std::ceil(f0 / step);
    o = std::floor(f1 / step);
  }
  const double freq[2] = {m * step, o * step};
  for (int i = 0; i < 2; ++i) {
    const int line = static_cast<int>(std::floor(freq[i] / df + 0.5)) - Analy.first;
    int x = Compressed() ? line / Analy.xscale - Analy.col0 : (line - Analy.col0) * p;
    x = std::clamp(x, 0, 127);
    LcdLine(S16(x), 113, S16(x), 115, LCD_BLACK, 0);
    char text[16];
    FmtStr(text, sizeof text, "%.0f", freq[i]);
    const int len = static_cast<int>(std::strlen(text));
    int start = x - 3 * len;
    if (i == 0) start = std::max(start, 1);
    if (i == 1) start = std::min(start, 127 - 6 * len);
    LcdChars6x8(S16(start), 117, LCD_BLACK, LCD_WHITE, text);
  }
}

void DrawYTick() {
  if (UsUnits != 0 || Analy.yscale <= 0) return;
  const int t = 3047331 / Analy.yscale;
  const float v = static_cast<float>(t) * Analy.amp;
  if (!(v >= 0.001f && v < 1000.0f)) return;
  const int e = static_cast<int>(std::floor(std::log10(v)));
  const double pe = std::pow(10.0, e);
  const double r = std::floor(v / pe) * pe;
  const int count = std::clamp(static_cast<int>(r / Analy.amp), 0, 32767);
  const int y = kBaseY - YMul(Analy.yscale, S16(count));
  char text[24];
  FmtStr(text, sizeof text, "%.3f", r);
  const std::size_t keep = static_cast<std::size_t>(e >= 0 ? e + 1 : 2 - e);
  if (keep < sizeof text) text[keep] = '\0';
  LcdLine(0, S16(y), 2, S16(y), LCD_BLACK, 0);
  LcdChars6x8(4, S16(std::max(y - 3, 21)), LCD_BLACK, LCD_WHITE, text);
}

void DrawSpec() {
  LcdErase(0, 20, 127, 127);
  LcdLine(0, 113, 127, 113, LCD_BLACK, 0);
  LcdLine(0, 20, 0, 112, LCD_BLACK, 0);
  if (Compressed())
    PlotColumns();
  else
    PlotLines();
  DrawXTicks();
  DrawYTick();
}

void DrawCursor() {
  int x, y;
  if (Compressed()) {
    std::int16_t lo, hi;
    ColMinMax(Analy.cur, lo, hi);
    x = Analy.cur - Analy.col0;
    y = ScreenY(hi);
  } else {
    x = Pixels() * (Analy.cur - Analy.col0);
    y = ScreenY(Analy.disp[Analy.cur]);
  }
  y = std::max(y, 20);
  PlotLine(x - 3, y + 3, x + 3, y - 3, LCD_RED);
  PlotLine(x - 3, y - 3, x + 3, y + 3, LCD_RED);
}

// Keeps the cursor at its screen column across a change of x scale.
void KeepCursor(std::int16_t old) {
  int px, line;
  if (old > 0) {
    px = Analy.cur - Analy.col0;
    int start = Analy.cur * old;
    int count = std::min<int>(old, LastIndex() - start);
    std::int16_t m;
    line = start + ArgMax(Analy.disp + start, count, m);
  } else {
    px = -old * (Analy.cur - Analy.col0);
    line = Analy.cur;
  }
  const int s = Analy.xscale;
  if (s > 0) {
    const int cur = line / s;
    const int n = LastIndex() / s;
    int col0;
    if (px >= cur)
      col0 = 0;
    else if (127 - px < n - cur)
      col0 = cur - px;
    else
      col0 = std::max(n - 128, 0);
    // That view ends one column before the last: a cursor on the last column
    // would fall off it, so it goes to x 127 instead.
    if (cur - col0 > 127) col0 = cur - 127;
    Analy.cur = S16(cur);
    Analy.col0 = S16(col0);
  } else {
    Analy.cur = S16(line);
    // Zooming out near the start would put the first line left of the data.
    Analy.col0 = S16(std::max(line - px / (-s), 0));
  }
}

// Parameter kind of the displayed quantity; out-of-range settings read as RMS.
int ParamType() {
  const std::int16_t t = Analy.quant == 0   ? CProgramState.TypeParamA
                         : Analy.quant == 1 ? CProgramState.TypeParamV
                                            : CProgramState.TypeParamS;
  return t >= 0 && t <= 2 ? t : 1;
}

bool Imperial() { return UsUnits != 0; }

void FormatTitle() {
  const int t = Analy.env ? 3 : ParamType();
  float v;
  if (Analy.env) {
    v = WaveStat(QTY_ACC).cf;
  } else {
    const int q = Analy.quant;
    v = t == 0 ? MeasVal[q + MV_PK] : t == 2 ? MeasVal[q + MV_PP] : MeasVal[q + MV_RMS];
    if (Imperial()) v *= ImperialFactor(q);
  }
  char value[32] = " ***";
  if (v >= 0.0f && v < 1000.0f) {
    char tmp[32];
    FmtStr(tmp, sizeof tmp, " %.2f", static_cast<double>(v));
    // 999.995 and up would print as 1000.00, one character past the title.
    if (std::strlen(tmp) <= 7) std::memcpy(value, tmp, sizeof tmp);
  }
  // Label and value are bounded; the title keeps at most its 10 characters.
  std::string title = std::string(g_paramLabel[t]) + value;
  title.resize(std::min(title.size(), sizeof AnalyTitle - 1));
  std::memcpy(AnalyTitle, title.c_str(), title.size() + 1);
}

void FormatMenuLines(int L) {
  for (int i = 0; i < ANALY_MENU_ITEMS; ++i) std::memcpy(AnalyMenuText[i], g_lineTmpl[i], ANALY_LINE_LEN + 1);
  char buf[40];
  const double freq = static_cast<double>(Analy.first + L) * Analy.fmax / 3200.0;
  FmtStr(buf, sizeof buf, "%.3f", freq);
  PutField(AnalyMenuText[0], 8, buf, 5);
  float a = static_cast<float>(Analy.disp[L]) * Analy.amp;
  if (Imperial()) a *= ImperialFactor(Analy.quant);
  if (a >= 0.0f && a < 10000.0f)
    FmtStr(buf, sizeof buf, "%.3f", static_cast<double>(a));
  else
    FmtStr(buf, sizeof buf, "*****");
  PutField(AnalyMenuText[0], 16, buf, 5);

  if (Analy.xscale > 0)
    FmtStr(buf, sizeof buf, "1:%-5d", Analy.xscale);
  else if (Analy.xscale == -1)
    FmtStr(buf, sizeof buf, "1:1    ");
  else
    FmtStr(buf, sizeof buf, "1:%.3f", -1.0 / Analy.xscale);
  PutField(AnalyMenuText[1], 10, buf, 7);

  // yzoom stays below 1000 (ybase is at least 93), so three digits suffice.
  FmtStr(buf, sizeof buf, "%-3d", Analy.yzoom);
  PutField(AnalyMenuText[2], 13, buf, 3);

  const int q = std::min<int>(Analy.quant, 2);
  PutField(AnalyMenuText[3], 12, Imperial() ? g_unitUs[q] : g_unitMetric[q], 4);
}

void DrawCursorBand(int L) {
  AnalyBandText[0] = '\0';
  if (L < 2) return;
  // The last lines of the band have no neighbours beyond line 3200.
  float r = BandRms(Analy.disp, S16(L - 2), S16(std::min(L + 2, LastIndex())), Analy.amp);
  const int t = Analy.quant == 0   ? CProgramState.TypeParamA
                : Analy.quant == 1 ? CProgramState.TypeParamV
                                   : CProgramState.TypeParamS;
  if (t == 0) r *= 1.4142136f;
  if (t == 2) r *= 2.8284271f;
  if (Imperial()) r *= ImperialFactor(Analy.quant);
  if (r >= 0.0f && r < 1000.0f) {
    char buf[32];
    FmtStr(buf, sizeof buf, "%.2f", static_cast<double>(r));
    FmtStr(AnalyBandText, sizeof AnalyBandText, "%.4s", buf);
  } else {
    FmtStr(AnalyBandText, sizeof AnalyBandText, "****");
  }
  LcdTextOut(94, 22, LCD_BLUE, LCD_WHITE, AnalyBandText);
}
}  // namespace

std::int16_t YMul(std::int16_t a, std::int16_t b) {
  const std::int32_t r = (static_cast<std::int32_t>(a) * b) >> 15;
  const std::int16_t v = static_cast<std::int16_t>(r);
  return v == -32768 ? std::int16_t{32767} : v;
}

int ArgMax(const std::int16_t* lines, int n, std::int16_t& max) {
  int best = 0;
  max = lines[0];
  for (int i = 1; i < n; ++i)
    if (lines[i] > max) max = lines[i], best = i;
  return best;
}

float ImperialFactor(int quant) { return quant == 0 ? 0.10204082f : 0.03937008f; }

std::int16_t MaxXScale() { return S16((ANALY_LINES + 1 - Analy.first) / 128 + 1); }

int CursorLine() { return Compressed() ? ColumnPeak(Analy.cur) : Analy.cur; }

void AnalyTexts() {
  for (int i = 0; i < ANALY_MENU_ITEMS; ++i)
    LoadFixed(179u + static_cast<unsigned>(i), g_lineTmpl[i], ANALY_LINE_LEN, true);
  for (int i = 0; i < 4; ++i) LoadFixed(2500u + static_cast<unsigned>(i), g_paramLabel[i], 3, false);
  for (int i = 0; i < 3; ++i) {
    LoadFixed(2510u + static_cast<unsigned>(i), g_unitMetric[i], 4, true);
    LoadFixed(2520u + static_cast<unsigned>(i), g_unitUs[i], 4, true);
  }
}

void AutoScaleY() {
  std::int16_t m;
  ArgMax(Analy.disp, LastIndex() + 1, m);
  Analy.yzoom = 1;
  Analy.ybase = m > 93 ? S16(3047424 / (m + 1)) : std::int16_t{32767};
  Analy.yscale = Analy.ybase;
}

void ZoomInY() {
  if (Analy.yscale == 32767) return;
  Analy.yzoom = S16(std::min(Analy.yzoom * 2, kMaxZoom));
  Analy.yscale = S16(std::min(Analy.ybase * Analy.yzoom, 32767));
}

void ZoomOutY() {
  Analy.yzoom = S16(std::max(Analy.yzoom / 2, 1));
  Analy.yscale = S16(std::min(Analy.ybase * Analy.yzoom, 32767));
}

std::int16_t NextXScale(std::int16_t s, bool zoomIn) {
  int r;
  if (zoomIn) {
    r = s > 0 ? s >> 1 : 2 * s;
    if (r == 1) r = -1;
    if (r < -8) r = -8;
  } else {
    r = s == -1 ? 2 : s > 0 ? 2 * s : s / 2;
    r = std::min<int>(r, MaxXScale());
  }
  return S16(r);
}

void ZoomInX() {
  if (Analy.xscale == -8) return;
  const std::int16_t old = Analy.xscale;
  Analy.xscale = NextXScale(old, true);
  KeepCursor(old);
}

void ZoomOutX() {
  if (Analy.xscale == MaxXScale()) return;
  const std::int16_t old = Analy.xscale;
  Analy.xscale = NextXScale(old, false);
  KeepCursor(old);
}

void CursorRight() {
  const int n = Compressed() ? LastIndex() / Analy.xscale : LastIndex();
  if (Analy.cur >= n) return;
  if (Analy.cur == Analy.colN) ++Analy.col0;
  ++Analy.cur;
}

void CursorLeft() {
  if (Analy.cur <= 0) return;
  if (Analy.cur == Analy.col0) --Analy.col0;
  --Analy.cur;
}

void SelectQty() {
  const float df = static_cast<float>(Analy.fmax) * 0.0003125f;
  const std::int16_t first = Analy.first;
  if (!Analy.velIn) {
    if (Analy.quant == 0) {
      Analy.disp = SpecRe + first;
      Analy.amp = Analy.ampIn;
    } else if (Analy.quant == 1) {
      SpecIntg(SpecRe, first, ANALY_LINES, Analy.ampIn, SpecIm, df, Analy.amp);
      Analy.disp = SpecIm + first;
    } else {
      float s;
      SpecIntg(SpecRe, first, ANALY_LINES, Analy.ampIn, SpecIm, df, s);
      SpecIntg(SpecIm, first, ANALY_LINES, s, SpecIm, df, Analy.amp);
      Analy.disp = SpecIm + first;
    }
  } else {
    if (Analy.quant == 0) {
      SpecDiff(SpecRe, first, ANALY_LINES, Analy.ampIn, SpecIm, df, Analy.amp);
      Analy.disp = SpecIm + first;
    } else if (Analy.quant == 1) {
      Analy.disp = SpecRe + first;
      Analy.amp = Analy.ampIn;
    } else {
      SpecIntg(SpecRe, first, ANALY_LINES, Analy.ampIn, SpecIm, df, Analy.amp);
      Analy.disp = SpecIm + first;
    }
  }
  AutoScaleY();
}

void AnalySetup(std::uint16_t state) {
  if (state == SCR_ANALYSIS_POINT) {
    Analy.env = CurPoint.env != 0 ? 1 : 0;
    // Route points keep their band only as fmax; off-route points also carry
    // the band index, which agrees with it.
    std::int16_t f = 0;
    for (std::int16_t hz : kAnalyBandHz)
      if (hz == static_cast<std::int16_t>(CurPoint.fmax)) f = hz;
    if (f == 0) f = kAnalyBandHz[CurPoint.range >= 0 && CurPoint.range <= 6 ? CurPoint.range : 5];
    Analy.fmax = Analy.env ? std::int16_t{1000} : f;
    Analy.velIn = (CurPoint.flags >> 1) & 1;
  } else {
    Analy.env = CProgramState.EnvMode != 0 ? 1 : 0;
    const int h = CProgramState.HighFrequency >= 0 && CProgramState.HighFrequency <= 6 ? CProgramState.HighFrequency : 5;
    Analy.fmax = Analy.env ? std::int16_t{1000} : kAnalyBandHz[h];
    Analy.velIn = CProgramState.LowBand != 0 ? 1 : 0;
  }
  Analy.quant = Analy.velIn ? 1 : 0;
  if (Analy.env) Analy.quant = 0;
  Analy.first = Analy.velIn ? S16((16000 + Analy.fmax - 1) / Analy.fmax) : std::int16_t{2};
  SpecCalc(Analy.first, ANALY_LINES, true, Analy.velIn ? QTY_VEL : QTY_ACC, Analy.amp);
  LcdErase(0, 0, 127, 159);
  Analy.ampIn = Analy.amp;
  Analy.disp = SpecRe + Analy.first;
  Analy.xscale = MaxXScale();
  Analy.cur = 0;
  Analy.col0 = 0;
  Analy.colN = 0;
  AutoScaleY();
}

void UpdateAnaly() {
  FormatTitle();
  const int L = CursorLine();
  FormatMenuLines(L);
  TraceLine("");
  TraceLine("UpdateAnaly()");
  TraceLine(AnalyMenuText[0]);
  DrawCursorBand(L);
}

void DrawAnaly() {
  DrawSpec();
  DrawCursor();
  UpdateAnaly();
  // A shorter title must not leave the end of the previous one behind.
  LcdErase(0, 0, 127, 19);
  DrawItem(g_titleItem, false, 0);
}

std::uint16_t AnalyScrn() {
  const bool point = CProgramState.MenuMode == SCR_ANALYSIS_POINT;
  AnalySetup(point ? SCR_ANALYSIS_POINT : SCR_ANALYSIS_WATCH);
  for (;;) {
    DrawAnaly();
    const int key = MenuSelect(AnalyMenu, ANALY_MENU_ITEMS);
    const int item = CProgramState.MenuItem;
    if (key == 1) {
      if (item == 0) CursorRight();
      if (item == 1) ZoomInX();
      if (item == 2) ZoomOutY();
      if (item == 3 && !Analy.env) {
        Analy.quant = static_cast<std::uint8_t>(Analy.quant == 2 ? 0 : Analy.quant + 1);
        SelectQty();
      }
    } else if (key == 3) {
      if (item == 0) CursorLeft();
      if (item == 1) ZoomOutX();
      if (item == 2) ZoomInY();
      if (item == 3 && !Analy.env) {
        Analy.quant = static_cast<std::uint8_t>(Analy.quant == 0 ? 2 : Analy.quant - 1);
        SelectQty();
      }
    } else if (key == 2) {
      CProgramState.MenuItem = 2;
      return point ? SCR_POINT : SCR_MAIN;
    }
  }
}
