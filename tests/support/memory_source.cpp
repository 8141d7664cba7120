#include "support/memory_source.h"

#include <algorithm>
#include <cctype>

namespace test {

namespace {
bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
}  // namespace

run::Value Text(const std::string& s) { return run::Value::ofText(s); }
run::Value Int(int64_t i) { return run::Value::ofInt(i); }

run::Value Dec(const std::string& exact) {
  run::Value v;
  v.kind = run::Value::Kind::Decimal;
  v.text = exact;
  v.number = std::stod(exact);
  return v;
}

run::Value Date(int year, int month, int day) {
  run::Value v;
  v.kind = run::Value::Kind::DateTime;
  v.date = {year, month, day, 0, 0, 0};
  return v;
}

bool MemoryRowSet::hasField(std::string_view name) const {
  if (rows_.empty()) return false;
  const Row& r = rows_[std::min(pos_, rows_.size() - 1)];
  return std::any_of(r.begin(), r.end(), [&](const auto& c) { return sameName(c.first, name); });
}

run::Value MemoryRowSet::field(std::string_view name) const {
  if (eof()) throw run::SourceError("no current row");
  for (const auto& c : rows_[pos_])
    if (sameName(c.first, name)) return c.second;
  return run::Value::null();
}

std::vector<std::string> MemoryRowSet::columns() const {
  std::vector<std::string> names;
  if (!rows_.empty())
    for (const auto& c : rows_[0]) names.push_back(c.first);
  return names;
}

void ScriptedSource::answer(const std::string& marker, std::vector<std::string> params, std::vector<Row> rows) {
  answers_.push_back({marker, std::move(params), std::move(rows)});
}

std::unique_ptr<run::RowSet> ScriptedSource::query(const std::string& sql, const std::vector<run::Value>& params) {
  calls_.push_back({sql, params});
  for (auto it = answers_.rbegin(); it != answers_.rend(); ++it) {
    if (sql.find(it->marker) == std::string::npos) continue;
    if (!it->params.empty()) {
      if (it->params.size() != params.size()) continue;
      bool same = true;
      for (size_t i = 0; i < params.size() && same; ++i) same = params[i].asText() == it->params[i];
      if (!same) continue;
    }
    return std::make_unique<MemoryRowSet>(it->rows);
  }
  return std::make_unique<MemoryRowSet>(std::vector<Row>{});
}

std::unique_ptr<run::RowSet> ScriptedSource::openTable(const std::string& name) {
  throw run::SourceError("no table " + name);
}

}  // namespace test
