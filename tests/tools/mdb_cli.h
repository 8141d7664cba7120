// Reads .mdb files back through the mdbtools command line programs, the
// independent reader the sample files are checked against.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "jet4_writer.h"

namespace mdbcli {

// Runs a shell command and returns its standard output; throws when it fails.
std::string run(const std::string& command);

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

// How exportTable shows a value written with the Jet 4 writer.
std::optional<std::string> exportText(const jet4::Value& v);

}  // namespace mdbcli
