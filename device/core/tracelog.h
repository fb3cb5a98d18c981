#pragma once
// The hidden diagnostic log, appended to from both threads.
#include <mutex>
#include <string>
#include <vector>

class TTraceLog {
 public:
  void Add(const std::string& line);
  std::vector<std::string> Lines() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// The program's one log (the main window's hidden memo).
TTraceLog& TraceLog();
