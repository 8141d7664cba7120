// A limit on the size a file of this process may reach, for as long as it
// lives: writes past it fail as they would on a full disk (POSIX only).
#pragma once
#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#include <cstdint>

namespace testing_support {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::uintmax_t bytes) {
    // The failing write returns an error instead of ending the process.
    previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousSignal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousSignal_)(int) = SIG_DFL;
};

}  // namespace testing_support
#endif
