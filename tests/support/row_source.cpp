#include "support/row_source.h"

#include <algorithm>
#include <cctype>

namespace test_support {

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

MemoryRowSet::MemoryRowSet(MemoryTable table) : table_(std::move(table)) {}

bool MemoryRowSet::eof() const { return position_ >= table_.rows.size(); }
void MemoryRowSet::moveNext() {
  if (!eof()) ++position_;
}
void MemoryRowSet::moveFirst() { position_ = 0; }
void MemoryRowSet::moveLast() { position_ = table_.rows.empty() ? 0 : table_.rows.size() - 1; }
long MemoryRowSet::recordCount() { return static_cast<long>(table_.rows.size()); }

bool MemoryRowSet::hasField(std::string_view name) const {
  std::string wanted = Upper(name);
  return std::any_of(table_.columns.begin(), table_.columns.end(),
                     [&](const std::string& c) { return Upper(c) == wanted; });
}

run::Value MemoryRowSet::field(std::string_view name) const {
  if (!hasField(name)) throw run::SourceError("Column " + std::string(name) + " not found");
  if (eof()) throw run::SourceError("No current row");
  std::string wanted = Upper(name);
  for (const auto& [column, value] : table_.rows[position_]) {
    if (Upper(column) == wanted) return value;
  }
  return run::Value::null();
}

std::vector<std::string> MemoryRowSet::columns() const { return table_.columns; }

void MemorySource::addTable(const std::string& name, MemoryTable table) {
  tables_[Upper(name)] = std::move(table);
  names_.push_back(name);
}

std::unique_ptr<run::RowSet> MemorySource::query(const std::string& sql, const std::vector<run::Value>&) {
  auto it = queries_.find(sql);
  if (it == queries_.end()) throw run::SourceError("Unknown query: " + sql);
  return std::make_unique<MemoryRowSet>(it->second);
}

std::unique_ptr<run::RowSet> MemorySource::openTable(const std::string& name) {
  auto it = tables_.find(Upper(name));
  if (it == tables_.end()) throw run::SourceError("Unknown table: " + name);
  return std::make_unique<MemoryRowSet>(it->second);
}

bool MemorySource::hasTable(const std::string& name) { return tables_.count(Upper(name)) > 0; }

std::vector<std::string> MemorySource::tableNames() { return names_; }

run::Value Date(int year, int month, int day) {
  run::Value v;
  v.kind = run::Value::Kind::DateTime;
  v.date = {year, month, day, 0, 0, 0};
  return v;
}

}  // namespace test_support
