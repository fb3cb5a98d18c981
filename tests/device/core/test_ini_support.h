#pragma once
// Scratch directories and whole-file helpers for the INI tests.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

class TTempDir {
 public:
  TTempDir() {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("orb_ini_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  const std::filesystem::path& Path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

inline void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string GetFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
