#include "procstat.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

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

long ResidentWhenReady(const std::string& program, const char* ready, int settleMs) {
  int out[2];
  if (pipe(out) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string line;
  char ch;
  while (read(out[0], &ch, 1) == 1 && ch != '\n') line += ch;
  long rss = -1;
  if (line.rfind(ready, 0) == 0) {
    usleep(static_cast<useconds_t>(settleMs) * 1000);
    rss = ReadStatusKb(pid, "VmRSS");
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(out[0]);
  return rss;
}
