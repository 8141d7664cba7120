#include "host/platform.h"

#include <filesystem>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <dlfcn.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace host {

namespace {
void anchor() {}
}  // namespace

std::string componentDirectory() {
#ifdef _WIN32
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&anchor), &module))
    return {};
  char buffer[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(module, buffer, MAX_PATH);
  if (n == 0) return {};
  return std::filesystem::path(std::string(buffer, n)).parent_path().string();
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&anchor), &info) == 0 || info.dli_fname == nullptr) return {};
  std::error_code ec;
  auto file = std::filesystem::canonical(info.dli_fname, ec);
  if (ec) return {};
  return file.parent_path().string();
#endif
}

const char* pathSeparator() {
#ifdef _WIN32
  return "\\";
#else
  return "/";
#endif
}

bool isTerminal(int fileDescriptor) {
#ifdef _WIN32
  return _isatty(fileDescriptor) != 0;
#else
  return isatty(fileDescriptor) != 0;
#endif
}

std::string readLineNoEcho() {
  std::string line;
#ifdef _WIN32
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  bool console = GetConsoleMode(in, &mode) != 0;
  if (console) SetConsoleMode(in, mode & ~ENABLE_ECHO_INPUT);
  std::getline(std::cin, line);
  if (console) SetConsoleMode(in, mode);
#else
  termios old{};
  bool terminal = tcgetattr(STDIN_FILENO, &old) == 0;
  if (terminal) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::getline(std::cin, line);
  if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &old);
#endif
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

ImportMemory::ImportMemory() {
#ifdef __GLIBC__
  // Blocks up to 1 GiB from the heap, and the heap cut back only when
  // 64 MiB lie free at its end: keeping more free raises the import's peak
  // for no further gain.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

void ImportMemory::releaseFree() const {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

ImportMemory::~ImportMemory() {
#ifdef __GLIBC__
  // The C library's own thresholds at start.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  malloc_trim(0);
#endif
}

}  // namespace host
