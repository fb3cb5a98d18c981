#include "measpoint.h"

#include <cstring>
#include <string>

#include "asktacho.h"
#include "computing.h"
#include "flash.h"
#include "host.h"
#include "lcd.h"
#include "rotation.h"
#include "state.h"
#include "text.h"

const std::uint16_t kPointBandHz[POINT_BANDS] = {1000, 2000, 4000, 5000, 10000, 20000};
const float kPointBandRes[POINT_BANDS] = {0.3125f, 0.625f, 1.25f, 1.5625f, 3.125f, 6.25f};

namespace {
// The acquisition hooks of this device, which has no signal input: the
// acquisition reports success and fills nothing; the values come from the
// demonstration data of the signal computations.
std::uint16_t WaveAcq(int, unsigned, int, unsigned, std::int32_t) { return 0; }
std::uint16_t WaveCheck(const void*, std::int32_t) { return 0; }
float MeasValAt(const CMeasVal& m, int i) { return i >= 0 && i < 10 ? m.v[i] : -1.0f; }

constexpr double kRadToDeg = 180.0 * 0.31830988148145367;
constexpr std::int32_t WAVE_SAMPLES = 8192;
constexpr std::int32_t WAVE_BLOCKS = 4;
constexpr std::int32_t WAVE_INFO = 2048000;


// Index of a quantity inside a CMeasVal group of three.
int QtyIndex(std::uint16_t qty) { return qty == 102 ? 1 : (qty == 103 ? 2 : 0); }

// Derives slot i of CurPoint; true when the value is judged against levels.
bool MeasureSlot(int i, const CWaveStat& stat) {
  CPoint& p = CurPoint;
  const CParam& par = p.par[i];
  const auto unitIsInput = par.unit == static_cast<std::uint16_t>(p.qty);
  float& val = p.val[i];
  p.phase[i] = -1.0f;
  switch (par.kind) {
    case 1:
      val = unitIsInput ? 0.0f : -1.0f;
      return false;
    case 2: val = unitIsInput ? stat.rms : -1.0f; return true;
    case 3: val = unitIsInput ? stat.pk : -1.0f; return true;
    case 4: val = unitIsInput ? stat.pp : -1.0f; return true;
    case 5: val = unitIsInput ? stat.cf : -1.0f; return true;
    case 6:
    case 7:
    case 8: {
      CMeasVal mv{};
      BandValues(mv, p.range, p.flags, p.qty, par.flo, par.fhi);
      val = MeasValAt(mv, QtyIndex(par.qty) + (par.kind - 6) * 3);
      return true;
    }
    case 9:
      PhaseMeas(p.range, par.order);
      val = par.unit == 501 ? DemoPhase : static_cast<float>(static_cast<double>(DemoPhase) * kRadToDeg);
      return true;
    case 10:
    case 11:
    case 12: {
      CMeasVal mv{};
      HarmValues(mv, p.range, p.flags, p.qty, par.order);
      val = MeasValAt(mv, QtyIndex(par.qty) + (par.kind - 10) * 3);
      PhaseMeas(p.range, par.order);
      p.phase[i] = DemoPhase;
      return true;
    }
    case 13:
      val = TachoPeriod > 0.0f ? 1.0f / TachoPeriod : -1.0f;
      if (par.unit == 202) val *= 60.0f;
      if (par.order > 0.0f) val *= par.order;
      return false;
    default:
      return false;  // an empty slot keeps its value
  }
}
}  // namespace

