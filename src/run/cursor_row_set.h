// The one RowSet both editions hand out: a forward cursor underneath, and
// move-first, move-last and record count built on top of it by re-running the
// cursor or reading ahead, so neither edition keeps a whole result in memory
// unless a step asks for the count. A value is made when a step asks for it:
// steps read a few columns of wide rows, and most rows of some queries not at
// all beyond the column that tells them to pass on.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/name_cache.h"
#include "base/source.h"

namespace run {

// A result read strictly forward. restart() runs it again from its first row.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual const std::vector<std::string>& columns() const = 0;
  // Moves to the next row; false at the end.
  virtual bool next() = 0;
  // A value of the row moved to, valid until the next move.
  virtual base::Value value(size_t column) const = 0;
  virtual void restart() = 0;
};

class CursorRowSet : public base::RowSet {
 public:
  explicit CursorRowSet(std::unique_ptr<Cursor> cursor);
  bool eof() const override { return !hasCurrent_; }
  void moveNext() override;
  void moveFirst() override;
  void moveLast() override;
  long recordCount() override;
  bool hasField(std::string_view name) const override { return indexOf(name) >= 0; }
  base::Value field(std::string_view name) const override;
  std::vector<std::string> columns() const override { return cursor_->columns(); }

 private:
  int indexOf(std::string_view name) const;
  int lookUp(std::string_view name) const;
  bool advance();
  std::vector<base::Value> cursorRow() const;

  std::unique_ptr<Cursor> cursor_;
  // Columns by lower-case name, made at the first look-up; and by the exact
  // text each name was asked for.
  mutable std::unordered_map<std::string, int> byName_;
  mutable base::NameCache asked_;
  // The current row: still in the cursor (live_), or read out of it
  // because rows after it were read ahead.
  std::vector<base::Value> current_;
  std::deque<std::vector<base::Value>> ahead_;  // rows read past the current one
  bool live_ = false;
  bool hasCurrent_ = false;
  bool exhausted_ = false;
  long consumed_ = 0;  // rows moved onto so far, the current one included
};

}  // namespace run
