#include "soak_runner.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return s;
}

std::string Serialize(const TSoakResult& r) {
  std::ostringstream o;
  const TSoakStats& s = r.stats;
  o << "ok\t" << (r.ok ? 1 : 0) << "\nkind\t" << OneLine(r.kind) << "\nevent\t" << r.event << "\nmessage\t"
    << OneLine(r.message) << "\nevents\t" << s.events << "\nwaits\t" << s.waits << "\nframes\t" << s.frames
    << "\nswitchons\t" << s.switchOns << "\nrestarts\t" << s.restarts << "\nlanguages\t" << s.languageChanges
    << "\nvirtual\t" << s.virtualMs << "\nsloweststop\t" << s.slowestStopMs << '\n';
  for (const auto& [k, v] : s.offs) o << "off\t" << k << '\t' << v << '\n';
  for (const auto& [k, v] : s.offStates) o << "offstate\t" << k << '\t' << v << '\n';
  for (const auto& [k, v] : s.waitStates) o << "waitstate\t" << k << '\t' << v << '\n';
  for (const auto& [k, v] : s.knownFaults) o << "known\t" << k << '\t' << v << '\n';
  for (const auto& [k, v] : s.knownFirst) o << "knownfirst\t" << k << '\t' << OneLine(v) << '\n';
  o << "end\n";
  return o.str();
}

bool Deserialize(const std::string& text, TSoakResult& r) {
  std::istringstream in(text);
  bool complete = false;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream ls(line);
    for (std::string part; std::getline(ls, part, '\t');) f.push_back(part);
    if (f.empty()) continue;
    const std::string& k = f[0];
    const auto num = [&](std::size_t i) { return i < f.size() ? std::stoull(f[i]) : 0ull; };
    const std::string v1 = f.size() > 1 ? f[1] : "";
    if (k == "ok") r.ok = num(1) != 0;
    else if (k == "kind") r.kind = v1;
    else if (k == "event") r.event = num(1);
    else if (k == "message") r.message = v1;
    else if (k == "events") r.stats.events = num(1);
    else if (k == "waits") r.stats.waits = num(1);
    else if (k == "frames") r.stats.frames = num(1);
    else if (k == "switchons") r.stats.switchOns = num(1);
    else if (k == "restarts") r.stats.restarts = num(1);
    else if (k == "languages") r.stats.languageChanges = num(1);
    else if (k == "virtual") r.stats.virtualMs = num(1);
    else if (k == "sloweststop") r.stats.slowestStopMs = num(1);
    else if (k == "off") r.stats.offs[v1] = num(2);
    else if (k == "offstate") r.stats.offStates[static_cast<int>(std::stoi(v1))] = num(2);
    else if (k == "waitstate") r.stats.waitStates[static_cast<int>(std::stoi(v1))] = num(2);
    else if (k == "known") r.stats.knownFaults[v1] = num(2);
    else if (k == "knownfirst") r.stats.knownFirst[v1] = f.size() > 2 ? f[2] : "";
    else if (k == "end") complete = true;
  }
  return complete;
}

