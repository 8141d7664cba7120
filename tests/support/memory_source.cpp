#include "support/memory_source.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace testing_support {

namespace {

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

int MemoryRowSet::column(std::string_view name) const {
  for (std::size_t i = 0; i < t_.columns.size(); ++i)
    if (upper(t_.columns[i]) == upper(std::string(name))) return static_cast<int>(i);
  return -1;
}

base::Value MemoryRowSet::field(std::string_view name) const {
  int c = column(name);
  if (c < 0) throw base::SourceError("column " + std::string(name) + " missing");
  if (eof()) throw base::SourceError("no current row");
  return t_.rows[at_][static_cast<std::size_t>(c)];
}

MemoryTable namedRows(std::vector<std::string> columns, const std::vector<Row>& rows) {
  MemoryTable table{std::move(columns), {}};
  for (const Row& row : rows) {
    std::vector<base::Value> values(table.columns.size());
    for (const auto& [name, value] : row) {
      auto it = std::find_if(table.columns.begin(), table.columns.end(),
                             [&](const std::string& c) { return upper(c) == upper(name); });
      if (it == table.columns.end()) throw std::invalid_argument("no column " + name);
      values[static_cast<std::size_t>(it - table.columns.begin())] = value;
    }
    table.rows.push_back(std::move(values));
  }
  return table;
}

const MemoryTable* MemorySource::find(const std::string& name) const {
  for (const auto& [n, t] : tables)
    if (upper(n) == upper(name)) return &t;
  return nullptr;
}

std::unique_ptr<base::RowSet> MemorySource::query(const std::string& sql, const std::vector<base::Value>&) {
  queries.push_back(sql);
  if (failQueries) throw base::SourceError("query refused");
  if (auto a = answers.find(sql); a != answers.end()) return std::make_unique<MemoryRowSet>(a->second);
  const std::string prefix = "SELECT * FROM ";
  if (sql.rfind(prefix, 0) == 0) {
    std::string name = sql.substr(prefix.size());
    name = name.substr(0, name.find(' '));
    if (auto* t = find(name)) {
      // An ORDER BY of a test table is the order the rows were given in.
      return std::make_unique<MemoryRowSet>(*t);
    }
  }
  throw base::SourceError("cannot run: " + sql);
}

std::unique_ptr<base::RowSet> MemorySource::openTable(const std::string& name) {
  if (auto* t = find(name)) return std::make_unique<MemoryRowSet>(*t);
  throw base::SourceError("no table " + name);
}

bool MemorySource::hasTable(const std::string& name) { return find(name) != nullptr; }

std::vector<std::string> MemorySource::tableNames() {
  std::vector<std::string> names;
  for (const auto& [n, t] : tables) names.push_back(n);
  return names;
}

base::Value dateValue(int year, int month, int day) {
  base::Value v;
  v.kind = base::Value::Kind::DateTime;
  v.date.year = year;
  v.date.month = month;
  v.date.day = day;
  return v;
}

}  // namespace testing_support
