#include "support/report_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "support/mdb_cli.h"

namespace testing_support {

std::vector<std::string> reportLines(const std::vector<std::filesystem::path>& reports) {
  // Debian's interpreter, where python3-jsonschema is installed (a pyenv python3 may come first in PATH).
  const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  std::string command =
      python + " " + mdbcli::shellQuoted(std::string(M2K_SOURCE_DIR) + "/tests/support/read_report.py") + " " +
      mdbcli::shellQuoted(std::string(M2K_SOURCE_DIR) + "/docs/migration-report.schema.json");
  for (const auto& r : reports) command += " " + mdbcli::shellQuoted(r.string());
  std::string text;
  try {
    text = mdbcli::run(command);
  } catch (const std::runtime_error& e) {
    ADD_FAILURE() << e.what();
  }
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) {
    EXPECT_NE(line.rfind("invalid|", 0), 0u) << line;
    lines.push_back(line);
  }
  return lines;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& start) {
  for (const std::string& l : lines)
    if (l.rfind(start, 0) == 0) return true;
  return false;
}

}  // namespace testing_support
