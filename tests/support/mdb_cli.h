// Reads .mdb files through the mdbtools command line programs, the independent
// reader that the source layer and the sample files are checked against.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace mdbcli {

// Runs a shell command and returns its standard output; throws when it fails.
std::string run(const std::string& command);
// `s` as one word of a shell command.
std::string shellQuoted(const std::string& s);

struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::optional<std::string>>> rows;  // nullopt: null (mdbtools also reads "" as null)
  int column(const std::string& name) const;                  // -1 when absent
};

// Dates come out as "yyyy-mm-dd hh:mm:ss", Booleans as 1/0, currency with 4 decimals.
Table exportTable(const std::string& file, const std::string& table);
std::vector<std::string> tables(const std::string& file);
std::string version(const std::string& file);
std::string schema(const std::string& file);

}  // namespace mdbcli
