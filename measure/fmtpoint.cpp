#include "fmtpoint.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <string>

#include "flash.h"
#include "host.h"
#include "lcd.h"
#include "numtext.h"
#include "state.h"
#include "texts.h"

char txtPoint[TXT_POINT_SIZE];
char txtMode[TXT_MODE_SIZE];
char txtSpeed[TXT_SPEED_SIZE];
char txtLabel1[TXT_LABEL_SIZE];
char txtValue1[TXT_VALUE_SIZE];
char txtUnit1[TXT_UNIT_SIZE];
char txtPhase1[TXT_PHASE_SIZE];
std::uint32_t colValue1 = LCD_WHITE;
char txtLabel2[TXT_LABEL_SIZE];
char txtValue2[TXT_VALUE_SIZE];
char txtUnit2[TXT_UNIT_SIZE];
char txtPhase2[TXT_PHASE_SIZE];
std::uint32_t colValue2 = LCD_WHITE;
char txtTime[TXT_TIME_SIZE];

const char* const kUnitTexts[UNIT_TEXT_COUNT] = {"", "m/s\x80", "mm/s", "\x81m", "Hz ", "RPM", "Rad", "deg"};

char* TxtRoute() { return FwText(TX_ROUTE); }
char* TxtMachine() { return FwText(TX_AGGREGATE); }

namespace {
constexpr double kRadToDeg = 180.0 * 0.31830988148145367;
constexpr char kRightEdge[] = "\x09\x80";  // tab to the right edge: the row's band spans the screen

// Appends to a fixed buffer and never past it; what does not fit is cut.
class TBoundedText {
 public:
  TBoundedText(char* buf, std::size_t size) : buf_(buf), size_(size) {
    if (size_ > 0) buf_[0] = '\0';
  }
  void Add(const char* s) { AddN(s, std::strlen(s)); }
  void Add(const std::string& s) { AddN(s.data(), s.size()); }
  // Appends s cut so that `keep` bytes still fit after it.
  void AddLeaving(const char* s, std::size_t maxLen, std::size_t keep) {
    std::size_t n = strnlen(s, maxLen);
    const std::size_t room = Room() > keep ? Room() - keep : 0;
    AddN(s, n < room ? n : room);
  }
  __attribute__((format(printf, 2, 3))) void Fmt(const char* fmt, ...) {
    char tmp[64];
    va_list ap;
    va_start(ap, fmt);
    const int n = VFmtStr(tmp, sizeof tmp, fmt, ap);
    va_end(ap);
    if (n > 0) Add(tmp);
  }
  std::size_t Room() const { return size_ > len_ + 1 ? size_ - len_ - 1 : 0; }

 private:
  void AddN(const char* s, std::size_t n) {
    if (size_ == 0) return;
    if (n > Room()) n = Room();
    std::memcpy(buf_ + len_, s, n);
    len_ += n;
    buf_[len_] = '\0';
  }
  char* buf_;
  std::size_t size_;
  std::size_t len_ = 0;
};


// Truncation toward zero, saturating where the plain conversion is undefined.
int TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

bool IsBandKind(std::uint16_t kind) { return kind >= 6 && kind <= 8; }
bool IsHarmonicKind(std::uint16_t kind) { return kind >= 10 && kind <= 12; }

struct TSlotTexts {
  char* label;
  char* value;
  char* unit;
  char* phase;
  std::uint32_t* colour;
};

void ClearSlot(const TSlotTexts& t) {
  t.label[0] = t.value[0] = t.unit[0] = t.phase[0] = '\0';
  *t.colour = LCD_WHITE;
}

// One parameter box: label with band or order, value, unit, phase, colour.
// warnBit is the slot's warning bit in status; the alarm bit is the next one.
void FmtSlot(const CParam& par, float val, float phase, bool measured, int warnBit, const TSlotTexts& t) {
  ClearSlot(t);
  TBoundedText label(t.label, TXT_LABEL_SIZE);
  label.Add(LoadStr(ParamLabelId(par.kind)));
  if (IsBandKind(par.kind)) {
    label.Fmt("%2.0f-%2.0f", static_cast<double>(par.flo), static_cast<double>(par.fhi));
  } else if (par.kind == 9 || par.kind == 13) {
    label.Fmt("x%.1f", static_cast<double>(par.order));
  } else if (IsHarmonicKind(par.kind)) {
    label.Fmt("x%.1f ", static_cast<double>(par.order));
    if (CProgramState.PhaseDisplay == 1) {
      TBoundedText ph(t.phase, TXT_PHASE_SIZE);
      if (measured)
        ph.Fmt("%d\x7F", TruncToInt(static_cast<double>(phase) * kRadToDeg + 0.5));
      else
        ph.Add("-- \x7F");
    }
  }
  if (par.kind == 0) return;

  TBoundedText value(t.value, TXT_VALUE_SIZE);
  TBoundedText(t.unit, TXT_UNIT_SIZE).Add(kUnitTexts[ParamUnitIndex(par.kind, par.qty, par.unit)]);
  if (!measured || !(val >= 0.0f)) {  // a NaN is no value either
    value.Add("----");
    return;
  }
  value.Fmt("%.2f", static_cast<double>(val));  // cut to its first five characters
  if (par.alarm > 0.0f || par.warn > 0.0f) *t.colour = LCD_LIGHT_GREEN;
  if (CurPoint.status & (1u << warnBit)) *t.colour = LCD_LIGHT_YELLOW;
  if (CurPoint.status & (1u << (warnBit + 1))) *t.colour = LCD_LIGHT_RED;
}

void FmtSpeed(const CPoint& p) {
  TBoundedText s(txtSpeed, TXT_SPEED_SIZE);
  if (p.wave == 0) return;
  const bool known = p.rot > 0.0f;
  if (CProgramState.FreqDimension == 201) {
    if (known)
      s.Fmt("%.2f ", static_cast<double>(p.rot));
    else
      s.Add("--- ");
    s.Add(LoadStr(2103));
  } else {
    if (!known)
      s.Add("--- ");
    else if (LangId == 1049)
      s.Fmt("%d ", TruncToInt(static_cast<double>(p.rot) * 60.0 + 0.5));
    else
      s.Fmt("%d\x02", TruncToInt(static_cast<double>(p.rot) * 60.0 + 0.5));
    s.Add(LoadStr(2104));
  }
}

void FmtTime(const CPoint& p, bool measured) {
  TBoundedText s(txtTime, TXT_TIME_SIZE);
  if (!measured) return;
  const int year = p.mtime[0] - 2000, month = p.mtime[1], day = p.mtime[2];
  const int hour = p.mtime[3], minute = p.mtime[4];
  if (hour > 24 || minute > 59)
    s.Add("xx:xx");
  else
    s.Fmt("%02d:%02d", hour, minute);
  // A year before 2000 has no two-digit form either.
  if (day > 31 || month > 12 || year > 99 || year < 0)
    s.Add("   xx.xx.xx");
  else
    s.Fmt("   %02d.%02d.%02d", day, month, year);
}
}  // namespace

