// A source that answers each query text with the rows a test attached to the
// query's text and to the values bound to its parameters, and keeps every
// call, for steps that issue their own queries per document.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "support/memory_source.h"

namespace testing_support {

inline base::Value null() { return base::Value::null(); }
// An exact decimal as the sources give currency columns ("121.00").
base::Value decimal(const std::string& exact);
// A table whose columns are all those any of its rows names.
MemoryTable tableOf(std::vector<Row> rows);

class ScriptedSource : public base::Source {
 public:
  struct Call {
    std::string sql;
    std::vector<base::Value> params;
  };
  // Queries whose text equals `sql` and whose parameters read as `params`
  // answer `rows`; any other query answers no row.
  void answer(const std::string& sql, std::vector<std::string> params, std::vector<Row> rows);
  std::unique_ptr<base::RowSet> query(const std::string& sql, const std::vector<base::Value>& params = {}) override;
  std::unique_ptr<base::RowSet> openTable(const std::string& name) override;
  bool hasTable(const std::string&) override { return false; }
  std::vector<std::string> tableNames() override { return {}; }
  const std::vector<Call>& calls() const { return calls_; }

 private:
  struct Answer {
    std::string sql;
    std::vector<std::string> params;
    MemoryTable table;
  };
  std::vector<Answer> answers_;
  std::vector<Call> calls_;
};

}  // namespace testing_support
