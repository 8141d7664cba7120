// A source held in memory, for tests of the code that drives the conversion
// steps: named tables, and query texts answered by a table of rows.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "run/source.h"

namespace testing_support {

struct MemoryTable {
  std::vector<std::string> columns;
  std::vector<std::vector<run::Value>> rows;
};

class MemorySource : public run::Source {
 public:
  // Tables by name (matched in any letter case) and answers to query texts.
  std::map<std::string, MemoryTable> tables;
  std::map<std::string, MemoryTable> answers;
  std::vector<std::string> queries;  // every query text run, in order
  bool failQueries = false;

  std::unique_ptr<run::RowSet> query(const std::string& sql, const std::vector<run::Value>& params = {}) override;
  std::unique_ptr<run::RowSet> openTable(const std::string& name) override;
  bool hasTable(const std::string& name) override;
  std::vector<std::string> tableNames() override;

  const MemoryTable* find(const std::string& name) const;
};

run::Value dateValue(int year, int month, int day);

}  // namespace testing_support