int ParamUnitIndex(std::uint16_t kind, std::uint16_t qty, std::uint16_t unit) {
  if (IsBandKind(kind) || IsHarmonicKind(kind)) {
    switch (qty) {
      case 101: return 1;
      case 102: return 2;
      case 103: return 3;
      default: return 0;
    }
  }
  if (kind == 5) return 0;  // a crest factor has no unit
  switch (unit) {
    case 101: return 1;
    case 102: return 2;
    case 103: return 3;
    case 201: return 4;
    case 202: return 5;
    case 501: return 6;
    case 502: return 7;
    default: return 0;
  }
}

unsigned ParamLabelId(std::uint16_t kind) {
  switch (kind) {
    case 0: return 2300;
    case 1: return 2301;
    case 3: case 7: case 11: return 2303;
    case 4: case 8: case 12: return 2304;
    case 5: return 2305;
    case 9: return 2306;
    case 13: return 2307;
    default: return kind <= 13 ? 2302u : 2300u;  // no such kind: no label
  }
}

void FmtPoint() {
  std::int16_t c[2];
  GetPointCounts(c);
  const bool offRoute = CProgramState.npnt > c[1];
  const CPoint& p = CurPoint;
  const bool measured = p.valid == POINT_VALID;
  const std::size_t nameMax = sizeof p.machine;  // a blank record has no terminator
  const std::size_t tail = sizeof kRightEdge - 1;

  // The rows are the loaded templates: never longer than they were loaded.
  const std::size_t routeSize = std::min(FwTextLen(TX_ROUTE), POINT_ROW_CHARS) + 1;
  const std::size_t machineSize = std::min(FwTextLen(TX_AGGREGATE), POINT_ROW_CHARS) + 1;
  {
    TBoundedText m(TxtMachine(), machineSize);
    if (!offRoute) {
      m.AddLeaving(p.machine, nameMax, tail);
      m.Add(kRightEdge);
    }
  }
  {
    TBoundedText pt(txtPoint, TXT_POINT_SIZE);
    static constexpr unsigned kOrient[3] = {2107, 2108, 2109};
    if (p.orient >= 0 && p.orient <= 2) pt.Add(LoadStr(kOrient[p.orient]));
    pt.AddLeaving(p.name, nameMax, tail);
    pt.Add(kRightEdge);
  }
  {
    TBoundedText r(TxtRoute(), routeSize);
    const std::string route = LoadStr(offRoute ? 2110 : 700);
    r.AddLeaving(route.c_str(), route.size(), tail);
    r.Add(kRightEdge);
  }
  {
    TBoundedText mode(txtMode, TXT_MODE_SIZE);
    if (offRoute && !measured) {
      mode.Add(" ---");
    } else if (p.env == 1) {
      mode.Add(LoadStr(2201));
    } else {
      mode.Add(LoadStr(2200));
      mode.Fmt("%2dk", p.fmax / 1000);
    }
  }
  FmtSpeed(p);
  FmtSlot(p.par[0], p.val[0], p.phase[0], measured, 0, {txtLabel1, txtValue1, txtUnit1, txtPhase1, &colValue1});
  if (p.par[1].kind < 1)
    ClearSlot({txtLabel2, txtValue2, txtUnit2, txtPhase2, &colValue2});
  else
    FmtSlot(p.par[1], p.val[1], p.phase[1], measured, 2, {txtLabel2, txtValue2, txtUnit2, txtPhase2, &colValue2});
  FmtTime(p, measured);
}
