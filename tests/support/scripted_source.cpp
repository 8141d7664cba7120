#include "support/scripted_source.h"

#include <algorithm>

#include "base/text.h"

namespace testing_support {

base::Value decimal(const std::string& exact) {
  base::Value v;
  v.kind = base::Value::Kind::Decimal;
  v.text = exact;
  v.number = std::stod(exact);
  return v;
}

MemoryTable tableOf(std::vector<Row> rows) {
  std::vector<std::string> columns;
  for (const Row& r : rows)
    for (const auto& c : r) {
      std::string upper = base::upperCase(c.first);
      if (std::none_of(columns.begin(), columns.end(),
                       [&](const std::string& n) { return base::upperCase(n) == upper; }))
        columns.push_back(c.first);
    }
  return namedRows(std::move(columns), rows);
}

void ScriptedSource::answer(const std::string& sql, std::vector<std::string> params, std::vector<Row> rows) {
  answers_.push_back({sql, std::move(params), tableOf(std::move(rows))});
}

std::unique_ptr<base::RowSet> ScriptedSource::query(const std::string& sql, const std::vector<base::Value>& params) {
  calls_.push_back({sql, params});
  for (const Answer& a : answers_) {
    if (a.sql != sql || a.params.size() != params.size()) continue;
    bool same = true;
    for (size_t i = 0; i < params.size() && same; ++i) same = params[i].asText() == a.params[i];
    if (same) return std::make_unique<MemoryRowSet>(a.table);
  }
  return std::make_unique<MemoryRowSet>(MemoryTable{});
}

std::unique_ptr<base::RowSet> ScriptedSource::openTable(const std::string& name) {
  throw base::SourceError("no table " + name);
}

}  // namespace testing_support
