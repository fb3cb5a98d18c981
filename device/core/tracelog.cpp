#include "tracelog.h"

namespace {
// Keeps a runaway loop from eating memory; the log has no visible function.
constexpr std::size_t kMaxLines = 100000;
}

void TTraceLog::Add(const std::string& line) {
  std::lock_guard<std::mutex> g(mutex_);
  if (lines_.size() >= kMaxLines) lines_.erase(lines_.begin(), lines_.begin() + kMaxLines / 2);
  lines_.push_back(line);
}

std::vector<std::string> TTraceLog::Lines() const {
  std::lock_guard<std::mutex> g(mutex_);
  return lines_;
}

void TTraceLog::Clear() {
  std::lock_guard<std::mutex> g(mutex_);
  lines_.clear();
}

TTraceLog& TraceLog() {
  static TTraceLog log;
  return log;
}
