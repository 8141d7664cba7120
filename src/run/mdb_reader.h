// Reads the tables of Access (.mdb) files, read only. The file's structure is
// walked and checked by jet_pages; libmdb decodes texts. Values come straight
// from the stored bytes: dates from the day count, currency from its scaled
// integer, text as UTF-8, so nothing passes through a lossy text form. A
// damaged table throws SourceError naming the file and the table; a table is
// only read whole, with as many rows as its definition declares.
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
struct OpenFile;  // the file's pages and libmdb's handle

class File {
 public:
  // Checks the header and reads the catalog; throws SourceError with a
  // French/Dutch message.
  explicit File(const std::string& path);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  const std::string& path() const { return path_; }
  // User tables in catalog order.
  const std::vector<std::string>& tableNames() const { return tables_; }
  // Opens a table by its exact stored name; throws SourceError when absent or
  // when its definition is damaged. The reader must not outlive the file.
  std::unique_ptr<TableReader> open(const std::string& table);
  // Page count of the file, a measure of its size.
  long pages() const { return pages_; }

 private:
  std::unique_ptr<TableReader> readerAt(uint32_t page, const std::string& name);
  void readCatalog();

  std::string path_;
  std::unique_ptr<OpenFile> open_;
  std::vector<std::string> tables_;
  std::vector<std::pair<std::string, uint32_t>> catalog_;  // table name, definition page
  long pages_ = 0;
};

class TableReader {
 public:
  ~TableReader();
  const std::vector<Column>& columns() const { return columns_; }
  // Reads the next stored row; false at the end of the table, once the rows
  // read have been found to be all the table declares. Throws SourceError.
  bool next();
  const std::vector<Cell>& cells() const { return cells_; }

 private:
  friend class File;
  struct State;
  explicit TableReader(std::unique_ptr<State> state);
  bool step();
  void decodeRow();
  [[noreturn]] void damaged(const std::string& fr, const std::string& nl) const;

  std::unique_ptr<State> s_;
  std::vector<Column> columns_;
  std::vector<Cell> cells_;
};

// "YYYY-MM-DD HH:MM:SS" of an Access day count (days since 1899-12-30, time as
// the fraction; a negative count keeps a positive time part). Out of range
// gives an empty text.
std::string dateTextOfDays(double days);

}  // namespace run::mdb
