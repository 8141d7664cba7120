// A source held in memory, for feeding the conversion steps hand-made rows.
// The real Access and SQL readers are tested on real databases elsewhere.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "run/source.h"

namespace test_support {

// One row: the columns it sets; every other column of the table is null.
using Row = std::vector<std::pair<std::string, run::Value>>;

struct MemoryTable {
  std::vector<std::string> columns;
  std::vector<Row> rows;
};

class MemoryRowSet : public run::RowSet {
 public:
  explicit MemoryRowSet(MemoryTable table);
  bool eof() const override;
  void moveNext() override;
  void moveFirst() override;
  void moveLast() override;
  long recordCount() override;
  bool hasField(std::string_view name) const override;
  run::Value field(std::string_view name) const override;
  std::vector<std::string> columns() const override;

 private:
  MemoryTable table_;
  size_t position_ = 0;
};

// Queries are answered by their exact text, tables by name in any letter case.
class MemorySource : public run::Source {
 public:
  void addQuery(const std::string& sql, MemoryTable table) { queries_[sql] = std::move(table); }
  void addTable(const std::string& name, MemoryTable table);
  std::unique_ptr<run::RowSet> query(const std::string& sql, const std::vector<run::Value>& params = {}) override;
  std::unique_ptr<run::RowSet> openTable(const std::string& name) override;
  bool hasTable(const std::string& name) override;
  std::vector<std::string> tableNames() override;

 private:
  std::map<std::string, MemoryTable> queries_;
  std::map<std::string, MemoryTable> tables_;  // upper-case names
  std::vector<std::string> names_;
};

// Value shorthands.
inline run::Value Text(std::string s) { return run::Value::ofText(std::move(s)); }
inline run::Value Int(int64_t i) { return run::Value::ofInt(i); }
run::Value Date(int year, int month, int day);

}  // namespace test_support
