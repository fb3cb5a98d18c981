#pragma once
// The files of orb720-script. Inputs are read up to the size they can have.
// Outputs go into the output folder under a temporary name and are renamed
// when whole, so that a file there is either whole or absent, also when the
// program is stopped by a signal.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "runner.h"

enum class TRead : std::uint8_t { Ok, Failed, TooLarge };
// The bytes of path, at most limit of them; Failed with the system's reason.
TRead ReadUpTo(const std::string& path, std::size_t limit, std::string& bytes, std::string& why);

// SIGINT, SIGTERM and SIGHUP (unless ignored from the start) remove the
// temporary files and then end the program as they would have; a file size
// limit fails the write (and is reported) instead of ending the program.
void InstallStopHandlers();

class TOutFolder {
 public:
  TOutFolder() = default;
  ~TOutFolder();
  TOutFolder(const TOutFolder&) = delete;
  TOutFolder& operator=(const TOutFolder&) = delete;
  // Makes dir and its missing parents and checks that files can be made in
  // it. False, with a message naming dir and the system's reason, and the
  // folders it made removed again.
  bool Open(const std::string& dir, std::string& why);
  const std::string& Dir() const { return dir_; }
  int Fd() const { return fd_; }

 private:
  std::string dir_;
  int fd_ = -1;
};

// One file on its way into the folder.
class TOutFile {
 public:
  TOutFile(const TOutFolder& folder, const std::string& name);
  ~TOutFile() { Drop(); }
  TOutFile(const TOutFile&) = delete;
  TOutFile& operator=(const TOutFile&) = delete;
  bool Open(std::string& why);
  std::FILE* Stream() const { return file_; }
  bool Write(const void* data, std::size_t size);
  // Closes and renames it; false with Failure's message.
  bool Commit(std::string& why);
  // Removes what there is of it.
  void Drop();
  // "<folder>/<name>: cannot write: <reason>", the name the user asked for.
  std::string Failure(const std::string& reason) const;
  int Error() const { return error_; }
  const std::string& Name() const { return name_; }

 private:
  const TOutFolder& folder_;
  std::string name_, temp_;
  std::FILE* file_ = nullptr;
  int slot_ = -1;
  bool created_ = false;
  int error_ = 0;  // errno of the first failed write
};

// The folder as a run's sink: every picture is written when made, a
// recording as its bytes come.
class TFolderSink final : public TOutputSink {
 public:
  explicit TFolderSink(const TOutFolder& folder) : folder_(folder) {}
  bool Picture(const std::string& file, const TRgbImage& image, std::string& why) override;
  bool Open(const std::string& file, std::string& why) override;
  bool Append(const std::uint8_t* data, std::size_t size, std::string& why) override;
  bool Close(bool keep, std::string& why) override;
  bool Written(const std::string& file) const override { return written_.count(file) > 0; }

 private:
  const TOutFolder& folder_;
  std::unique_ptr<TOutFile> stream_;
  std::set<std::string> written_;
};
