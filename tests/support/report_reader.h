// Migration reports read by an independent reader: Debian's python3-jsonschema
// checks each against docs/migration-report.schema.json, and
// tests/support/read_report.py prints what it holds as lines.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// The lines of the reports (see read_report.py); a test failure for each way
// a report breaks the schema.
std::vector<std::string> reportLines(const std::vector<std::filesystem::path>& reports);
// True when a line begins with `start`.
bool hasLine(const std::vector<std::string>& lines, const std::string& start);

}  // namespace testing_support