void MeasPoint() {
  CPoint& p = CurPoint;
  if (p.valid == POINT_VALID && !AskYesNo(LoadStr(2400), LCD_BLUE)) return;
  std::int16_t c[2];
  GetPointCounts(c);
  const std::int16_t routeCount = c[1];
  const std::int16_t n = CProgramState.npnt;
  if (n > routeCount) SetPointBand();
  if (p.wave == 1 && !AskTacho(LoadStr(2401), LCD_BLUE)) return;
  ShowMeasuring();

  const auto flag0 = static_cast<std::uint16_t>(p.flags & 1);
  const bool velocity = (p.flags & 2) != 0;
  std::uint16_t acq;
  if (p.env == 0)
    acq = WaveAcq(velocity ? 0 : 2, p.fmax, 1000, flag0, WAVE_SAMPLES);
  else
    acq = WaveAcq(1, 20000, 1000, flag0, WAVE_SAMPLES);
  p.qty = velocity ? 102 : 101;

  TRtc now;
  ReadRtc(now);
  p.mtime[0] = now.year;
  p.mtime[1] = now.month;
  p.mtime[2] = now.day;
  p.mtime[3] = now.hour;
  p.mtime[4] = now.minute;
  p.mtime[5] = now.second;
  p.rsv2[0] = p.rsv2[1] = 0;

  const float sens = p.qty == 102 ? DeviceInfo.SensVel : DeviceInfo.SensAcc;
  p.scale = static_cast<float>(0.04577706569008926 / static_cast<double>(sens * DeviceInfo.Gain));
  p.offset = p.scale * -32768.0f;

  CWaveStat stat{};
  WaveStat(stat, p.qty);
  bool warn[3] = {}, alarm[3] = {};
  for (int i = 0; i < 3; ++i) {
    if (MeasureSlot(i, stat)) {
      warn[i] = p.par[i].warn < p.val[i];
      alarm[i] = p.par[i].alarm < p.val[i];
    }
  }
  p.status = (acq & ADC_OVERLOAD) ? POINT_OVERLOAD : 0;
  for (int i = 0; i < 3; ++i) {
    if (!(p.par[i].alarm > 0.0f || p.par[i].warn > 0.0f)) continue;
    if (warn[i]) p.status = static_cast<std::uint16_t>(p.status | (1u << (2 * i)));
    if (alarm[i]) p.status = static_cast<std::uint16_t>(p.status | (1u << (2 * i + 1)));
  }

  for (std::int32_t& e : p.extra) e = -1;
  p.rot = RotFreq;
  p.winfo = 0;
  p.tachoIdx = 0;
  std::int32_t blocks = 0;
  if (p.wave == 1) {
    p.winfo = WAVE_INFO;
    p.tachoIdx = -1;  // tachometer counter - 1; no tachometer counts here
    if (!(acq & NO_TACHO)) blocks = WAVE_BLOCKS;
  }
  p.wchk = WaveCheck(nullptr, WAVE_SAMPLES);

  // The store keeps no waveform, so none is handed over.
  std::int16_t result = WritePoint(n, &p, p.mtime, nullptr, blocks, -1, -1);
  if (result == 0) {
    GetPointCounts(c);
    // The newest off-route point now holds data: make room for the next one,
    // unless the memory is full (the point itself is stored all the same).
    if (c[0] > 0 && n == MAX_POINTS + 1 - c[0] && c[0] + c[1] < MAX_POINTS) {
      ++c[0];
      result = SetPointCounts(c);
    }
  }
  LcdRefresh();
  // Only this measurement's own store clears an earlier memory error: one
  // that was declined leaves it for "Erase memory" to take on.
  if (result != FLASH_ERROR) CProgramState.StoreStatus = result;

  if (result == FLASH_ERROR) {
    ShowMsg(LoadStr(1903), 1, LCD_RED);
    CProgramState.MenuItem = 0;
    CProgramState.StoreStatus = FLASH_ERROR;
  } else if (acq & ADC_OVERLOAD) {
    ShowMsg(LoadStr(2403), 1, LCD_RED);
  } else if ((acq & NO_TACHO) && n <= routeCount) {
    ShowMsg(LoadStr(2404), 1, LCD_RED);
  } else if (n == routeCount) {
    ShowMsg(LoadStr(2405), 1, LCD_BLUE);
    LcdRefresh();
  } else if (CProgramState.AutoStepEn == 1) {
    PutKey(KEY_STEP);
  }
}

void WatchMeas(std::int16_t band) {
  static constexpr std::uint16_t kRange[7] = {1000, 2000, 4000, 5000, 10000, 20000, 20000};
  // The band list only offers 0..6; anything else would read past the table.
  if (band < 0 || band > 6) band = 5;
  CProgramState.HighFrequency = band;
  ShowMeasuring();
  const int mode = band == 6 ? 1 : (band < 2 ? 0 : 2);
  const std::uint16_t acq = WaveAcq(mode, kRange[band], 1000, 0, WAVE_SAMPLES);
  if (acq & ADC_OVERLOAD) ShowMsg(LoadStr(2403), 1, LCD_RED);
  // The live values the analysis screen shows; the low bands take the
  // velocity input, as the acquisition above does.
  const bool low = band < 2;
  InitMeasVal(MeasVal, band, low ? 1 : 0, low ? QTY_VEL : QTY_ACC);
}

void SetPointBand() {
  int h = CProgramState.HighFrequency;
  // A band index from a damaged settings file must not index past the tables.
  if (h < 0 || h > 6) h = 5;
  CPoint& p = CurPoint;
  p.range = static_cast<std::int16_t>(h);
  p.env = h == 6 ? 1 : 0;
  p.flags = h <= 1 ? 3 : 0;
  p.fmax = p.env == 1 ? std::uint16_t{1000} : kPointBandHz[h];
  p.wave = p.env == 1 ? 0 : 1;
  p.opt = 1;
  std::memset(p.par, 0, sizeof p.par);
  if (p.env == 0) {
    const bool velocity = (p.flags & 2) != 0;
    p.par[0].kind = 6;
    p.par[0].qty = 102;
    p.par[0].flo = 10.0f;
    p.par[0].fhi = 1000.0f;
    p.par[1].kind = 6;
    p.par[1].qty = velocity ? 102 : 101;
    p.par[1].flo = velocity ? 5.0f : 2.0f * kPointBandRes[h];
    p.par[1].fhi = static_cast<float>(p.fmax);
  } else {
    p.par[0].kind = 5;
    p.par[0].qty = 101;
    p.par[0].unit = 101;
  }
  AddOffRouteSlot();
}

void ShowMeasuring() {
  ShowMsg(LoadStr(1940), 0, LCD_BLUE);
  Pause(1500);
}
