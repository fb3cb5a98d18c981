#include "support.h"

#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "device.h"
#include "state.h"
#include "strtab.h"

double TSamples::Quantile(double q) const {
  if (ns_.empty()) return 0.0;
  std::vector<double> s = ns_;
  const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(s.size())));
  const std::size_t k = std::clamp<std::size_t>(rank, 1, s.size()) - 1;
  std::nth_element(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(k), s.end());
  return s[k];
}

TBenchDevice::TBenchDevice(std::function<void()> firmware) {
  const TDevice::Config program;
  Init(std::move(firmware), program.powerOffMs, program.backlightMs);
}

TBenchDevice::TBenchDevice(std::function<void()> firmware, int powerOffMs, int backlightMs) {
  Init(std::move(firmware), powerOffMs, backlightMs);
}

void TBenchDevice::Init(std::function<void()> firmware, int powerOffMs, int backlightMs) {
  SetBacklight(0);  // as at program start
  guard_.setSingleShot(true);
  TDevice::Config config;
  config.powerOffMs = powerOffMs;
  config.backlightMs = backlightMs;
  device_ = std::make_unique<TDevice>(
      &image_,
      [this] {
        // On the window thread, while the device thread waits for this copy.
        lastAt_ = TClock::now();
        ++frames_;
        last_.mode = CProgramState.MenuMode;
        last_.item = CProgramState.MenuItem;
      },
      config);
  if (firmware) device_->Firmware = std::move(firmware);
  device_->ShowErrorBox = [](const QString&, const QString&) {};
  // As the window does at start: the texts in the window's language.
  SetThreadLanguage(1033);
  device_->SetLanguage(1033);
}

TBenchDevice::~TBenchDevice() { device_.reset(); }

bool TBenchDevice::WaitFrames(int target, int timeoutMs) {
  guard_.start(timeoutMs);
  while (frames_ < target && guard_.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  guard_.stop();
  return frames_ >= target;
}

bool TBenchDevice::SwitchOn() {
  const int target = frames_ + 1;
  device_->PostKey(Long(2));
  return WaitFrames(target, 5000);
}

std::int64_t TBenchDevice::Key(std::uint16_t code, int timeoutMs) {
  const int target = frames_ + 1;
  guard_.start(timeoutMs);
  const TClock::time_point t0 = TClock::now();
  device_->PostKey(code);
  while (frames_ < target && guard_.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  guard_.stop();
  if (frames_ < target) return -1;
  return std::chrono::duration_cast<std::chrono::nanoseconds>(lastAt_ - t0).count();
}

bool TBenchDevice::KeyUntil(std::uint16_t code, const std::function<bool(const Snapshot&)>& pred, int timeoutMs) {
  const TClock::time_point end = TClock::now() + std::chrono::milliseconds(timeoutMs);
  device_->PostKey(code);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - TClock::now()).count();
    if (left <= 0 || !WaitFrames(frames_ + 1, static_cast<int>(left))) return false;
    if (pred(last_)) return true;
  }
}

bool TBenchDevice::NextFrame(int timeoutMs) { return WaitFrames(frames_ + 1, timeoutMs); }

bool TBenchDevice::Quiet(int ms) { return !WaitFrames(frames_ + 1, ms); }

namespace {
std::string ReadFile(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::uint64_t StatusValue(const std::string& status, const std::string& key) {
  const std::size_t at = status.find(key + ":");
  if (at == std::string::npos) return 0;
  return std::strtoull(status.c_str() + at + key.size() + 1, nullptr, 10);
}
// schedstat's figure lags for a thread that is running as it is read; the
// thread's CPU clock brings it up to date. The clock of a thread of this
// process is named by its id (the kernel's encoding, as glibc builds it).
std::uint64_t ThreadCpuNs(pid_t pid, int tid) {
  if (pid == getpid()) {
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6u);
    timespec ts{};
    if (clock_gettime(clock, &ts) == 0)
      return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000u + static_cast<std::uint64_t>(ts.tv_nsec);
  }
  return std::strtoull(ReadFile("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/schedstat").c_str(),
                       nullptr, 10);
}
}  // namespace

TTaskStats ReadTask(pid_t pid, int tid) {
  TTaskStats t;
  t.tid = tid;
  const std::string base = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid);
  t.name = ReadFile(base + "/comm");
  if (!t.name.empty() && t.name.back() == '\n') t.name.pop_back();
  t.cpuNs = ThreadCpuNs(pid, tid);
  const std::string status = ReadFile(base + "/status");
  t.voluntary = StatusValue(status, "voluntary_ctxt_switches");
  t.involuntary = StatusValue(status, "nonvoluntary_ctxt_switches");
  return t;
}

std::vector<TTaskStats> ReadTasks(pid_t pid) {
  std::vector<TTaskStats> tasks;
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* d = opendir(dir.c_str());
  if (!d) return tasks;
  while (dirent* e = readdir(d))
    if (e->d_name[0] != '.') tasks.push_back(ReadTask(pid, std::atoi(e->d_name)));
  closedir(d);
  std::sort(tasks.begin(), tasks.end(), [](const TTaskStats& a, const TTaskStats& b) { return a.tid < b.tid; });
  return tasks;
}

long ReadStatusKb(pid_t pid, const char* field) {
  const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
  const std::string key = std::string("\n") + field + ":";
  const std::size_t at = status.find(key);
  if (at == std::string::npos) return -1;
  return std::strtol(status.c_str() + at + key.size(), nullptr, 10);
}

std::string ExecutableDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string p(buf, static_cast<std::size_t>(n));
  return p.substr(0, p.rfind('/') + 1);
}
