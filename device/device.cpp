#include "device.h"

#include <QDateTime>
#include <QMessageBox>
#include <QMetaObject>
#include <chrono>

#include "font.h"
#include "lcd.h"
#include "rcdata.h"
#include "runscrn.h"
#include "state.h"
#include "strtab.h"
#include "tracelog.h"

TDevice* DeviceThread = nullptr;

TDevice::TDevice(QImage* screen, std::function<void()> screenChanged)
    : TDevice(screen, std::move(screenChanged), Config{}) {}

TDevice::TDevice(QImage* screen, std::function<void()> screenChanged, Config config)
    : buttons_(config.buttons),
      screen_(screen),
      screenChanged_(std::move(screenChanged)),
      rules_(keys_, powerOffPort_, backlightPort_, buttons_.Pad(), {config.powerOffMs, config.backlightMs}) {
  buttons_.KeyHandler = [this](std::uint16_t code) { PostKey(code); };
  keys_.OnRefresh = [this] { LoadFonts(); };
  rules_.Trace = [this](const std::string& line) { Trace(line); };
  rules_.OnSwitchedOff = [this] {
    if (!OnSwitchedOff) return;
    try {
      OnSwitchedOff();
    } catch (const Exception& e) {
      ShowErrorBox(title_, QString::fromStdString(e.Message));
    }
  };
  powerOffTimer_.setSingleShot(false);
  powerOffTimer_.setInterval(config.powerOffMs);
  connect(&powerOffTimer_, &QTimer::timeout, this, &TDevice::OnOffTimer);
  backlightTimer_.setInterval(config.backlightMs);
  connect(&backlightTimer_, &QTimer::timeout, this, &TDevice::OnBacklightTimer);
  Firmware = [] { RunScrn(); };
  ShowErrorBox = [](const QString& title, const QString& text) { QMessageBox::critical(nullptr, title, text); };
  title_ = QStringLiteral("ORB-720 Demo");

  SetDeviceHost(this);
  LcdClear();
  CopyScreen();
  start();
}

TDevice::~TDevice() {
  requestInterruption();
  keys_.SetKey(KEY_OFF);
  {
    // Serve the unwinding firmware's last requests here rather than through
    // the event loop: a blocking queued call waited on by QThread::wait()
    // would deadlock, and a nested event loop could run window handlers.
    std::unique_lock<std::mutex> lk(reqMutex_);
    closing_ = true;
    reqCv_.notify_all();  // ends a pause: the window is going away
    while (!finished_) {
      ServeAndUnlock(lk);
      lk.lock();
      reqCv_.wait(lk, [this] { return finished_ || request_ != Request::None; });
    }
  }
  wait();
  if (DeviceHost() == this) SetDeviceHost(nullptr);
  powerOffTimer_.stop();
  backlightTimer_.stop();
  buttons_.Reset();
}

void TDevice::SetApplicationTitle(const QString& title) {
  std::lock_guard<std::mutex> lk(reqMutex_);
  title_ = title;
}

void TDevice::run() {
  RunDeviceLoop(*this, keys_, [this] { Firmware(); }, [this] { return isInterruptionRequested(); });
  std::lock_guard<std::mutex> lk(reqMutex_);
  finished_ = true;
  reqCv_.notify_all();
}

void TDevice::PostKey(std::uint16_t code) { rules_.PostKey(code); }

void TDevice::SetLanguage(std::uint32_t value) { rules_.SetLanguage(value); }

void TDevice::OnOffTimer() { rules_.OnOffTimer(); }

void TDevice::OnBacklightTimer() { rules_.OnBacklightTimer(); }

void TDevice::CopyScreen() {
  if (!screen_ || screen_->width() < LCD_WIDTH || screen_->height() < LCD_HEIGHT) return;
  const std::uint32_t* column = LcdColourColumn(GetBacklight() != 0);
  for (int y = 0; y < LCD_HEIGHT; ++y) {
    auto* line = reinterpret_cast<QRgb*>(screen_->scanLine(y));
    const std::uint16_t* row = LcdBuf[y];
    for (int w = 0; w < LCD_WORDS_PER_ROW; ++w) {
      line[2 * w] = 0xFF000000u | column[row[w] >> 8];
      line[2 * w + 1] = 0xFF000000u | column[row[w] & 0xFF];
    }
  }
  if (screenChanged_) screenChanged_();
}

