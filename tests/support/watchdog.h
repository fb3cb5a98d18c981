#pragma once
// Ends the test process when something armed does not finish in time, so
// that a hang fails the test instead of hanging CI.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class TWatchdog {
 public:
  TWatchdog()
      : thread_([this] {
          std::unique_lock<std::mutex> lk(m_);
          while (!quit_) {
            if (armed_ && std::chrono::steady_clock::now() > deadline_) {
              std::fprintf(stderr, "watchdog: %s did not end within %d s\n", what_.c_str(), seconds_);
              std::fflush(stderr);
              std::_Exit(3);
            }
            cv_.wait_for(lk, std::chrono::milliseconds(50));
          }
        }) {}
  ~TWatchdog() {
    {
      std::lock_guard<std::mutex> g(m_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

  void Arm(const std::string& what, int seconds) {
    std::lock_guard<std::mutex> g(m_);
    what_ = what;
    seconds_ = seconds;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    armed_ = true;
  }
  void Disarm() {
    std::lock_guard<std::mutex> g(m_);
    armed_ = false;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool quit_ = false, armed_ = false;
  std::string what_;
  int seconds_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;
};
