// xBase expressions over the fields of one table (index keys, FOR conditions,
// Locate conditions): compiled once against the field list, then evaluated
// per record without allocating.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/bilingual.h"
#include "store/engine/field.h"

namespace store {

enum class ValueType { Character, Numeric, Date, Logical };

// One record as stored: `data` points at the deletion byte.
struct RecordRef {
  const char* data = nullptr;
  uint32_t recno = 0;
};

namespace expr {
class Node;
}

class Expression {
 public:
  ~Expression();
  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;

  // Null with a reason (quoting the expression) when the text does not compile.
  static std::unique_ptr<Expression> compile(std::string_view text, const std::vector<FieldDef>& fields,
                                             base::Bilingual& error);

  ValueType type() const;
  // Length of a character result as far as it is known without a record
  // (what an index uses as its key length).
  int width() const;
  const std::string& text() const { return text_; }

  // Appends the 1252 bytes of a character result.
  void evalText(const RecordRef& rec, std::string& out) const;
  double evalNumber(const RecordRef& rec) const;
  int32_t evalDate(const RecordRef& rec) const;  // julian day, 0 blank
  bool evalLogical(const RecordRef& rec) const;

 private:
  Expression() = default;
  std::string text_;
  std::unique_ptr<expr::Node> root_;
};

}  // namespace store
