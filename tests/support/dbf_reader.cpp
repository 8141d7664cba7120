#include "support/dbf_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "support/mdb_cli.h"

namespace testing_support {

namespace {

// The reader's output for `arguments`; a test failure, and no output, when it fails.
std::string readDbf(const std::string& command, const std::vector<std::string>& arguments) {
  // Debian's interpreter, where python3-dbfread is installed (a pyenv python3 may come first in PATH).
  const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  std::string line = python + " " + mdbcli::shellQuoted(std::string(M2K_SOURCE_DIR) + "/tests/support/read_dbf.py") +
                     " " + command;
  for (const std::string& a : arguments) line += " " + mdbcli::shellQuoted(a);
  try {
    return mdbcli::run(line);
  } catch (const std::runtime_error& e) {
    ADD_FAILURE() << e.what();
    return {};
  }
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::map<std::string, long> dbfreadCounts(const std::filesystem::path& folderOrTable) {
  std::map<std::string, long> counts;
  std::stringstream in(readDbf("count", {folderOrTable.string()}));
  std::string name;
  long live = 0, deleted = 0;
  while (in >> name >> live >> deleted) counts[name] = live;
  return counts;
}

std::vector<std::string> dbfreadRows(const std::filesystem::path& table, const std::vector<std::string>& fields) {
  std::vector<std::string> arguments = {table.string()};
  arguments.insert(arguments.end(), fields.begin(), fields.end());
  return linesOf(readDbf("rows", arguments));
}

std::string dbfreadValues(const std::filesystem::path& table) { return readDbf("repr", {table.string()}); }

}  // namespace testing_support
