// Helpers of the source tests: scratch folders, copies of the shared Access
// files, tables as the mdbtools command-line tools read them.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "support/mdb_cli.h"
#include "support/scratch_folder.h"

namespace source_test {

namespace fs = std::filesystem;

using testing_support::ScratchFolder;

// A copy of a shared fixture: the originals are read-only inputs.
inline std::string copyFixture(const ScratchFolder& dir, const std::string& name, const std::string& as = {}) {
  fs::path to = dir.path() / (as.empty() ? name : as);
  fs::copy_file(fs::path(M2K_SHARED_DIR) / "fixtures" / "mdb" / name, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
  return to.string();
}

// A table as mdb-export prints it: header row first, null as empty text,
// dates as "YYYY-MM-DD HH:MM:SS".
inline std::vector<std::vector<std::string>> exportTable(const std::string& file, const std::string& table) {
  mdbcli::Table t = mdbcli::exportTable(file, table);
  std::vector<std::vector<std::string>> rows{t.header};
  for (const auto& r : t.rows) {
    auto& row = rows.emplace_back();
    for (const auto& v : r) row.push_back(v.value_or(""));
  }
  return rows;
}

}  // namespace source_test