void WriteAll(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = ::write(fd, s.data() + done, s.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

TSoakResult RunIsolated(const TSoakSource& source, const TSoakOptions& options, const TIsolation& isolation) {
  if (!isolation.fork) return RunSoak(source, options);
  // The child reports its progress here, so that a crash still tells how far it got.
  void* mem = ::mmap(nullptr, sizeof(std::atomic<std::size_t>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                     -1, 0);
  if (mem == MAP_FAILED) return RunSoak(source, options);
  auto* progress = new (mem) std::atomic<std::size_t>(0);
  int fds[2];
  if (::pipe(fds) != 0) {
    ::munmap(mem, sizeof *progress);
    return RunSoak(source, options);
  }
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (isolation.quiet) {
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0) ::dup2(null, 2);
    }
    const int out = fds[1];
    std::thread([progress, out, stall = isolation.stallSeconds] {
      std::size_t last = progress->load();
      auto since = Clock::now();
      for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::size_t now = progress->load();
        if (now != last) {
          last = now;
          since = Clock::now();
        } else if (Clock::now() - since > std::chrono::seconds(stall)) {
          TSoakResult hang;
          hang.ok = false;
          hang.kind = "hang";
          hang.event = now;
          hang.message = "no new event for " + std::to_string(stall) + " s";
          WriteAll(out, Serialize(hang));
          ::_exit(3);
        }
      }
    }).detach();
    TSoakOptions o = options;
    o.progress = [progress, user = options.progress](std::size_t n) {
      progress->store(n, std::memory_order_relaxed);
      if (user) user(n);
    };
    const TSoakResult r = RunSoak(source, o);
    std::fflush(nullptr);
    WriteAll(out, Serialize(r));
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n > 0) {
      text.append(buf, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  TSoakResult r;
  if (pid < 0 || !Deserialize(text, r)) {
    r = TSoakResult{};
    r.ok = false;
    r.event = progress->load();
    if (pid < 0) {
      r.kind = "fork";
      r.message = "could not start the run";
    } else if (WIFSIGNALED(status)) {
      r.kind = "signal-" + std::to_string(WTERMSIG(status));
      r.message = std::string("killed by ") + ::strsignal(WTERMSIG(status));
    } else {
      r.kind = "exit-" + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
      r.message = "ended without a result (a sanitizer report ends so)";
    }
    r.stats.events = r.event;
  }
  progress->~atomic();
  ::munmap(mem, sizeof(std::atomic<std::size_t>));
  return r;
}

TReduction ReduceEvents(const std::vector<TSoakEvent>& events, const std::string& kind, const TSoakOptions& options,
                        const TIsolation& isolation, std::size_t maxRuns, double maxSeconds,
                        const std::function<void(const std::string&)>& log) {
  TReduction red;
  const auto start = Clock::now();
  TIsolation iso = isolation;
  iso.quiet = true;
  iso.stallSeconds = std::min(iso.stallSeconds, 10u);
  const auto budgetLeft = [&] {
    return red.runs < maxRuns && std::chrono::duration<double>(Clock::now() - start).count() < maxSeconds;
  };
  // Runs a candidate; on the same failure keeps it, cut after the event it broke at.
  const auto tryKeep = [&](std::vector<TSoakEvent> candidate) {
    ++red.runs;
    const TSoakResult r = RunIsolated(ListSource(candidate), options, iso);
    if (r.ok || r.kind != kind) return false;
    if (r.event > 0 && r.event < candidate.size()) candidate.resize(r.event);
    red.events = std::move(candidate);
    red.result = r;
    return true;
  };
  red.reproduced = tryKeep(events);
  if (!red.reproduced) {
    red.events = events;
    red.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return red;
  }
  if (log) log("reproduced after " + std::to_string(red.events.size()) + " events");

  // ddmin on the complements.
  std::size_t n = 2;
  while (red.events.size() >= 2 && budgetLeft()) {
    const std::size_t size = red.events.size();
    const std::size_t chunk = (size + n - 1) / n;
    bool reduced = false;
    for (std::size_t i = 0; i * chunk < size && budgetLeft(); ++i) {
      std::vector<TSoakEvent> c(red.events.begin(), red.events.begin() + static_cast<std::ptrdiff_t>(i * chunk));
      c.insert(c.end(), red.events.begin() + static_cast<std::ptrdiff_t>(std::min(size, (i + 1) * chunk)),
               red.events.end());
      if (!c.empty() && tryKeep(std::move(c))) {
        reduced = true;
        break;
      }
    }
    if (reduced) {
      n = std::max<std::size_t>(n - 1, 2);
      if (log) log(std::to_string(red.events.size()) + " events (" + std::to_string(red.runs) + " runs)");
    } else if (n >= size) {
      break;
    } else {
      n = std::min(n * 2, size);
    }
  }

  // Simpler events: each change kept only while the failure stays.
  for (int pass = 0; pass < 2 && budgetLeft(); ++pass) {
    for (std::size_t i = 0; i < red.events.size() && budgetLeft(); ++i) {
      std::vector<TSoakEvent> variants;
      TSoakEvent e = red.events[i];
      const auto add = [&](TSoakEvent v) {
        if (!(v == red.events[i])) variants.push_back(v);
      };
      TSoakEvent v = e;
      v.gap = 0;
      add(v);
      if (e.gap > 10) {
        v = e;
        v.gap = e.gap / 2;
        add(v);
      }
      v = e;
      if (e.kind == TSoakKind::Short) v.arg = 100;
      if (e.kind == TSoakKind::Long) v.arg = 500;
      if (e.kind == TSoakKind::Chord) v.arg = 100;
      if (e.kind == TSoakKind::Hold) v.arg = 1;
      add(v);
      if (e.kind == TSoakKind::Hold && e.arg > 2) {
        v = e;
        v.arg = e.arg / 2;
        add(v);
      }
      for (const TSoakEvent& var : variants) {
        std::vector<TSoakEvent> c = red.events;
        c[i] = var;
        if (i < c.size() && tryKeep(std::move(c))) break;
      }
    }
    // One event less, one at a time, now that the others are simpler.
    for (std::size_t i = red.events.size(); i-- > 0 && budgetLeft();) {
      if (red.events.size() < 2 || i >= red.events.size()) continue;
      std::vector<TSoakEvent> c = red.events;
      c.erase(c.begin() + static_cast<std::ptrdiff_t>(i));
      tryKeep(std::move(c));
    }
  }
  red.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (log) log("reduced to " + std::to_string(red.events.size()) + " events in " + std::to_string(red.runs) + " runs");
  return red;
}
