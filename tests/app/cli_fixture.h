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

#include "support/belgian_locale.h"
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

using testing_support::belgianFrenchLocale;
using testing_support::TestLocale;

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
