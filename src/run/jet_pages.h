// The structure of an Access (Jet 3 or Jet 4) file as the Access reader walks
// it: pages, table definitions, usage maps, rows and long values. Every number
// taken from the file is checked against the file before it is used, and the
// redundancy the file carries (declared row counts, page owners, the free
// space of a page) is compared with what was found, so that damage stops the
// read with a reason instead of giving fewer, more or other rows. libmdb only
// decodes values; it never walks a damaged structure.
#pragma once
#include <cstdint>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace run::jet {

// Why a structure cannot be read, in French and Dutch; the reader adds the
// file and the table.
class Damaged : public std::runtime_error {
 public:
  Damaged(std::string french, std::string dutch) : std::runtime_error(french + " / " + dutch), fr(std::move(french)), nl(std::move(dutch)) {}
  std::string fr, nl;
};

// Where the fields sit in the two versions of the format.
struct Layout {
  bool jet3 = false;
  int pageSize = 4096;
  int rowCountAt = 12;  // data page: row count, then the row offsets
  int rowsAt = 16, maxColumnsAt = 41, varColumnsAt = 43, columnsAt = 45, realIndexesAt = 51, usageMapAt = 55,
      columnsStart = 63, realIndexSize = 12, columnSize = 25;  // table definition
  int numberAt = 5, varIndexAt = 7, precisionAt = 11, scaleAt = 12, flagsAt = 15, fixedOffsetAt = 21,
      lengthAt = 23;  // column entry
  int nameLengthBytes = 2;
  static Layout of(bool jet3);
};

class PageFile {
 public:
  // `key` is the database key of the header: pages of an encoded database are
  // masked with RC4 under it.
  PageFile(const std::string& path, bool jet3, uint32_t pages, uint32_t key);
  const Layout& layout() const { return layout_; }
  uint32_t pages() const { return pages_; }
  // Page `n` whole; throws Damaged when it lies outside the file or cannot be read.
  void read(uint32_t n, std::vector<unsigned char>& out);

 private:
  Layout layout_;
  std::ifstream in_;
  uint32_t pages_;
  uint32_t key_;
};

struct ColumnDef {
  int type = 0;      // libmdb's type codes (MDB_TEXT, ...)
  int number = 0;    // bit of the null mask
  int varIndex = 0;  // slot in the row's variable-length offsets
  bool fixed = false;
  int fixedOffset = 0;
  int length = 0;    // bytes: the value's size for fixed columns, the maximum for texts
  int precision = 0, scale = 0;
  std::string name;  // UTF-8
};

struct TableDef {
  uint32_t page = 0;
  uint32_t rows = 0;                // the row count the definition declares
  int maxColumns = 0;               // columns ever made, deleted ones included
  int varColumns = 0;
  std::vector<ColumnDef> columns;   // in column-number order, as libmdb lists them
  std::vector<uint32_t> dataPages;  // from the usage map, ascending
};

// Turns a stored name into UTF-8 (libmdb's text conversion).
using NameDecoder = std::function<std::string(const unsigned char*, size_t)>;

// Reads and checks the definition at page `page` and its usage map.
TableDef readTableDef(PageFile& file, uint32_t page, const NameDecoder& decode);

// Checks that `page` (number `number`) is a data page of the table defined at
// `owner` and that its row list agrees with its free space; its row count.
int checkDataPage(const Layout& layout, const std::vector<unsigned char>& page, uint32_t number, uint32_t owner);

struct RowPlace {
  uint32_t page = 0;
  int row = 0;
  int start = 0, end = 0;  // bytes of the row on its page
  bool skipped = false;    // deleted, or only a pointer to a row stored elsewhere
};
// Row `row` of page `number`, held in `page`.
RowPlace rowPlace(const Layout& layout, const std::vector<unsigned char>& page, uint32_t number, int row);

// One column of a row: where its bytes are on the page; `present` is false for
// null (and for a Boolean, its value).
struct Field {
  int start = 0, size = 0;
  bool present = false;
};
// Splits a row into the table's columns; throws Damaged when its offsets do
// not fit the row.
void crackRow(const Layout& layout, const TableDef& table, const std::vector<unsigned char>& page, const RowPlace& row,
              std::vector<Field>& fields);

// The bytes of a long value (memo) whose 12-byte reference starts at `at`;
// `size` is the size of the field in the row.
void longValue(PageFile& file, const std::vector<unsigned char>& page, int at, int size, std::string& out,
               std::vector<unsigned char>& scratch);

}  // namespace run::jet
