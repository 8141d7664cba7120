// Writes Access 2000 (Jet 4) database files: tables with text, memo, whole
// numbers, currency, doubles, dates and Booleans, read back by any Jet 4
// reader (mdbtools among them). No indexes, relations or queries: the files
// exist to hold sample data for tests, demos and benchmarks.
//
// Rows are streamed: full pages go to disk as soon as they fill, so a file is
// written in time proportional to its size and in memory proportional to the
// number of pages (a few bytes each), not to the number of rows.
#pragma once
#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace jet4 {

enum class Type { Boolean, Byte, Integer, Long, Currency, Double, DateTime, Text, Memo };

struct Column {
  std::string name;
  Type type;
  int size = 0;  // Text: maximum number of characters (1 to 255); others: unused
};

// Currency holds ten-thousandths, exactly as Jet stores it.
struct Currency {
  int64_t units = 0;
  static Currency ofCents(int64_t cents) { return {cents * 100}; }
  bool operator==(const Currency&) const = default;
};

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const DateTime&) const = default;
};

// One cell. Text is UTF-8. Whole numbers go into Byte, Integer and Long
// columns (range-checked).
using Value = std::variant<std::monostate, bool, int64_t, double, Currency, DateTime, std::string>;

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Days since 30 December 1899 plus the fraction of the day, Jet's date form.
double toJetDate(const DateTime& d);
// "-1234.5600": the amount with its four decimals.
std::string decimalText(Currency c);
// "2024-02-29 13:45:07".
std::string isoText(const DateTime& d);

class Database;

// Appends rows to one table. Obtained from Database::addTable; valid until the
// database is closed.
class Table {
 public:
  void addRow(const std::vector<Value>& row);
  const std::string& name() const { return name_; }
  const std::vector<Column>& columns() const { return columns_; }
  int64_t rowCount() const { return rows_; }

 private:
  friend class Database;
  Table(Database& db, std::string name, std::vector<Column> columns, uint32_t tdefPage, bool system);
  void flushPage();
  std::vector<uint8_t> encodeRow(const std::vector<Value>& row);

  Database& db_;
  std::string name_;
  std::vector<Column> columns_;
  std::vector<int> fixedOffset_;  // per column, -1 for variable columns
  std::vector<int> varIndex_;     // per column, -1 for fixed columns
  int fixedSize_ = 0, varCount_ = 0;
  uint32_t tdefPage_;
  bool system_;
  int64_t rows_ = 0;
  std::vector<uint32_t> dataPages_;
  std::vector<std::vector<uint8_t>> pageRows_;  // rows of the page being filled
  int pageBytes_ = 0;                            // their total size
};

class Database {
 public:
  // Creates (or truncates) the file. Throws Error when it cannot be written.
  // A table whose pages a usage bitmap of `inlineMapBytes` bytes cannot cover
  // gets bitmap pages instead (Jet's second map form); small values let tests
  // reach that form without writing hundreds of megabytes.
  explicit Database(const std::string& path, int inlineMapBytes = 3000);
  ~Database();  // closes when close() was not called; errors are swallowed there
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Column names and table names are unique without regard to case.
  Table& addTable(const std::string& name, std::vector<Column> columns);
  // Writes the catalog, table definitions and usage maps. Throws Error.
  void close();

  static constexpr int kPageSize = 4096;

 private:
  friend class Table;
  uint32_t allocatePage() { return nextPage_++; }
  void writePage(uint32_t page, const uint8_t* data);
  uint32_t writeLongValue(const std::vector<uint8_t>& bytes);  // returns the first row pointer
  void writeTableDefinition(const Table& t, uint32_t usedMap, uint32_t freeMap);

  std::string path_;
  int inlineMapBytes_;
  std::ofstream out_;
  uint32_t nextPage_ = 3;  // 0 header, 1 global usage map, 2 catalog definition
  std::vector<std::unique_ptr<Table>> tables_;
  bool closed_ = false;
};

}  // namespace jet4
