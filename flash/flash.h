#pragma once
// The instrument's point memory: route points and off-route points as fixed
// 384-byte records, and one working copy through which every screen reads and
// writes. Lives for one program run; device thread only.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

static_assert(std::endian::native == std::endian::little, "records are stored little-endian as in memory");

constexpr std::uint16_t POINT_VALID = 0x0AAA;
// Point numbers: route points 1..R upward, off-route points 478 downward.
constexpr std::int16_t MAX_POINTS = 478;
// Store result the firmware shows as a memory error.
constexpr std::int16_t FLASH_ERROR = -100;

// One parameter slot of a point.
struct CParam {
  std::uint16_t kind;  // 1..13; 0 = empty slot
  std::uint16_t qty;   // 101 acceleration, 102 velocity, 103 displacement
  union {
    std::uint16_t unit;  // unit code in the first two bytes, the rest zero
    float flo;           // lower band edge in Hz
  };
  union {
    float fhi;    // upper band edge in Hz
    float order;  // harmonic order
  };
  float warn;   // 0 or less = none
  float alarm;  // 0 or less = none
};

struct CPoint {
  std::uint16_t valid;  // POINT_VALID, 0 = set up but never measured, 0xFFFF = blank slot
  std::uint16_t wchk;   // waveform check value
  std::uint8_t rsv0[80];
  char machine[32];  // zero-terminated, code page 1251
  char name[32];
  std::uint8_t rsv1[32];
  std::int16_t num;     // number shown to the user
  std::int16_t orient;  // 0 horizontal, 1 vertical, 2 axial
  float gain;
  std::int16_t sensor;
  std::int16_t env;     // 1 = envelope band
  std::uint16_t flags;  // bit 0 to the acquisition; bit 1 velocity sensor signal
  std::uint16_t fmax;   // Hz
  std::int16_t wave;    // 1 = keeps the waveform
  std::int16_t opt;
  CParam par[3];
  std::uint16_t mtime[6];  // year, month, day, hour, minute, second
  std::int32_t rsv2[2];
  std::uint16_t status;  // bit 15 overload; bit 2i warning, 2i+1 alarm of par[i]
  std::int16_t qty;      // 101 acceleration, 102 velocity
  float scale;           // engineering units per ADC count
  float offset;          // value of a stored sample of 0
  std::int32_t winfo;    // 2048000 when the waveform is kept, else 0
  std::int32_t tachoIdx;
  float rot;       // rotation frequency in Hz
  float val[3];    // -1 = not measured
  float phase[3];  // radians; -1 = none
  std::int32_t extra[10];
  std::uint16_t valid2;  // second copy of valid
  std::uint8_t rsv3[6];
  std::int16_t range;  // band index 0..6 of an off-route point
  std::uint8_t rsv4[6];
};

static_assert(sizeof(float) == 4);
static_assert(sizeof(CParam) == 20);
static_assert(offsetof(CParam, kind) == 0 && offsetof(CParam, qty) == 2 && offsetof(CParam, unit) == 4 &&
              offsetof(CParam, flo) == 4 && offsetof(CParam, fhi) == 8 && offsetof(CParam, order) == 8 &&
              offsetof(CParam, warn) == 12 && offsetof(CParam, alarm) == 16);
static_assert(sizeof(CPoint) == 384);
static_assert(offsetof(CPoint, valid) == 0 && offsetof(CPoint, wchk) == 2 && offsetof(CPoint, machine) == 84 &&
              offsetof(CPoint, name) == 116 && offsetof(CPoint, num) == 180 && offsetof(CPoint, orient) == 182 &&
              offsetof(CPoint, gain) == 184 && offsetof(CPoint, sensor) == 188 && offsetof(CPoint, env) == 190 &&
              offsetof(CPoint, flags) == 192 && offsetof(CPoint, fmax) == 194 && offsetof(CPoint, wave) == 196 &&
              offsetof(CPoint, opt) == 198 && offsetof(CPoint, par) == 200 && offsetof(CPoint, mtime) == 260 &&
              offsetof(CPoint, rsv2) == 272 && offsetof(CPoint, status) == 280 && offsetof(CPoint, qty) == 282 &&
              offsetof(CPoint, scale) == 284 && offsetof(CPoint, offset) == 288 && offsetof(CPoint, winfo) == 292 &&
              offsetof(CPoint, tachoIdx) == 296 && offsetof(CPoint, rot) == 300 && offsetof(CPoint, val) == 304 &&
              offsetof(CPoint, phase) == 316 && offsetof(CPoint, extra) == 328 && offsetof(CPoint, valid2) == 368 &&
              offsetof(CPoint, range) == 376);

extern std::vector<CPoint> RouteStore;
extern std::vector<CPoint> OffRouteStore;
extern CPoint CurPoint;

// Copies record n into CurPoint. An off-route point always shows as "Off-route"
// / "POINT n" in the current language, orientation 0. A number without a
// record leaves CurPoint as it was.
CPoint* ReadPoint(std::int16_t n);

// Names off-route point k (1, 2, ...) as the user sees it, in the current
// language: "Off-route" and "POINT k".
void NameOffRoutePoint(CPoint& p, int k);

// Marks the record valid and stores it as record n; 0, or FLASH_ERROR for a
// number without a record (then nothing changes). The waveform arguments
// describe storage that this memory does not keep.
std::int16_t WritePoint(std::int16_t n, CPoint* point = &CurPoint, const std::uint16_t* mtime = nullptr,
                        const std::int16_t* wave = nullptr, std::int32_t blocks = 0, std::int32_t x1 = -1,
                        std::int32_t x2 = -1);

// Machine name of route point n into dest (at least 32 bytes, always
// terminated); FLASH_ERROR and an empty text when there is no such point.
std::int16_t PointMachine(std::int16_t n, char* dest);

// c[0] = off-route records holding data (a trailing blank slot not counted),
// c[1] = route records.
void GetPointCounts(std::int16_t* c);
// Resizes the route store to c[1] and the off-route store to c[0] records,
// dropping from the end or appending blank records.
std::int16_t SetPointCounts(const std::int16_t* c);
std::int16_t DeleteRoute();
std::int16_t DeleteOffRoute();
// Appends a blank off-route record unless the last one is still unused.
void AddOffRouteSlot();
// The 13-point demonstration route in the current language.
void BuildDemoRoute(float gain = 1.0f);
