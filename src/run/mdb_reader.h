// Reads Access (.mdb) files through mdbtools' libmdb, read only. Values come
// straight from the stored bytes: dates from the day count, currency from its
// scaled integer, text as UTF-8, so nothing passes through a lossy text form.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace run::mdb {

enum class ColumnType { Boolean, Integer, Double, Currency, Decimal, DateTime, Text, Memo, Guid, Binary };

struct Column {
  std::string name;
  ColumnType type = ColumnType::Text;
  int scale = 0;  // Currency 4, Decimal its stored scale
};

// One cell of the row being read. Text cells point into the reader's buffers
// and stay valid until the next row is read.
struct Cell {
  enum class Kind { Null, Integer, Real, Text, Blob } kind = Kind::Null;
  int64_t integer = 0;
  double real = 0;
  std::string_view text;
};

class TableReader;

class File {
 public:
  // Checks the header before libmdb sees the file (libmdb does not survive
  // arbitrary bytes); throws SourceError with a French/Dutch message.
  explicit File(const std::string& path);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  const std::string& path() const { return path_; }
  // User tables in catalog order.
  const std::vector<std::string>& tableNames() const { return tables_; }
  // Opens a table by its exact stored name; throws SourceError when absent.
  std::unique_ptr<TableReader> open(const std::string& table);
  // Page count of the file, a measure of its size.
  long pages() const { return pages_; }

 private:
  void readCatalog(void* handle);
  std::unique_ptr<TableReader> readerOf(void* tableDef);  // null when its columns cannot be read

  std::string path_;
  void* handle_ = nullptr;  // MdbHandle
  std::vector<std::string> tables_;
  long pages_ = 0;
};

class TableReader {
 public:
  ~TableReader();
  const std::vector<Column>& columns() const { return columns_; }
  // Reads the next stored row; false at the end of the table.
  bool next();
  const std::vector<Cell>& cells() const { return cells_; }

 private:
  friend class File;
  TableReader() = default;
  void* table_ = nullptr;  // MdbTableDef
  std::vector<Column> columns_;
  std::vector<Cell> cells_;
  std::vector<std::string> buffers_;       // one per column, reused row after row
  std::vector<unsigned char> fieldStore_;  // libmdb's per-row field table
  std::string memoRaw_;                    // a memo's bytes gathered from its pages
  long pages_ = 0;
  bool started_ = false;
  bool done_ = false;
};

// "YYYY-MM-DD HH:MM:SS" of an Access day count (days since 1899-12-30, time as
// the fraction; a negative count keeps a positive time part). Out of range
// gives an empty text.
std::string dateTextOfDays(double days);

}  // namespace run::mdb
