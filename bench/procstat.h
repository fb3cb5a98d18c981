#pragma once
// The kernel's accounting of threads and memory, read from /proc; Qt-free, so
// that the start-up watcher can use it too.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// One thread of a process as the scheduler accounts it.
struct TTaskStats {
  int tid = 0;
  std::string name;
  std::uint64_t cpuNs = 0;      // time on a processor
  std::uint64_t voluntary = 0;  // times it blocked, so times it was woken
  std::uint64_t involuntary = 0;
};
std::vector<TTaskStats> ReadTasks(pid_t pid);
TTaskStats ReadTask(pid_t pid, int tid);
// A field of /proc/<pid>/status in kB (VmRSS, VmHWM, ...), -1 if absent.
long ReadStatusKb(pid_t pid, const char* field);
// The directory of the running executable, with a trailing slash.
std::string ExecutableDir();
// Starts program (no arguments, this process's environment) with its
// standard output on a pipe, waits for a line that starts with `ready`, then
// settleMs more, and returns its VmRSS in kB, -1 if it never got ready. The
// program is killed afterwards.
long ResidentWhenReady(const std::string& program, const char* ready, int settleMs);
