// Runs the built marlin2kestrel and the support tools as a person would, in a
// fresh Kestrel data folder per test.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct Ran {
  int status = -1;
  std::string output;
};

inline std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("m2k_cli_" + std::to_string(std::random_device{}()));
    kestrel = root / "kestrel";
    fs::create_directories(kestrel);
  }
  void TearDown() override { fs::remove_all(root); }

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

  // Every table of the finished dossier read by python3-dbfread: file name and row count.
  std::map<std::string, long> dbfreadCounts(const fs::path& folder) {
    const fs::path script = root / "count.py";
    std::ofstream(script) << R"PY(
import sys, os
from dbfread import DBF
folder = sys.argv[1]
for name in sorted(f for f in os.listdir(folder) if f.upper().endswith('.DBF')):
    print(name, len(list(DBF(os.path.join(folder, name), encoding='cp1252', char_decode_errors='strict'))))
)PY";
    Ran r = run(python() + " " + shellQuoted(script.string()) + " " + shellQuoted(folder.string()));
    EXPECT_EQ(r.status, 0) << r.output;
    std::map<std::string, long> counts;
    std::stringstream in(r.output);
    std::string name;
    long n;
    while (in >> name >> n) counts[name] = n;
    return counts;
  }

  // One column of a table read by python3-dbfread, trimmed.
  std::vector<std::string> dbfreadColumn(const fs::path& table, const std::string& column) {
    const fs::path script = root / "column.py";
    std::ofstream(script) << R"PY(
import sys
from dbfread import DBF
for r in DBF(sys.argv[1], encoding='cp1252'):
    print(str(r[sys.argv[2]]).strip())
)PY";
    Ran r = run(python() + " " + shellQuoted(script.string()) + " " + shellQuoted(table.string()) + " " + column);
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<std::string> values;
    std::stringstream in(r.output);
    for (std::string line; std::getline(in, line);) values.push_back(line);
    return values;
  }

  // Migration reports checked against the JSON schema by python3-jsonschema
  // and read as lines (tests/app/report_lines.py).
  std::vector<std::string> reportLines(const std::vector<fs::path>& reports) {
    std::string command = python() + " " + shellQuoted(std::string(M2K_SOURCE_DIR) + "/tests/app/report_lines.py") +
                          " " + shellQuoted(std::string(M2K_SOURCE_DIR) + "/docs/migration-report.schema.json");
    for (const fs::path& r : reports) command += " " + shellQuoted(r.string());
    Ran r = run(command);
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<std::string> lines;
    std::stringstream in(r.output);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static bool has(const std::vector<std::string>& lines, const std::string& start) {
    for (const std::string& l : lines)
      if (l.rfind(start, 0) == 0) return true;
    return false;
  }

  // Debian's interpreter, where python3-dbfread is installed.
  static std::string python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

  fs::path root, kestrel;
};
