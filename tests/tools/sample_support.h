// Shared pieces of the sample dossier tests: collecting a generated book
// year, scratch folders, and comparing values read back with generated ones.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/source.h"
#include "marlin_dossier.h"
#include "support/scratch_folder.h"

namespace sample_test {

namespace fs = std::filesystem;

struct Entries : marlin::EntrySink {
  std::vector<marlin::Row> lines, checks;
  void historic(const marlin::Row& r) override { lines.push_back(r); }
  void checking(const marlin::Row& r) override { checks.push_back(r); }
};

// The Historic and Checking tables of one book year, as generated.
inline std::vector<marlin::TableData> entryTables(const marlin::Dossier& d, int year) {
  Entries e;
  d.generateEntries(year, e);
  return {{"Historic", marlin::Dossier::historicColumns(), std::move(e.lines)},
          {"Checking", marlin::Dossier::checkingColumns(), std::move(e.checks)}};
}

inline int64_t integerOf(const marlin::Row& r, int column) { return std::get<int64_t>(r.at(column)); }
inline int64_t unitsOf(const marlin::Row& r, int column) { return std::get<jet4::Currency>(r.at(column)).units; }
inline std::string textOf(const marlin::Row& r, int column) {
  auto s = std::get_if<std::string>(&r.at(column));
  return s ? *s : std::string();
}

// One text for equal values, whether generated or read back through the
// project's source layer (empty text and null are the same, as for mdbtools).
std::string canonical(const jet4::Value& v);
std::string canonical(const base::Value& v, jet4::Type type);

// How mdbcli::exportTable shows a value written with the Jet 4 writer.
std::optional<std::string> exportText(const jet4::Value& v);

// Compares every row and column of a source table with the generated table;
// rows in stored order, or in any order where the store keeps none (SQL).
void expectSourceTable(base::Source& source, const std::string& name, const marlin::TableData& want, bool ordered = true);

}  // namespace sample_test
