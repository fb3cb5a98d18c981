#pragma once
// The device thread: runs the emulated firmware, owns the key channel, the
// idle timers and the hand-over of finished LCD frames to the window.
#include <QImage>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "buttons.h"
#include "devicerules.h"
#include "host.h"
#include "keychannel.h"
#include "qttimer.h"

class TDevice : public QThread, public IDeviceHost {
  Q_OBJECT
 public:
  struct Config {
    int powerOffMs = 60000;
    int backlightMs = 40000;
    TDeviceButtons::Timing buttons{};
  };

  // screen: the window's 128 x 160 LCD image; screenChanged is called on the
  // window thread after every copy.
  TDevice(QImage* screen, std::function<void()> screenChanged);
  TDevice(QImage* screen, std::function<void()> screenChanged, Config config);
  ~TDevice() override;

  // Window thread.
  void PostKey(std::uint16_t code);
  void SetLanguage(std::uint32_t value);
  void CopyScreen();
  bool IsOn() const { return rules_.IsOn(); }
  TDeviceButtons& Buttons() { return buttons_; }
  QTimer& PowerOffTimer() { return powerOffTimer_; }
  QTimer& BacklightTimer() { return backlightTimer_; }
  std::uint32_t LanguageValue() { return keys_.LanguageValue(); }

  // The firmware entry; RunScrn unless a test puts a stand-in there before the
  // first switch-on.
  std::function<void()> Firmware;
  // Runs after an automatic switch-off (saves the state); errors it raises are
  // shown in the error box.
  std::function<void()> OnSwitchedOff;
  // Shows an error box on the window thread; tests replace the modal box.
  std::function<void(const QString& title, const QString& text)> ShowErrorBox;
  // Title of the message boxes (string 300 of the window's language).
  void SetApplicationTitle(const QString& title);

  // Device thread (IDeviceHost).
  void FlushKey() override;
  std::uint16_t WaitForKey(std::int32_t timeoutMs) override;
  void SetKey(std::uint16_t code) override;
  void UpdateScreen() override;
  void Sleep(std::int32_t ms) override;
  std::uint32_t TickCount() override;
  void ReadRtc(TRtc& t) override;
  void WriteRtc(const TRtc& t) override;
  void Trace(const std::string& line) override;
  std::string LoadString(unsigned id) override;
  bool FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) override;
  void ErrorBox(const std::string& text) override;
  std::uint16_t ReadKey(std::int32_t timeoutMs) { return ::ReadKey(*this, timeoutMs); }
  void LoadFonts();

  // How many error boxes were answered without being shown (at close).
  int SuppressedErrorBoxes() const { return suppressedBoxes_; }

 public slots:
  void OnOffTimer();
  void OnBacklightTimer();

 protected:
  void run() override;  // Execute

 private:
  enum class Request { None, Copy, Box };
  // Hands a request to the window thread and waits until it has been served.
  void AskWindow(Request r, const std::string& text = {});
  Q_INVOKABLE void ServeRequests();
  // Serves the pending request, if any; returns with lk released.
  void ServeAndUnlock(std::unique_lock<std::mutex>& lk);

  TDeviceButtons buttons_;
  QImage* screen_;
  std::function<void()> screenChanged_;
  TKeyChannel keys_;
  QTimer powerOffTimer_;
  QTimer backlightTimer_;
  TQtTimer powerOffPort_{powerOffTimer_};
  TQtTimer backlightPort_{backlightTimer_};
  TDeviceRules rules_;
  QString title_;

  std::mutex reqMutex_;
  std::condition_variable reqCv_;
  Request request_ = Request::None;
  std::string requestText_;
  bool requestDone_ = false;
  bool closing_ = false;  // set by the destructor: serve without the event loop; ends a pause
  bool finished_ = false;  // the device loop has ended
  int suppressedBoxes_ = 0;
  int fontLoadDepth_ = 0;  // device thread only
  std::vector<std::string> deferredBoxes_;  // device thread only
};

// The one device object, through which the firmware-side functions reach it.
extern TDevice* DeviceThread;
