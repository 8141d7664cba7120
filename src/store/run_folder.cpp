#include "store/run_folder.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "base/path.h"
#include "base/text.h"
#include "store/dossier_placement.h"
#include "store/engine/file_lock.h"

namespace fs = std::filesystem;

namespace store {
namespace {

constexpr size_t kRunFolderDigits = 16;

std::string newRunFolderName() {
  static const char* hex = "0123456789abcdef";
  std::random_device random;
  std::string name = kRunFolderPrefix;
  for (size_t i = 0; i < kRunFolderDigits; ++i) name += hex[random() % 16];
  return name;
}

}  // namespace

size_t runFolderNameLength() { return std::strlen(kRunFolderPrefix) + kRunFolderDigits; }

bool isRunFolderName(const std::string& name) {
  const size_t prefix = std::strlen(kRunFolderPrefix);
  if (name.size() != runFolderNameLength() || !base::equalsIgnoringCase(name.substr(0, prefix), kRunFolderPrefix))
    return false;
  for (size_t i = prefix; i < name.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

bool lockKestrelFolder(FolderLock& lock, const std::string& kestrelFolder) {
  return lock.acquire(nativePath(kestrelFolder), true);
}

RunFolder::RunFolder() : lock_(std::make_unique<FolderLock>()) {}

std::unique_ptr<RunFolder> RunFolder::create(const std::string& kestrelFolder, FileError& error) {
  std::unique_ptr<RunFolder> folder(new RunFolder);
  FolderLock kestrel;
  if (!lockKestrelFolder(kestrel, kestrelFolder)) {
    error = FileError{kestrelFolder, std::make_error_code(std::errc::no_such_file_or_directory)};
    return nullptr;
  }
  std::error_code ec;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string path = base::withNativeSeparators(base::joinPath(kestrelFolder, newRunFolderName()));
    if (!fs::create_directory(nativePath(path), ec)) {
      if (!ec) continue;  // the name was taken: draw another
      error = FileError{path, ec};
      return nullptr;
    }
    // Held before the Kestrel folder's lock is let go, so no sweep takes it for stale.
    if (!folder->lock_->acquire(nativePath(path), false)) {
      fs::remove(nativePath(path), ec);
      error = FileError{path, std::make_error_code(std::errc::permission_denied)};
      return nullptr;
    }
    folder->path_ = path;
    return folder;
  }
  error = FileError{kestrelFolder, std::make_error_code(std::errc::file_exists)};
  return nullptr;
}

RunFolder::~RunFolder() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(nativePath(path_), ec);
  lock_->release();
}

void sweepStaleRunFolders(const std::string& kestrelFolder) {
  FolderLock kestrel;
  if (!lockKestrelFolder(kestrel, kestrelFolder)) return;
  std::error_code ec;
  std::vector<fs::path> stale;
  for (const auto& entry : fs::directory_iterator(nativePath(kestrelFolder), ec))
    if (entry.is_directory(ec) && isRunFolderName(entry.path().filename().string())) stale.push_back(entry.path());
  for (const fs::path& folder : stale) {
    FolderLock held;
    if (!held.acquire(folder, false)) continue;  // a live run's
    undoInterruptedPlacement(folder.string());
    MyFileDelete(nullptr, folder.string());
  }
}

}  // namespace store