// ---- device thread ----

void TDevice::FlushKey() { keys_.FlushKey(); }

std::uint16_t TDevice::WaitForKey(std::int32_t timeoutMs) {
  const std::uint16_t code = keys_.WaitForKey(timeoutMs);
  // Font errors found under the device lock are shown only now: the window
  // thread needs that lock to post keys while the box is open.
  std::vector<std::string> boxes;
  boxes.swap(deferredBoxes_);
  for (const std::string& b : boxes) ErrorBox(b);
  return code;
}

void TDevice::SetKey(std::uint16_t code) { keys_.SetKey(code); }

void TDevice::LoadFonts() {
  ++fontLoadDepth_;
  keys_.RefreshLanguage();
  --fontLoadDepth_;
}

void TDevice::UpdateScreen() { AskWindow(Request::Copy); }

void TDevice::ErrorBox(const std::string& text) {
  if (fontLoadDepth_ > 0) {
    deferredBoxes_.push_back(text);
    return;
  }
  AskWindow(Request::Box, text);
}

// A pause ends early only when the window closes, so that a close during
// "Measuring..." does not wait for it; keys meanwhile wait in the slot.
void TDevice::Sleep(std::int32_t ms) {
  if (ms <= 0) return;
  std::unique_lock<std::mutex> lk(reqMutex_);
  reqCv_.wait_for(lk, std::chrono::milliseconds(ms), [this] { return closing_; });
}

std::uint32_t TDevice::TickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TDevice::ReadRtc(TRtc& t) {
  const QDateTime now = QDateTime::currentDateTime();
  t.year = static_cast<std::uint16_t>(now.date().year());
  t.month = static_cast<std::uint16_t>(now.date().month());
  t.day = static_cast<std::uint16_t>(now.date().day());
  t.hour = static_cast<std::uint16_t>(now.time().hour());
  t.minute = static_cast<std::uint16_t>(now.time().minute());
  t.second = static_cast<std::uint16_t>(now.time().second());
}

// The simulator has no clock chip: setting the clock reports success and the
// host clock goes on as it was.
void TDevice::WriteRtc(const TRtc&) {}

void TDevice::Trace(const std::string& line) { TraceLog().Add(line); }

std::string TDevice::LoadString(unsigned id) { return LoadStringTable(id); }

bool TDevice::FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) {
  return ::FindRcData(name, data, size);
}

// ---- window-thread requests ----

void TDevice::AskWindow(Request r, const std::string& text) {
  std::unique_lock<std::mutex> lk(reqMutex_);
  request_ = r;
  requestText_ = text;
  requestDone_ = false;
  if (!closing_) QMetaObject::invokeMethod(this, "ServeRequests", Qt::QueuedConnection);
  reqCv_.notify_all();
  reqCv_.wait(lk, [this] { return requestDone_; });
}

void TDevice::ServeRequests() {
  std::unique_lock<std::mutex> lk(reqMutex_);
  ServeAndUnlock(lk);
}

void TDevice::ServeAndUnlock(std::unique_lock<std::mutex>& lk) {
  const Request r = request_;
  if (r == Request::None) {
    lk.unlock();
    return;
  }
  request_ = Request::None;
  const std::string text = requestText_;
  const QString title = title_;
  if (r == Request::Copy) {
    lk.unlock();
    CopyScreen();
    lk.lock();
  } else if (closing_) {
    // The window is going away: no modal loop any more; keep the text.
    ++suppressedBoxes_;
    TraceLog().Add("Error at close: " + text);
  } else {
    lk.unlock();
    ShowErrorBox(title, QString::fromStdString(text));
    lk.lock();
  }
  requestDone_ = true;
  // Signalled with the lock let go: woken under it, the device thread would
  // only block again on the lock, a third wake-up per frame.
  lk.unlock();
  reqCv_.notify_all();
}
