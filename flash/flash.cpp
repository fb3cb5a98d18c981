#include "flash.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "host.h"
#include "numtext.h"

std::vector<CPoint> RouteStore;
std::vector<CPoint> OffRouteStore;
CPoint CurPoint{};

namespace {

CPoint BlankPoint() {
  CPoint p;
  std::memset(&p, 0xFF, sizeof p);
  return p;
}

// Which record a point number addresses; null when it has none. The screens
// only use numbers the counts vouch for, but a wrong one must not reach past
// the end of a store.
CPoint* Record(std::int16_t n) {
  const auto routeCount = static_cast<std::int32_t>(RouteStore.size());
  if (n < 1 || n > MAX_POINTS) return nullptr;
  if (n <= routeCount) return &RouteStore[static_cast<std::size_t>(n - 1)];
  const auto k = static_cast<std::size_t>(MAX_POINTS - n);
  return k < OffRouteStore.size() ? &OffRouteStore[k] : nullptr;
}

// Copies a loaded text into a fixed field, cut to leave the terminator, the
// rest zeroed.
void PutText(char (&field)[32], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// Fills the first "%<width>d" of a loaded template; the table's text is not
// trusted as a printf format.
std::string FormatNumber(const std::string& templ, int value) {
  const std::size_t pct = templ.find('%');
  if (pct == std::string::npos) return templ;
  std::size_t i = pct + 1;
  std::size_t width = 0;
  while (i < templ.size() && templ[i] >= '0' && templ[i] <= '9' && width < 32)
    width = width * 10 + static_cast<std::size_t>(templ[i++] - '0');
  if (i >= templ.size() || templ[i] != 'd') return templ;
  char num[16];
  FmtStr(num, sizeof num, "%d", value);
  std::string digits = num;
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return templ.substr(0, pct) + digits + templ.substr(i + 1);
}


struct TDemoParam {
  std::uint16_t kind, qty;
  std::uint16_t unit;  // when not zero the slot holds a unit code, no band
  float flo, fhi, warn, alarm;
};

struct TDemoPoint {
  unsigned machine, name;
  std::int16_t orient;
  std::uint16_t flags, fmax;
  std::int16_t wave;
  TDemoParam par[2];
};

constexpr TDemoParam kNone{0, 0, 0, 0.0f, 0.0f, 0.0f, 0.0f};
constexpr TDemoParam Band(float warn, float alarm) { return {6, 102, 0, 10.0f, 1000.0f, warn, alarm}; }
constexpr TDemoParam Unit(std::uint16_t kind, std::uint16_t qty) { return {kind, qty, qty, 0.0f, 0.0f, 0.0f, 0.0f}; }
constexpr TDemoParam Harmonic(std::uint16_t qty) { return {10, qty, 0, 10.0f, 1.0f, 0.0f, 0.0f}; }

constexpr TDemoPoint kDemoRoute[13] = {
    {701, 704, 0, 3, 1000, 1, {Band(10.0f, 20.0f), Unit(4, 102)}},
    {701, 705, 0, 3, 1000, 1, {Band(5.0f, 10.0f), Harmonic(102)}},
    {701, 706, 2, 3, 2000, 1, {Band(2.0f, 5.0f), Unit(2, 102)}},
    {701, 707, 1, 0, 4000, 1, {Band(0.0f, 0.0f), Unit(2, 101)}},
    {701, 708, 0, 0, 5000, 1, {Band(0.0f, 0.0f), Harmonic(101)}},
    {702, 709, 2, 0, 5000, 0, {kNone, kNone}},
    {702, 710, 1, 0, 5000, 0, {kNone, kNone}},
    {702, 711, 0, 0, 5000, 0, {kNone, kNone}},
    {703, 712, 0, 0, 10000, 1, {Band(0.0f, 0.0f), Band(10.0f, 20.0f)}},
    {703, 713, 0, 0, 10000, 1, {Band(0.0f, 0.0f), Band(5.0f, 10.0f)}},
    {703, 714, 2, 0, 20000, 1, {Band(0.0f, 0.0f), Band(2.0f, 5.0f)}},
    {703, 715, 1, 0, 20000, 1, {Band(0.0f, 0.0f), Band(0.0f, 0.0f)}},
    {703, 716, 0, 0, 20000, 1, {Band(0.0f, 0.0f), Band(0.0f, 0.0f)}},
};

void PutParam(CParam& p, const TDemoParam& d) {
  std::memset(&p, 0, sizeof p);
  p.kind = d.kind;
  p.qty = d.qty;
  if (d.unit) {
    p.unit = d.unit;
  } else {
    p.flo = d.flo;
    p.fhi = d.fhi;
  }
  p.warn = d.warn;
  p.alarm = d.alarm;
}

}  // namespace

void NameOffRoutePoint(CPoint& p, int k) {
  PutText(p.machine, LoadStr(2110));
  PutText(p.name, FormatNumber(LoadStr(1550), k));
}

CPoint* ReadPoint(std::int16_t n) {
  const CPoint* rec = Record(n);
  if (!rec) return &CurPoint;  // no such record: the working copy stays as it was
  CurPoint = *rec;
  if (n > static_cast<std::int32_t>(RouteStore.size())) {
    NameOffRoutePoint(CurPoint, MAX_POINTS + 1 - n);
    CurPoint.orient = 0;
  }
  return &CurPoint;
}

std::int16_t WritePoint(std::int16_t n, CPoint* point, const std::uint16_t*, const std::int16_t*, std::int32_t,
                        std::int32_t, std::int32_t) {
  CPoint* rec = Record(n);
  if (!rec || !point) return FLASH_ERROR;  // nothing stored, the caller shows a memory error
  point->valid = POINT_VALID;
  point->valid2 = POINT_VALID;
  *rec = *point;
  return 0;
}

std::int16_t PointMachine(std::int16_t n, char* dest) {
  if (!dest) return FLASH_ERROR;
  dest[0] = '\0';
  if (n < 1 || n > static_cast<std::int32_t>(RouteStore.size())) return FLASH_ERROR;
  // A blank record's name is all 0xFF with no terminator.
  const CPoint& p = RouteStore[static_cast<std::size_t>(n - 1)];
  const void* end = std::memchr(p.machine, '\0', sizeof p.machine);
  const std::size_t len = end ? static_cast<std::size_t>(static_cast<const char*>(end) - p.machine) : sizeof p.machine - 1;
  std::memcpy(dest, p.machine, len);
  dest[len] = '\0';
  return 0;
}

void GetPointCounts(std::int16_t* c) {
  std::size_t m = OffRouteStore.size();
  if (m > 0 && OffRouteStore.back().valid != POINT_VALID) --m;
  c[0] = static_cast<std::int16_t>(m);
  c[1] = static_cast<std::int16_t>(RouteStore.size());
}

std::int16_t SetPointCounts(const std::int16_t* c) {
  // Negative counts, or counts whose number ranges would meet, cannot be
  // addressed; refused whole rather than half applied.
  if (c[0] < 0 || c[1] < 0 || c[0] + c[1] > MAX_POINTS) return FLASH_ERROR;
  RouteStore.resize(static_cast<std::size_t>(c[1]), BlankPoint());
  OffRouteStore.resize(static_cast<std::size_t>(c[0]), BlankPoint());
  return 0;
}

std::int16_t DeleteRoute() {
  std::int16_t c[2];
  GetPointCounts(c);
  c[1] = 0;
  return SetPointCounts(c);
}

std::int16_t DeleteOffRoute() {
  std::int16_t c[2];
  GetPointCounts(c);
  c[0] = 0;
  return SetPointCounts(c);
}

void AddOffRouteSlot() {
  if (!OffRouteStore.empty() && OffRouteStore.back().valid != POINT_VALID) return;
  // A full memory gets no slot; storing the measurement then reports the error.
  if (RouteStore.size() + OffRouteStore.size() >= static_cast<std::size_t>(MAX_POINTS)) return;
  OffRouteStore.push_back(BlankPoint());
}

void BuildDemoRoute(float gain) {
  // Started afresh: appending to an old route would keep its first 13 records.
  RouteStore.clear();
  RouteStore.reserve(std::size(kDemoRoute));
  std::int16_t num = 1;
  for (const TDemoPoint& d : kDemoRoute) {
    CPoint p;
    std::memset(&p, 0, sizeof p);
    PutText(p.machine, LoadStr(d.machine));
    PutText(p.name, LoadStr(d.name));
    p.num = num++;
    p.orient = d.orient;
    p.gain = gain;
    p.sensor = 101;
    p.env = 0;
    p.flags = d.flags;
    p.fmax = d.fmax;
    p.wave = d.wave;
    p.opt = 1;
    PutParam(p.par[0], d.par[0]);
    PutParam(p.par[1], d.par[1]);
    RouteStore.push_back(p);
  }
  // The counts are set as after any change of the route: a trailing free
  // off-route slot goes with it.
  std::int16_t c[2];
  GetPointCounts(c);
  c[1] = static_cast<std::int16_t>(std::size(kDemoRoute));
  SetPointCounts(c);
}
