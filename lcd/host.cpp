#include "host.h"

#include <atomic>

namespace {
std::atomic<IDeviceHost*> g_host{nullptr};

IDeviceHost& Host() {
  IDeviceHost* h = g_host.load(std::memory_order_acquire);
  if (!h) throw Exception("No device host installed");
  return *h;
}
}  // namespace

std::uint16_t LangId = 1033;
std::uint16_t UsUnits = 0;

void SetDeviceHost(IDeviceHost* host) { g_host.store(host, std::memory_order_release); }
IDeviceHost* DeviceHost() { return g_host.load(std::memory_order_acquire); }

std::uint16_t ReadKey(IDeviceHost& host, std::int32_t timeoutMs) {
  const std::uint16_t code = host.WaitForKey(timeoutMs);
  if (code == KEY_OFF) throw Exception();
  return code;
}

void ClearKey() { Host().FlushKey(); }
std::uint16_t GetKey() { return ReadKey(Host(), kWaitForever); }
std::uint16_t GetKeyTm(std::int32_t ms) { return ReadKey(Host(), ms); }
void PutKey(std::uint16_t code) { Host().SetKey(code); }
void LcdRefresh() { Host().UpdateScreen(); }
void Pause(std::int32_t ms) { Host().Sleep(ms); }
std::uint32_t GetTickCount() { return Host().TickCount(); }
void ReadRtc(TRtc& t) { Host().ReadRtc(t); }
void WriteRtc(const TRtc& t) { Host().WriteRtc(t); }
void TraceLine(const std::string& line) { Host().Trace(line); }
void LoadStr(unsigned id, std::string& text) { text = Host().LoadString(id); }
std::string LoadStr(unsigned id) { return Host().LoadString(id); }
