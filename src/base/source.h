// What the conversion steps see of a Marlin source, whatever its edition:
// run a query text or open a table by name, then read the rows forward.
#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace base {

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// One source value. Decimals (currency, numeric) keep their exact decimal
// text in `text` as well as the nearest double in `number`.
struct Value {
  enum class Kind { Null, Text, Integer, Decimal, DateTime, Boolean };
  Kind kind = Kind::Null;
  std::string text;      // Text: UTF-8; Decimal: exact digits like "-12.3400"
  int64_t integer = 0;   // Integer, Boolean (0 / 1)
  double number = 0;     // Decimal
  base::DateTime date;    // DateTime

  static Value null() { return {}; }
  static Value ofText(std::string s) { Value v; v.kind = Kind::Text; v.text = std::move(s); return v; }
  static Value ofInt(int64_t i) { Value v; v.kind = Kind::Integer; v.integer = i; return v; }

  bool isNull() const { return kind == Kind::Null; }
  // Neither null nor the empty text.
  bool present() const { return kind != Kind::Null && !(kind == Kind::Text && text.empty()); }
  // The value as the original program's implicit conversions would give it:
  // text as is, numbers without trailing zeros, dates "dd/mm/yyyy", Booleans
  // "True"/"False", null as "".
  std::string asText() const;
  double asDouble() const;   // text parsed leniently, null 0, True -1, dates as day serials
  int64_t asInt() const;     // rounded half to even like a conversion to a whole number; True -1
  bool asBool() const;
};

// A failure of the source, told in French and in Dutch: a person sees the
// text of the wizard's language only; what() holds both, for the tools.
class SourceError : public std::runtime_error {
 public:
  SourceError(const std::string& french, const std::string& dutch)
      : std::runtime_error(french == dutch ? french : french + " / " + dutch), french_(french), dutch_(dutch) {}
  // A text that reads the same in both languages (a driver's own words).
  explicit SourceError(const std::string& text) : SourceError(text, text) {}
  const std::string& text(bool french) const { return french ? french_ : dutch_; }

 private:
  std::string french_, dutch_;
};

// The text of any error for a person reading French (`french`) or Dutch.
inline std::string errorText(const std::exception& e, bool french) {
  if (const auto* source = dynamic_cast<const SourceError*>(&e)) return source->text(french);
  return e.what();
}

// The message for a failure nobody foresaw, with what the failure says of
// itself (nothing for an exception that is no std::exception).
inline std::string unexpectedErrorText(bool french, const std::string& what) {
  if (what.empty()) return french ? "Une erreur inattendue est survenue." : "Er is een onverwachte fout opgetreden.";
  return (french ? "Une erreur inattendue est survenue : " : "Er is een onverwachte fout opgetreden: ") + what;
}

// What a person reads of the exception being handled (call it inside a catch
// block): a source error's own text, anything else as the unexpected error.
inline std::string handledErrorText(bool french) {
  try {
    throw;
  } catch (const SourceError& e) {
    return e.text(french);
  } catch (const std::exception& e) {
    return unexpectedErrorText(french, e.what());
  } catch (...) {
    return unexpectedErrorText(french, "");
  }
}

// A forward row set. Field names are matched in any letter case; asking for
// a column that does not exist throws SourceError.
class RowSet {
 public:
  virtual ~RowSet() = default;
  virtual bool eof() const = 0;
  virtual void moveNext() = 0;
  virtual void moveFirst() = 0;
  virtual void moveLast() = 0;
  virtual long recordCount() = 0;
  virtual bool hasField(std::string_view name) const = 0;
  virtual Value field(std::string_view name) const = 0;
  virtual std::vector<std::string> columns() const = 0;
};

// One open source database (an Access file, or one database on a server).
// Errors (bad query, missing table, lost connection) throw SourceError with a
// message fit to show to the user; passwords never appear in it.
class Source {
 public:
  virtual ~Source() = default;
  // Runs a query text as written for the edition. `?` placeholders take
  // `params` in order, so codes from the data never change a query's meaning.
  virtual std::unique_ptr<RowSet> query(const std::string& sql, const std::vector<Value>& params = {}) = 0;
  // A whole table in stored order.
  virtual std::unique_ptr<RowSet> openTable(const std::string& name) = 0;
  virtual bool hasTable(const std::string& name) = 0;
  // Table names as the database lists them.
  virtual std::vector<std::string> tableNames() = 0;
};

}  // namespace base
