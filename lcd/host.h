#pragma once
// The one seam between the emulated firmware and whatever hosts it: the Qt
// device thread in the simulator, or the headless host of the tests and
// tools. Firmware code calls only the free functions below; they forward to
// the installed host.
#include <cstddef>
#include <cstdint>
#include <string>

// Key codes (n = button number 1..4).
constexpr std::uint16_t KEY_OFF = 0x0000;
constexpr std::uint16_t KEY_STEP = 0x0200;
constexpr std::uint16_t KEY_NONE = 0x0300;
constexpr std::uint16_t KEY_SHORT = 0x1000;
constexpr std::uint16_t KEY_LONG = 0x2000;
constexpr std::uint16_t KEY_HOLD = 0x3000;
constexpr std::uint16_t KEY_CHORD = 0x4000;

constexpr std::int32_t kWaitForever = -1;

// The general error type. An empty message is the stop exception that unwinds
// the firmware at switch-off; any other message is shown to the user.
class Exception {
 public:
  Exception() = default;
  explicit Exception(std::string message) : Message(std::move(message)) {}
  std::string Message;
};

struct TRtc {
  std::uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class IDeviceHost {
 public:
  virtual ~IDeviceHost() = default;
  // Key channel (device thread).
  virtual void FlushKey() = 0;
  // Raw wait: the posted code, or KEY_NONE after timeoutMs (kWaitForever = no
  // time-out). Never raises; also refreshes LangId and UsUnits.
  virtual std::uint16_t WaitForKey(std::int32_t timeoutMs) = 0;
  virtual void SetKey(std::uint16_t code) = 0;
  // Has the finished LcdBuf presented; returns once the copy is done.
  virtual void UpdateScreen() = 0;
  virtual void Sleep(std::int32_t ms) = 0;
  virtual std::uint32_t TickCount() = 0;
  virtual void ReadRtc(TRtc& t) = 0;
  virtual void WriteRtc(const TRtc& t) = 0;
  virtual void Trace(const std::string& line) = 0;
  // String table entry in the calling thread's language, Windows-1251 bytes.
  virtual std::string LoadString(unsigned id) = 0;
  virtual bool FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) = 0;
  // Modal error box with the application title; returns when it is closed.
  virtual void ErrorBox(const std::string& text) = 0;
};

void SetDeviceHost(IDeviceHost* host);
IDeviceHost* DeviceHost();

// Language and units as the firmware sees them, refreshed at every key wait.
extern std::uint16_t LangId;
extern std::uint16_t UsUnits;

// Deviceioemulation.
void ClearKey();
std::uint16_t GetKey();
std::uint16_t GetKeyTm(std::int32_t ms);
void PutKey(std::uint16_t code);
void LcdRefresh();

// ReadKey semantics shared by every host: KEY_OFF becomes the stop exception.
std::uint16_t ReadKey(IDeviceHost& host, std::int32_t timeoutMs);

void Pause(std::int32_t ms);
std::uint32_t GetTickCount();
void ReadRtc(TRtc& t);
void WriteRtc(const TRtc& t);
void TraceLine(const std::string& line);
void LoadStr(unsigned id, std::string& text);
std::string LoadStr(unsigned id);
