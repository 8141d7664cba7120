#include "run/cursor_row_set.h"


#include "base/text.h"

namespace run {
using namespace base;

CursorRowSet::CursorRowSet(std::unique_ptr<Cursor> cursor) : cursor_(std::move(cursor)) { advance(); }

std::vector<Value> CursorRowSet::cursorRow() const {
  std::vector<Value> row(cursor_->columns().size());
  for (size_t i = 0; i < row.size(); ++i) row[i] = cursor_->value(i);
  return row;
}

bool CursorRowSet::advance() {
  live_ = false;
  if (!ahead_.empty()) {
    current_ = std::move(ahead_.front());
    ahead_.pop_front();
    hasCurrent_ = true;
  } else if (!exhausted_ && cursor_->next()) {
    live_ = true;
    hasCurrent_ = true;
  } else {
    exhausted_ = true;
    hasCurrent_ = false;
  }
  if (hasCurrent_) ++consumed_;
  return hasCurrent_;
}

void CursorRowSet::moveNext() {
  if (!hasCurrent_) throw SourceError("Pas d'enregistrement courant", "Geen huidig record");
  advance();
}

void CursorRowSet::moveFirst() {
  cursor_->restart();
  ahead_.clear();
  exhausted_ = false;
  consumed_ = 0;
  advance();
}

long CursorRowSet::recordCount() {
  // Reading ahead moves the cursor off the current row: its values first.
  if (live_ && !exhausted_) {
    current_ = cursorRow();
    live_ = false;
  }
  while (!exhausted_ && cursor_->next()) ahead_.push_back(cursorRow());
  exhausted_ = true;
  return consumed_ + static_cast<long>(ahead_.size());
}

void CursorRowSet::moveLast() {
  long n = recordCount();
  if (!ahead_.empty()) {
    current_ = std::move(ahead_.back());
    ahead_.clear();
    hasCurrent_ = true;
    consumed_ = n;
  }
}

int CursorRowSet::indexOf(std::string_view name) const {
  return asked_.find(name, [this](std::string_view n) { return lookUp(n); });
}

int CursorRowSet::lookUp(std::string_view name) const {
  const auto lower = [](std::string_view s) {
    std::string out(s);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  };
  if (byName_.empty()) {
    const auto& cols = cursor_->columns();
    // The first of two columns of one name wins, as a search from the left.
    for (size_t i = cols.size(); i-- > 0;) byName_[lower(cols[i])] = static_cast<int>(i);
  }
  if (const auto it = byName_.find(lower(name)); it != byName_.end()) return it->second;
  // Accented letters in other case: the full comparison.
  const auto& cols = cursor_->columns();
  for (size_t i = 0; i < cols.size(); ++i)
    if (equalsIgnoringCase(cols[i], name)) return static_cast<int>(i);
  return -1;
}

Value CursorRowSet::field(std::string_view name) const {
  int i = indexOf(name);
  if (i < 0) throw SourceError("Champ inconnu : " + std::string(name), "Onbekend veld: " + std::string(name));
  if (!hasCurrent_) throw SourceError("Pas d'enregistrement courant", "Geen huidig record");
  return live_ ? cursor_->value(static_cast<size_t>(i)) : current_[static_cast<size_t>(i)];
}

}  // namespace run
