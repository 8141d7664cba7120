// Helpers of the source tests: scratch folders, copies of the shared Access
// files, the output of the mdbtools command-line tools, CSV parsing.
#pragma once
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#endif

namespace source_test {

namespace fs = std::filesystem;

struct ScratchDir {
  fs::path path;
  ScratchDir() {
    std::random_device rd;
    path = fs::temp_directory_path() / ("m2k-source-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string file(const std::string& name) const { return (path / name).string(); }
};

// A copy of a shared fixture: the originals are read-only inputs.
inline std::string copyFixture(const ScratchDir& dir, const std::string& name, const std::string& as = {}) {
  fs::path to = dir.path / (as.empty() ? name : as);
  fs::copy_file(fs::path(M2K_SHARED_DIR) / "fixtures" / "mdb" / name, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
  return to.string();
}

inline std::string commandOutput(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// RFC 4180 records (quoted fields may hold commas, quotes and line breaks).
inline std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
      else if (c == '"') quoted = false;
      else field += c;
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
    } else if (c == '\n') {
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
      any = false;
    } else if (c != '\r') {
      field += c;
      any = true;
    }
  }
  if (any || !row.empty()) {
    row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

// A table as mdb-export prints it (header row first).
inline std::vector<std::vector<std::string>> exportTable(const std::string& file, const std::string& table) {
  return parseCsv(commandOutput("mdb-export '" + file + "' '" + table + "'"));
}

}  // namespace source_test
