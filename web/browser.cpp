// The web host in the browser: IWebPage over the page's script (page.js,
// reached as Module.page), and the functions the page calls. Compiled only
// for WebAssembly; the waits suspend through ASYNCIFY.
#include <emscripten.h>

#include <string>

#include "webhost.h"

// clang-format off
EM_JS(double, orb_js_now, (), { return Module.page.now(); });
EM_ASYNC_JS(void, orb_js_suspend, (int ms, int wakeable), { await Module.page.suspend(ms, wakeable); });
EM_JS(void, orb_js_wake, (), { Module.page.wake(); });
EM_JS(void, orb_js_arm, (double at), { Module.page.arm(at); });
EM_JS(void, orb_js_present, (const unsigned char* rgba), { Module.page.present(HEAPU8.subarray(rgba, rgba + 81920)); });
EM_JS(void, orb_js_pressed, (unsigned mask), { Module.page.showPressed(mask); });
EM_JS(void, orb_js_error, (const char* title, const char* text), {
  Module.page.showError(UTF8ToString(title), UTF8ToString(text));
});
EM_ASYNC_JS(void, orb_js_wait_error, (), { await Module.page.errorClosed(); });
EM_JS(void, orb_js_languages, (const char* names, int selected), {
  Module.page.setLanguages(UTF8ToString(names).split('\n'), selected);
});
EM_JS(void, orb_js_texts, (const char* title, const char* label, const char* overview, const char* about, int lang), {
  Module.page.setTexts(UTF8ToString(title), UTF8ToString(label), UTF8ToString(overview), UTF8ToString(about), lang);
});
// The user's locale (which 0) or the stored settings (1) into buf: its length
// in bytes, copied when it fits; -1 when the storage cannot be used.
EM_JS(int, orb_js_string, (int which, char* buf, int size), {
  const s = which === 0 ? Module.page.locale() : Module.page.loadSettings();
  if (s === null) return -1;
  const n = lengthBytesUTF8(s);
  if (n < size) stringToUTF8(s, buf, size);
  return n;
});
EM_JS(void, orb_js_time, (unsigned short* out), { HEAPU16.set(Module.page.localTime(), out >> 1); });
EM_JS(int, orb_js_store, (const char* text), { return Module.page.storeSettings(UTF8ToString(text)) ? 1 : 0; });
EM_JS(void, orb_js_not_kept, (), { Module.page.settingsNotKept(); });
// clang-format on

namespace {
bool JsString(int which, std::string& out) {
  std::string s(256, '\0');
  int n = orb_js_string(which, s.data(), static_cast<int>(s.size()));
  if (n >= static_cast<int>(s.size())) {
    s.resize(static_cast<std::size_t>(n) + 1);
    n = orb_js_string(which, s.data(), n + 1);
  }
  if (n < 0) return false;
  s.resize(static_cast<std::size_t>(n));
  out = std::move(s);
  return true;
}

class TBrowserPage final : public IWebPage {
 public:
  std::uint64_t Now() override { return static_cast<std::uint64_t>(orb_js_now()); }
  void Suspend(std::int32_t ms, bool wakeable) override { orb_js_suspend(ms, wakeable ? 1 : 0); }
  void Wake() override { orb_js_wake(); }
  void ArmTimer(std::optional<std::uint64_t> at) override { orb_js_arm(at ? static_cast<double>(*at) : -1.0); }
  void Present(const std::uint8_t* rgba) override { orb_js_present(rgba); }
  void ShowPressed(unsigned mask) override { orb_js_pressed(mask); }
  void ShowErrorBox(const std::string& title, const std::string& text) override {
    orb_js_error(title.c_str(), text.c_str());
  }
  void WaitErrorBox() override { orb_js_wait_error(); }
  void SetLanguageList(const std::vector<std::string>& names, int selected) override {
    std::string joined;
    for (const std::string& n : names) joined += (joined.empty() ? "" : "\n") + n;
    orb_js_languages(joined.c_str(), selected);
  }
  void SetWindowTexts(const std::string& title, const std::string& label, const std::string& overview,
                      const std::string& about, std::uint16_t langId) override {
    orb_js_texts(title.c_str(), label.c_str(), overview.c_str(), about.c_str(), langId);
  }
  std::string UserLocale() override {
    std::string s;
    JsString(0, s);
    return s;
  }
  void LocalTime(TRtc& t) override {
    unsigned short v[6];
    orb_js_time(v);
    t = {v[0], v[1], v[2], v[3], v[4], v[5]};
  }
  bool LoadSettings(std::string& text) override { return JsString(1, text); }
  bool StoreSettings(const std::string& text) override { return orb_js_store(text.c_str()) != 0; }
  void SettingsNotKept() override { orb_js_not_kept(); }
};

TBrowserPage g_page;
TWebHost* g_host = nullptr;
std::string g_text;

// An error that escapes a page event must not cross into the script; it is
// shown as the device loop shows one, without waiting for the box.
template <class F>
auto Guarded(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const Exception& e) {
    g_page.ShowErrorBox(g_host->WindowText(300), e.Message);
  } catch (const std::exception& e) {
    g_page.ShowErrorBox(g_host->WindowText(300), e.what());
  }
  return decltype(f())();
}
}  // namespace

extern "C" {

// The window's creation, then the device loop, which suspends at its first
// wait and lives on in the page's events.
EMSCRIPTEN_KEEPALIVE void orb_start() {
  static TWebHost host(g_page);
  g_host = &host;
  Guarded([] { g_host->Start(); });
  g_host->Run();
}

EMSCRIPTEN_KEEPALIVE int orb_pointer_down(int pointer, int x, int y) {
  return Guarded([&] { return g_host->PointerDown(pointer, x, y) ? 1 : 0; });
}
EMSCRIPTEN_KEEPALIVE void orb_pointer_up(int pointer) {
  Guarded([&] { g_host->PointerUp(pointer); });
}
EMSCRIPTEN_KEEPALIVE void orb_cancel_pointers() {
  Guarded([] { g_host->CancelPointers(); });
}
EMSCRIPTEN_KEEPALIVE void orb_language(int index) {
  Guarded([&] { g_host->ChangeLanguage(index); });
}
EMSCRIPTEN_KEEPALIVE void orb_timers_due() {
  Guarded([] { g_host->TimersDue(); });
}
EMSCRIPTEN_KEEPALIVE void orb_page_hidden() {
  Guarded([] { g_host->PageHidden(); });
}
EMSCRIPTEN_KEEPALIVE const char* orb_window_text(unsigned id) {
  g_text = g_host->WindowText(id);
  return g_text.c_str();
}
EMSCRIPTEN_KEEPALIVE const char* orb_version() { return ORB_VERSION; }
// Test hook, reached only through the hooks a test puts into the page before
// it loads: shorter idle intervals.
EMSCRIPTEN_KEEPALIVE void orb_test_idle_times(int backlightMs, int powerOffMs) {
  g_host->SetIdleTimes({powerOffMs, backlightMs});
}

}  // extern "C"
