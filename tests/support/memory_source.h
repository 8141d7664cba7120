// Source rows held in memory, for steps whose input a test writes by hand: a
// row set of named columns, and a source that answers each query text with
// the rows a test attached to a piece of that text and to its parameters.
#pragma once
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "run/source.h"

namespace test {

using Row = std::vector<std::pair<std::string, run::Value>>;

run::Value Text(const std::string& s);
run::Value Int(int64_t i);
run::Value Dec(const std::string& exact);  // "121.00"
run::Value Date(int year, int month, int day);
inline run::Value Null() { return run::Value::null(); }

class MemoryRowSet : public run::RowSet {
 public:
  // Every row names its columns; a column missing from a row reads as null.
  explicit MemoryRowSet(std::vector<Row> rows) : rows_(std::move(rows)) {}
  bool eof() const override { return pos_ >= rows_.size(); }
  void moveNext() override { ++pos_; }
  void moveFirst() override { pos_ = 0; }
  void moveLast() override { pos_ = rows_.empty() ? 0 : rows_.size() - 1; }
  long recordCount() override { return static_cast<long>(rows_.size()); }
  bool hasField(std::string_view name) const override;
  run::Value field(std::string_view name) const override;
  std::vector<std::string> columns() const override;

 private:
  std::vector<Row> rows_;
  size_t pos_ = 0;
};

class ScriptedSource : public run::Source {
 public:
  struct Call {
    std::string sql;
    std::vector<run::Value> params;
  };
  // Queries whose text contains `marker` and whose parameters, as text, equal
  // `params` (any parameters when empty) return `rows`; later answers win.
  void answer(const std::string& marker, std::vector<std::string> params, std::vector<Row> rows);
  std::unique_ptr<run::RowSet> query(const std::string& sql, const std::vector<run::Value>& params) override;
  std::unique_ptr<run::RowSet> openTable(const std::string& name) override;
  bool hasTable(const std::string&) override { return false; }
  std::vector<std::string> tableNames() override { return {}; }
  const std::vector<Call>& calls() const { return calls_; }

 private:
  struct Answer {
    std::string marker;
    std::vector<std::string> params;
    std::vector<Row> rows;
  };
  std::vector<Answer> answers_;
  std::vector<Call> calls_;
};

}  // namespace test
