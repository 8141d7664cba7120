// Runs the built marlin2kestrel and the support tools as a person would, in a
// fresh Kestrel data folder per test.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/dbf_reader.h"
#include "support/report_reader.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

struct Ran {
  int status = -1;
  std::string output;
};

using testing_support::dbfreadCounts;
using testing_support::dbfreadRows;
using testing_support::hasLine;
using testing_support::readText;
using testing_support::reportLines;

inline std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

// The regional setting of a Belgian French desktop (decimal comma). When the
// machine lacks it, it is generated into a folder of the test process that
// LOCPATH names (the machine's own locales are left alone); `name` is empty
// when it cannot be had.
struct TestLocale {
  std::string name = "fr_BE.UTF-8";
  std::unique_ptr<testing_support::ScratchFolder> made;  // for LOCPATH; none for an installed locale
  std::string folder() const { return made ? made->path().string() : std::string(); }
  std::string environment() const { return (made ? "LOCPATH=" + folder() + " " : "") + "LC_ALL=" + name; }
};

inline const TestLocale& belgianFrenchLocale() {
  static const TestLocale locale = [] {
    TestLocale l;
    if (std::system("locale -a 2>/dev/null | grep -qix 'fr_BE.utf-\\?8'") == 0) return l;
    l.made = std::make_unique<testing_support::ScratchFolder>("fr_BE_locale");
    const std::string target = l.made->file(l.name);
    std::system(("localedef -i fr_BE -f UTF-8 '" + target + "' >/dev/null 2>&1").c_str());
    if (!fs::exists(fs::path(target) / "LC_NUMERIC")) l.name.clear();
    return l;
  }();
  return locale;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = scratch.path();
    kestrel = root / "kestrel";
    fs::create_directories(kestrel);
  }

  // Runs a command line; the exit status and everything it printed.
  Ran run(const std::string& command, const std::string& environment = "") {
    const fs::path out = root / "out.txt";
    const std::string line = environment + " " + command + " > " + shellQuoted(out.string()) + " 2>&1 < /dev/null";
    int raw = std::system(line.c_str());
    Ran r;
    r.status = raw == -1 ? -1 : (raw >> 8) & 0xff;
    r.output = readText(out);
    return r;
  }

  Ran import(const std::string& arguments, const std::string& environment = "") {
    return run(std::string(M2K_BIN_DIR) + "/marlin2kestrel --kestrel-folder " + shellQuoted(kestrel.string()) +
                   " --dossier ACME " + arguments,
               environment);
  }

  static std::string sample(const std::string& form) { return std::string(M2K_BUILD_DIR) + "/samples/" + form; }

  testing_support::ScratchFolder scratch;
  fs::path root, kestrel;
};
