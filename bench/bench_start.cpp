// Start-up from outside: process start to the window shown and to the first
// LCD frame on the screen, and the resident set once started, for the
// simulator beside a bare Qt window of the same size started the same way.
//
// Run it under an X server of depth 24 (Xvfb). Each run forks the program
// with no arguments and the xcb platform, and watches the X server itself:
// the window is shown when the server reports it mapped; the first frame is
// there when a damage report on that window finds the LCD's centre pixel in
// the switched-off grey (4E 4E 4E) that both programs paint. One second later
// (--settle) the resident set is read from /proc, and the program is killed (so the
// simulator writes no settings). The two programs run in turn, A B A B, after
// one warm-up each, and each ratio is taken pair by pair.
//
//   orb_bench_start [-n RUNS] [--settle MS] [PROGRAM [FLOOR]]
//   orb_bench_start --once [--settle MS] PROGRAM      one run, one line
//
// PROGRAM defaults to the simulator of this build tree, FLOOR to the bare
// window beside this executable.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "procstat.h"

namespace {
using TClock = std::chrono::steady_clock;

constexpr int kLcdX = 174 + 64, kLcdY = 145 + 80;  // the LCD's centre in the window
constexpr unsigned long kGrey = 0x4E4E4E;
constexpr int kTimeoutMs = 20000;
int g_settleMs = 1000;  // from the frame to the reading of the resident set

struct TRun {
  bool ok = false;
  double mapMs = 0, frameMs = 0;
  long rssKb = 0;
};

int IgnoreXError(Display*, XErrorEvent*) { return 0; }  // windows come and go

double Ms(TClock::time_point a, TClock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

long WindowPid(Display* dpy, Window w) {
  const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", True);
  if (pidAtom == None) return -1;
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) == Success &&
      data && n == 1 && format == 32)
    pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
  if (data) XFree(data);
  return pid;
}

bool LcdIsGrey(Display* dpy, Window w) {
  XImage* img = XGetImage(dpy, w, kLcdX, kLcdY, 1, 1, AllPlanes, ZPixmap);
  if (!img) return false;
  const unsigned long px = XGetPixel(img, 0, 0);
  XDestroyImage(img);
  return (px & 0xFFFFFF) == kGrey;
}

