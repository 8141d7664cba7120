#include "store/engine/file_lock.h"

#include <map>
#include <mutex>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace store {
namespace {

std::mutex gMutex;
// The files tables of this process hold: how many readers share each, or -1
// for the one table that may change it. The system's locks below stand
// between processes; within one, a second descriptor's lock would not.
std::map<std::string, int>& heldFiles() {
  static std::map<std::string, int> files;
  return files;
}
constexpr int kExclusive = -1;

#ifndef _WIN32
// An open descriptor holding a flock (exclusive, or shared when `shared`), or
// -1; the lock goes with the descriptor, and the descriptor with the process.
intptr_t flockedDescriptor(const std::filesystem::path& path, int openFlags, bool wait, bool shared = false) {
  int fd = ::open(path.c_str(), openFlags | O_CLOEXEC);
  if (fd < 0) return -1;
  int locked;
  do {
    locked = ::flock(fd, (shared ? LOCK_SH : LOCK_EX) | (wait ? 0 : LOCK_NB));
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}
#endif

#ifdef _WIN32
// A byte far beyond the end, locked as xBase engines do: other programs and
// other handles of this one see the file as taken. Records never reach it,
// so even a shared lock, which bars writing the bytes it covers, bars none.
constexpr DWORD kLockedByte = 0x7FFFFFFE;
#endif

intptr_t lockOs(const std::filesystem::path& file, bool shared) {
#ifdef _WIN32
  int fd = -1;
  if (_wsopen_s(&fd, file.wstring().c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO, _S_IREAD) != 0) return -1;
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  OVERLAPPED at{};
  at.Offset = kLockedByte;
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (shared ? 0 : LOCKFILE_EXCLUSIVE_LOCK);
  if (h == INVALID_HANDLE_VALUE || !LockFileEx(h, flags, 0, 1, 0, &at)) {
    _close(fd);
    return -1;
  }
  return fd;
#else
  return flockedDescriptor(file, O_RDONLY, false, shared);
#endif
}

void unlockOs(intptr_t handle) {
#ifdef _WIN32
  OVERLAPPED at{};
  at.Offset = kLockedByte;
  UnlockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(static_cast<int>(handle))), 0, 1, 0, &at);
  _close(static_cast<int>(handle));
#else
  ::close(static_cast<int>(handle));
#endif
}

}  // namespace

std::FILE* openFile(const std::filesystem::path& file, const char* mode) {
#ifdef _WIN32
  std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(file.wstring().c_str(), wmode.c_str());
#else
  return std::fopen(file.c_str(), mode);
#endif
}

bool seekFile(std::FILE* file, uint64_t offset) {
  if (offset > uint64_t(INT64_MAX)) return false;
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

namespace {
std::string keyOf(const std::filesystem::path& file) {
  std::error_code ec;
  std::string key = std::filesystem::weakly_canonical(file, ec).string();
  return ec ? std::filesystem::absolute(file).string() : key;
}
}  // namespace

bool FileLock::heldHere(const std::filesystem::path& file) {
  std::lock_guard<std::mutex> guard(gMutex);
  return heldFiles().count(keyOf(file)) > 0;
}

FileLock::~FileLock() { release(); }

bool FileLock::acquire(const std::filesystem::path& file, base::Bilingual& error, Use use) {
  release();
  const bool shared = use == Use::Shared;
  std::string key = keyOf(file);
  std::lock_guard<std::mutex> guard(gMutex);
  const auto held = heldFiles().find(key);
  if (held != heldFiles().end() && (!shared || held->second == kExclusive)) {
    error = base::Bilingual("table déjà ouverte : ", "tabel is al geopend: ") + file.string();
    return false;
  }
  // Each reader takes its own system lock, so that any of them may end first.
  intptr_t h = lockOs(file, shared);
  if (h < 0) {
    error = base::Bilingual("ouverture exclusive impossible (fichier utilisé ou illisible) : ",
                            "kan niet exclusief openen (bestand in gebruik of onleesbaar): ") +
            file.string();
    return false;
  }
  int& holders = heldFiles()[key];
  holders = shared ? holders + 1 : kExclusive;
  key_ = key;
  handle_ = h;
  shared_ = shared;
  return true;
}

void FileLock::release() {
  if (key_.empty()) return;
  std::lock_guard<std::mutex> guard(gMutex);
  const auto held = heldFiles().find(key_);
  if (held != heldFiles().end() && (!shared_ || --held->second == 0)) heldFiles().erase(held);
  unlockOs(handle_);
  key_.clear();
  handle_ = -1;
}

namespace {

intptr_t lockFolderOs(const std::filesystem::path& folder, bool wait) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return -1;
#ifdef _WIN32
  // Windows cannot lock a folder as such: a named mutex stands for it. The
  // system hands a mutex whose owner ended on as abandoned, so it dies with
  // the process as a lock should.
  std::wstring key = std::filesystem::weakly_canonical(folder, ec).wstring();
  if (ec) key = std::filesystem::absolute(folder).wstring();
  for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(c));
  const std::wstring name = L"Local\\marlin2kestrel-" + std::to_wstring(std::hash<std::wstring>{}(key));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (!mutex) return -1;
  const DWORD got = WaitForSingleObject(mutex, wait ? INFINITE : 0);
  if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return -1;
  }
  return reinterpret_cast<intptr_t>(mutex);
#else
  return flockedDescriptor(folder, O_RDONLY | O_DIRECTORY, wait);
#endif
}

void unlockFolderOs(intptr_t handle) {
#ifdef _WIN32
  ReleaseMutex(reinterpret_cast<HANDLE>(handle));
  CloseHandle(reinterpret_cast<HANDLE>(handle));
#else
  ::close(static_cast<int>(handle));
#endif
}

}  // namespace

FolderLock::~FolderLock() { release(); }

bool FolderLock::acquire(const std::filesystem::path& folder, bool wait) {
  release();
  handle_ = lockFolderOs(folder, wait);
  return handle_ != -1;
}

void FolderLock::release() {
  if (handle_ == -1) return;
  unlockFolderOs(handle_);
  handle_ = -1;
}

}  // namespace store
