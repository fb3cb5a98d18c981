// Device runtime figures: frame conversion, key-to-frame round trip, and the
// CPU the device thread uses while it waits for a key.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <atomic>
#include <memory>

#include "device.h"
#include "host.h"
#include "lcd.h"
#include "state.h"

namespace {
std::atomic<int> g_copies{0};

std::unique_ptr<TDevice> MakeDevice(QImage& image) {
  auto dev = std::make_unique<TDevice>(&image, [] { ++g_copies; });
  dev->Firmware = [] {
    LcdShow();  // the bench waits for this frame: the firmware is then at its key wait
    for (;;) {
      const std::uint16_t k = GetKey();
      LcdFill(0, 0, 127, 14, static_cast<std::uint16_t>(k & 1 ? LCD_BLUE : LCD_RED));
      LcdShow();
    }
  };
  return dev;
}

void BM_CopyScreen(benchmark::State& state) {
  QImage image(128, 160, QImage::Format_RGB32);
  auto dev = MakeDevice(image);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) LcdPixel(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                                           static_cast<std::uint16_t>((x * 7 + y) % 2 ? LCD_BLUE : LCD_YELLOW), 0);
  SetBacklight(1);
  for (auto _ : state) {
    dev->CopyScreen();
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_CopyScreen)->Unit(benchmark::kMicrosecond);

void BM_KeyToFrame(benchmark::State& state) {
  QImage image(128, 160, QImage::Format_RGB32);
  auto dev = MakeDevice(image);
  const int start = g_copies;
  dev->PostKey(0x2002);
  QElapsedTimer t;
  t.start();
  while (g_copies == start && t.elapsed() < 2000) QCoreApplication::processEvents();
  QThread::msleep(20);
  std::uint16_t key = 0x1001;
  for (auto _ : state) {
    const int before = g_copies;
    dev->PostKey(key);
    key = key == 0x1001 ? 0x1003 : 0x1001;
    while (g_copies == before) QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}
BENCHMARK(BM_KeyToFrame)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(5);

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds per wall second of the whole process while the device waits.
void BM_IdleWaitCpu(benchmark::State& state) {
  QImage image(128, 160, QImage::Format_RGB32);
  auto dev = MakeDevice(image);
  dev->PostKey(0x2002);
  for (auto _ : state) {
    const double c0 = CpuSeconds();
    QElapsedTimer t;
    t.start();
    QThread::msleep(1000);
    state.counters["cpu_per_s"] = (CpuSeconds() - c0) / (static_cast<double>(t.elapsed()) / 1000.0);
  }
}
BENCHMARK(BM_IdleWaitCpu)->Iterations(1)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
