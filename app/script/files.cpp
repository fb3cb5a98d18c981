#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

#include "pngfile.h"

namespace {

// The temporary files now open, for the signal handler: it may only unlink.
struct TTempSlot {
  volatile std::sig_atomic_t used;
  int dirFd;
  char name[256];
};
TTempSlot gTemps[4];

int Register(int dirFd, const std::string& name) {
  if (name.size() >= sizeof gTemps[0].name) return -1;
  for (int i = 0; i < static_cast<int>(std::size(gTemps)); ++i) {
    TTempSlot& s = gTemps[i];
    if (s.used) continue;
    s.dirFd = dirFd;
    std::memcpy(s.name, name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    s.used = 1;
    return i;
  }
  return -1;
}

void Unregister(int& slot) {
  if (slot >= 0) gTemps[slot].used = 0;
  slot = -1;
}

extern "C" void RemoveTempsAndStop(int sig) {
  for (const TTempSlot& s : gTemps)
    if (s.used) ::unlinkat(s.dirFd, s.name, 0);
  // The handler was reset on entry: the signal, pending until we return,
  // ends the program as it would have.
  ::raise(sig);
}

}  // namespace

TRead ReadUpTo(const std::string& path, std::size_t limit, std::string& bytes, std::string& why) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return TRead::Failed;
  }
  TRead result = TRead::Ok;
  // A file that says its size is refused unread; others are read to the limit.
  if (struct stat st {}; ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) > limit) {
    ::close(fd);
    return TRead::TooLarge;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = std::strerror(errno);
      result = TRead::Failed;
      break;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<std::size_t>(n) > limit) {
      result = TRead::TooLarge;
      break;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (result != TRead::Ok) bytes.clear();
  return result;
}

void InstallStopHandlers() {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction sa {};
    sa.sa_handler = RemoveTempsAndStop;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

TOutFolder::~TOutFolder() {
  if (fd_ >= 0) ::close(fd_);
}

bool TOutFolder::Open(const std::string& dir, std::string& why) {
  namespace fs = std::filesystem;
  dir_ = dir;
  std::vector<std::string> made;
  auto fail = [&](const char* what, int err) {
    why = std::string("cannot ") + what + " the folder " + dir + ": " + std::strerror(err);
    for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
    return false;
  };
  fs::path sofar;
  for (const fs::path& part : fs::path(dir)) {
    if (part.empty()) continue;  // after a trailing slash
    sofar /= part;
    const std::string s = sofar.string();
    if (::mkdir(s.c_str(), 0777) == 0) {
      made.push_back(s);
      continue;
    }
    if (errno != EEXIST) return fail("make", errno);
    struct stat st {};
    if (::stat(s.c_str(), &st) != 0) return fail("enter", errno);
    if (!S_ISDIR(st.st_mode)) return fail("enter", ENOTDIR);
  }
  fd_ = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return fail("enter", errno);
  if (::faccessat(fd_, ".", W_OK | X_OK, AT_EACCESS) != 0) {
    const int err = errno;
    ::close(fd_);
    fd_ = -1;
    return fail("write in", err);
  }
  return true;
}

TOutFile::TOutFile(const TOutFolder& folder, const std::string& name)
    : folder_(folder), name_(name), temp_("." + name + ".tmp" + std::to_string(::getpid())) {}

std::string TOutFile::Failure(const std::string& reason) const {
  return (std::filesystem::path(folder_.Dir()) / name_).string() + ": cannot write: " + reason;
}

bool TOutFile::Open(std::string& why) {
  slot_ = Register(folder_.Fd(), temp_);
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  int fd = ::openat(folder_.Fd(), temp_.c_str(), flags, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left by an earlier program of the same process number.
    ::unlinkat(folder_.Fd(), temp_.c_str(), 0);
    fd = ::openat(folder_.Fd(), temp_.c_str(), flags, 0666);
  }
  if (fd >= 0 && !(file_ = ::fdopen(fd, "wb"))) {
    const int err = errno;
    ::close(fd);
    ::unlinkat(folder_.Fd(), temp_.c_str(), 0);
    errno = err;
    fd = -1;
  }
  if (fd < 0) {
    why = Failure(std::strerror(errno));
    Unregister(slot_);
    return false;
  }
  created_ = true;
  return true;
}

bool TOutFile::Write(const void* data, std::size_t size) {
  if (!error_ && std::fwrite(data, 1, size, file_) != size) error_ = errno ? errno : EIO;
  return !error_;
}

bool TOutFile::Commit(std::string& why) {
  int err = error_;
  if (!err && std::fflush(file_) != 0) err = errno;
  if (std::fclose(file_) != 0 && !err) err = errno;
  file_ = nullptr;
  if (!err && ::renameat(folder_.Fd(), temp_.c_str(), folder_.Fd(), name_.c_str()) != 0) err = errno;
  if (err) {
    why = Failure(std::strerror(err));
    Drop();
    return false;
  }
  created_ = false;
  Unregister(slot_);
  return true;
}

void TOutFile::Drop() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (created_) ::unlinkat(folder_.Fd(), temp_.c_str(), 0);
  created_ = false;
  Unregister(slot_);
}

bool TFolderSink::Picture(const std::string& file, const TRgbImage& image, std::string& why) {
  TOutFile out(folder_, file);
  if (!out.Open(why)) return false;
  std::string pngWhy;
  errno = 0;
  if (!WritePng(out.Stream(), image, &pngWhy)) {
    const int err = errno;
    // A failed write leaves its errno; libpng's own reason otherwise.
    why = out.Failure(std::ferror(out.Stream()) && err ? std::strerror(err) : pngWhy);
    return false;
  }
  if (!out.Commit(why)) return false;
  written_.insert(file);
  return true;
}

bool TFolderSink::Open(const std::string& file, std::string& why) {
  stream_ = std::make_unique<TOutFile>(folder_, file);
  if (stream_->Open(why)) return true;
  stream_.reset();
  return false;
}

bool TFolderSink::Append(const std::uint8_t* data, std::size_t size, std::string& why) {
  if (!stream_) return false;
  if (stream_->Write(data, size)) return true;
  why = stream_->Failure(std::strerror(stream_->Error()));
  return false;
}

bool TFolderSink::Close(bool keep, std::string& why) {
  if (!stream_) return false;
  std::unique_ptr<TOutFile> out = std::move(stream_);
  if (!keep) return true;
  if (!out->Commit(why)) return false;
  written_.insert(out->Name());
  return true;
}
