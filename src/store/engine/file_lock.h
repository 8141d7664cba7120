// Use of a file by one open table that may change it, or by any number that
// only read it, across processes too; and exclusive use of a folder by one
// import run. The only platform-specific code of the store lives behind this
// interface.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/bilingual.h"

namespace store {

// fopen for a path in any script (Windows needs the wide-character call).
std::FILE* openFile(const std::filesystem::path& file, const char* mode);
// fseek to a 64-bit offset (a long is 32 bits on Windows).
bool seekFile(std::FILE* file, uint64_t offset);

class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();
  // Shared: beside other shared holders only, for a table that is only read.
  enum class Use { Exclusive, Shared };
  // False (with a reason) when this or another process holds the file in a
  // way that excludes `use`.
  bool acquire(const std::filesystem::path& file, base::Bilingual& error, Use use = Use::Exclusive);
  void release();
  // True while a table of this process holds the file.
  static bool heldHere(const std::filesystem::path& file);

 private:
  std::string key_;
  intptr_t handle_ = -1;
  bool shared_ = false;
};

// An exclusive lock on a folder, held through an open handle of this process:
// the system drops it when the process ends, however it ends, so a crash
// leaves nothing behind that would keep a later run out. Nothing is written
// into the folder.
class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();
  // Takes the lock, waiting for another holder to let go when `wait` is true.
  // False when another holder has it (and `wait` is false) or the folder cannot
  // be opened.
  bool acquire(const std::filesystem::path& folder, bool wait);
  void release();
  bool held() const { return handle_ != -1; }

 private:
  intptr_t handle_ = -1;
};

}  // namespace store