TRun RunOnce(const std::string& program) {
  TRun r;
  Display* dpy = XOpenDisplay(nullptr);
  // A server started just before this program may not accept clients yet.
  for (int i = 0; !dpy && i < 50; ++i) {
    usleep(100 * 1000);
    dpy = XOpenDisplay(nullptr);
  }
  if (!dpy) {
    std::fprintf(stderr, "no X display\n");
    return r;
  }
  int damageEvent = 0, damageError = 0;
  if (!XDamageQueryExtension(dpy, &damageEvent, &damageError)) {
    std::fprintf(stderr, "the X server has no DAMAGE extension\n");
    XCloseDisplay(dpy);
    return r;
  }
  XSetErrorHandler(IgnoreXError);
  const Window root = DefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, False);

  const TClock::time_point t0 = TClock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0), dup2(null, 1), dup2(null, 2);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::map<Window, Damage> damages;
  Window shown = None;
  TClock::time_point tMap{}, tFrame{};
  bool framed = false;
  while (!framed && Ms(t0, TClock::now()) < kTimeoutMs) {
    if (!XPending(dpy)) {
      pollfd p{ConnectionNumber(dpy), POLLIN, 0};
      poll(&p, 1, 100);
      if (!XPending(dpy)) continue;
    }
    XEvent e;
    XNextEvent(dpy, &e);
    const TClock::time_point now = TClock::now();
    if (e.type == CreateNotify && e.xcreatewindow.parent == root) {
      damages[e.xcreatewindow.window] = XDamageCreate(dpy, e.xcreatewindow.window, XDamageReportNonEmpty);
    } else if (e.type == MapNotify && shown == None && WindowPid(dpy, e.xmap.window) == pid) {
      shown = e.xmap.window;
      tMap = now;
      if (LcdIsGrey(dpy, shown)) tFrame = now, framed = true;
    } else if (e.type == damageEvent + XDamageNotify) {
      const auto* d = reinterpret_cast<XDamageNotifyEvent*>(&e);
      XDamageSubtract(dpy, d->damage, None, None);
      if (shown != None && d->drawable == shown && LcdIsGrey(dpy, shown)) tFrame = now, framed = true;
    }
  }
  if (framed) {
    usleep(static_cast<useconds_t>(g_settleMs) * 1000);
    r.rssKb = ReadStatusKb(pid, "VmRSS");
    r.mapMs = Ms(t0, tMap);
    r.frameMs = Ms(t0, tFrame);
    r.ok = true;
  } else {
    std::fprintf(stderr, "%s: no frame within %d ms\n", program.c_str(), kTimeoutMs);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  for (const auto& [w, d] : damages) XDamageDestroy(dpy, d);
  XCloseDisplay(dpy);
  return r;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintRow(const char* name, const std::vector<double>& v, const char* unit) {
  std::printf("%-34s %9.2f %9.2f %9.2f  %s\n", name, Median(v), *std::min_element(v.begin(), v.end()),
              *std::max_element(v.begin(), v.end()), unit);
}
}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  bool once = false;
  std::vector<std::string> programs;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-n" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--once")
      once = true;
    else if (a == "--settle" && i + 1 < argc)
      g_settleMs = std::max(0, std::atoi(argv[++i]));
    else
      programs.push_back(a);
  }
  const std::string dir = ExecutableDir();
  if (programs.empty()) programs.push_back(dir + "../app/ORB720Demo");
  if (programs.size() < 2) programs.push_back(dir + "orb_bench_bare_window");

  if (once) {
    const TRun r = RunOnce(programs[0]);
    if (!r.ok) return 1;
    std::printf("window %.1f ms  frame %.1f ms  rss %ld kB\n", r.mapMs, r.frameMs, r.rssKb);
    return 0;
  }

  std::printf("A: %s\nB: %s\n%d pairs after one warm-up pair\n", programs[0].c_str(), programs[1].c_str(), runs);
  RunOnce(programs[0]);
  RunOnce(programs[1]);
  std::vector<double> mapA, mapB, frameA, frameB, rssA, rssB, mapRatio, frameRatio, rssRatio;
  for (int i = 0; i < runs; ++i) {
    const TRun a = RunOnce(programs[0]);
    const TRun b = RunOnce(programs[1]);
    if (!a.ok || !b.ok) return 1;
    std::printf("run %2d  A window %6.1f frame %6.1f rss %6ld   B window %6.1f frame %6.1f rss %6ld\n", i + 1,
                a.mapMs, a.frameMs, a.rssKb, b.mapMs, b.frameMs, b.rssKb);
    mapA.push_back(a.mapMs), mapB.push_back(b.mapMs);
    frameA.push_back(a.frameMs), frameB.push_back(b.frameMs);
    rssA.push_back(static_cast<double>(a.rssKb) / 1024), rssB.push_back(static_cast<double>(b.rssKb) / 1024);
    mapRatio.push_back(a.mapMs / b.mapMs);
    frameRatio.push_back(a.frameMs / b.frameMs);
    rssRatio.push_back(static_cast<double>(a.rssKb) / static_cast<double>(b.rssKb));
  }
  std::printf("\n%-34s %9s %9s %9s\n", "", "median", "min", "max");
  PrintRow("A start to window shown", mapA, "ms");
  PrintRow("B start to window shown", mapB, "ms");
  PrintRow("A start to first LCD frame", frameA, "ms");
  PrintRow("B start to first frame", frameB, "ms");
  PrintRow("A resident after the frame", rssA, "MiB");
  PrintRow("B resident after the frame", rssB, "MiB");
  PrintRow("A/B window shown (pairwise)", mapRatio, "x");
  PrintRow("A/B first frame (pairwise)", frameRatio, "x");
  PrintRow("A/B resident (pairwise)", rssRatio, "x");
  return 0;
}
