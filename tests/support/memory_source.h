// A source held in memory, for tests of the code that drives the conversion
// steps: named tables, and query texts answered by a table of rows.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/source.h"

namespace testing_support {

struct MemoryTable {
  std::vector<std::string> columns;
  std::vector<std::vector<base::Value>> rows;
};

// A row given by the columns it sets; the others are null.
using Row = std::vector<std::pair<std::string, base::Value>>;
// A table of `columns` from rows given by name (a name that is not one of the
// columns throws, so a typing error in a test cannot go unnoticed).
MemoryTable namedRows(std::vector<std::string> columns, const std::vector<Row>& rows);

// Rows of one table read forward, as a step receives them.
class MemoryRowSet : public base::RowSet {
 public:
  explicit MemoryRowSet(MemoryTable table) : t_(std::move(table)) {}
  bool eof() const override { return at_ >= t_.rows.size(); }
  void moveNext() override { ++at_; }
  void moveFirst() override { at_ = 0; }
  void moveLast() override { at_ = t_.rows.empty() ? 0 : t_.rows.size() - 1; }
  long recordCount() override { return static_cast<long>(t_.rows.size()); }
  bool hasField(std::string_view name) const override { return column(name) >= 0; }
  base::Value field(std::string_view name) const override;
  std::vector<std::string> columns() const override { return t_.columns; }

 private:
  int column(std::string_view name) const;
  MemoryTable t_;
  std::size_t at_ = 0;
};

class MemorySource : public base::Source {
 public:
  // Tables by name (matched in any letter case) and answers to query texts.
  std::map<std::string, MemoryTable> tables;
  std::map<std::string, MemoryTable> answers;
  std::vector<std::string> queries;  // every query text run, in order
  bool failQueries = false;

  std::unique_ptr<base::RowSet> query(const std::string& sql, const std::vector<base::Value>& params = {}) override;
  std::unique_ptr<base::RowSet> openTable(const std::string& name) override;
  bool hasTable(const std::string& name) override;
  std::vector<std::string> tableNames() override;

  const MemoryTable* find(const std::string& name) const;
};

base::Value dateValue(int year, int month, int day);
inline base::Value text(std::string s) { return base::Value::ofText(std::move(s)); }
inline base::Value integer(int64_t i) { return base::Value::ofInt(i); }

}  // namespace testing_support
