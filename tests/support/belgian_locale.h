// The regional setting of a Belgian French desktop (decimal comma), for the
// tests that check that no number the program reads or writes follows it.
#pragma once
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "support/scratch_folder.h"

namespace testing_support {

// When the machine lacks the locale, it is generated into a folder of the
// test process that LOCPATH names (the machine's own locales are left alone);
// `name` is empty when it cannot be had.
struct TestLocale {
  std::string name = "fr_BE.UTF-8";
  std::unique_ptr<ScratchFolder> made;  // for LOCPATH; none for an installed locale
  std::string folder() const { return made ? made->path().string() : std::string(); }
  // For a command line run by the shell.
  std::string environment() const { return (made ? "LOCPATH=" + folder() + " " : "") + "LC_ALL=" + name; }
};

inline const TestLocale& belgianFrenchLocale() {
  static const TestLocale locale = [] {
    TestLocale l;
    if (std::system("locale -a 2>/dev/null | grep -qix 'fr_BE.utf-\\?8'") == 0) return l;
    l.made = std::make_unique<ScratchFolder>("fr_BE_locale");
    const std::string target = l.made->file(l.name);
    std::system(("localedef -i fr_BE -f UTF-8 '" + target + "' >/dev/null 2>&1").c_str());
    if (!std::filesystem::exists(std::filesystem::path(target) / "LC_NUMERIC")) l.name.clear();
    return l;
  }();
  return locale;
}

// The locale set for this whole process while the object lives, as a window
// toolkit or a host sets it from the desktop (POSIX: LOCPATH).
class ProcessLocale {
 public:
  explicit ProcessLocale(const TestLocale& locale) : before_(std::setlocale(LC_ALL, nullptr)) {
    if (locale.made) setenv("LOCPATH", locale.folder().c_str(), 1);
    set_ = std::setlocale(LC_ALL, locale.name.c_str()) != nullptr;
  }
  ~ProcessLocale() {
    std::setlocale(LC_ALL, before_.c_str());
    unsetenv("LOCPATH");
  }
  ProcessLocale(const ProcessLocale&) = delete;
  ProcessLocale& operator=(const ProcessLocale&) = delete;
  bool set() const { return set_; }

 private:
  std::string before_;
  bool set_ = false;
};

}  // namespace testing_support
