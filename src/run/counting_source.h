// Source rows counted for the migration report as a step reads them: a row
// counts once, when the step first reads one of its values.
#pragma once
#include <memory>

#include "base/run_report.h"
#include "base/source.h"

namespace run {

class CountingRowSet : public base::RowSet {
 public:
  CountingRowSet(std::unique_ptr<base::RowSet> rows, base::RunReport& report)
      : rows_(std::move(rows)), report_(report) {}

  bool eof() const override { return rows_->eof(); }
  void moveNext() override {
    counted_ = false;
    rows_->moveNext();
  }
  void moveFirst() override {
    counted_ = false;
    rows_->moveFirst();
  }
  void moveLast() override {
    counted_ = false;
    rows_->moveLast();
  }
  long recordCount() override { return rows_->recordCount(); }
  bool hasField(std::string_view name) const override { return rows_->hasField(name); }
  base::Value field(std::string_view name) const override {
    if (!counted_ && !rows_->eof()) {
      counted_ = true;
      report_.rowRead();
    }
    return rows_->field(name);
  }
  std::vector<std::string> columns() const override { return rows_->columns(); }

 private:
  std::unique_ptr<base::RowSet> rows_;
  base::RunReport& report_;
  mutable bool counted_ = false;
};

// A source whose every row set counts its rows.
class CountingSource : public base::Source {
 public:
  CountingSource(base::Source& source, base::RunReport& report) : source_(source), report_(report) {}

  std::unique_ptr<base::RowSet> query(const std::string& sql, const std::vector<base::Value>& params) override {
    return std::make_unique<CountingRowSet>(source_.query(sql, params), report_);
  }
  std::unique_ptr<base::RowSet> openTable(const std::string& name) override {
    return std::make_unique<CountingRowSet>(source_.openTable(name), report_);
  }
  bool hasTable(const std::string& name) override { return source_.hasTable(name); }
  std::vector<std::string> tableNames() override { return source_.tableNames(); }

 private:
  base::Source& source_;
  base::RunReport& report_;
};

}  // namespace run
