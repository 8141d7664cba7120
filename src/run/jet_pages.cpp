#include "run/jet_pages.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "base/rc4.h"
#include "base/text.h"

namespace run::jet {
namespace {

enum : int {
  kBoolean = 0x01, kByte = 0x02, kInteger = 0x03, kLong = 0x04, kMoney = 0x05, kFloat = 0x06, kDouble = 0x07,
  kDateTime = 0x08, kBinary = 0x09, kText = 0x0a, kOle = 0x0b, kMemo = 0x0c, kGuid = 0x0f, kNumeric = 0x10,
  kComplex = 0x12,
};
constexpr unsigned char kDataPage = 0x01, kDefinitionPage = 0x02, kBitmapPage = 0x05;
constexpr int kOffsetMask = 0x1fff;
// A row offset with this flag is a deleted row or a pointer to a row moved to
// another page, which is read where it now lives (as libmdb reads it).
constexpr int kSkippedRow = 0x4000;
constexpr int kLongValueHeader = 12;

uint32_t u16(const unsigned char* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
uint32_t u32(const unsigned char* p) { return u16(p) | u16(p + 2) << 16; }

std::string num(uint64_t n) { return std::to_string(n); }

[[noreturn]] void damaged(const std::string& fr, const std::string& nl) { throw Damaged(fr, nl); }
[[noreturn]] void badDefinition() { damaged("définition de la table invalide", "ongeldige tabeldefinitie"); }
[[noreturn]] void badMap() { damaged("carte des pages de la table invalide", "ongeldige paginakaart van de tabel"); }
[[noreturn]] void badPage(uint32_t n) {
  damaged("liste des lignes de la page " + num(n) + " incohérente", "rijenlijst van pagina " + num(n) + " is inconsistent");
}
[[noreturn]] void badRow(const RowPlace& r) {
  damaged("ligne " + num(static_cast<uint32_t>(r.row)) + " de la page " + num(r.page) + " illisible",
          "rij " + num(static_cast<uint32_t>(r.row)) + " van pagina " + num(r.page) + " is onleesbaar");
}

// Stored size of the types whose values have one; -1 for the others.
int valueSize(int type) {
  switch (type) {
    case kByte: return 1;
    case kInteger: return 2;
    case kLong: case kFloat: case kComplex: return 4;
    case kMoney: case kDouble: case kDateTime: return 8;
    case kGuid: return 16;
    case kNumeric: return 17;
    default: return -1;
  }
}

bool knownType(int type) {
  return valueSize(type) > 0 || type == kBoolean || type == kBinary || type == kText || type == kOle || type == kMemo;
}

// A table definition may continue on further pages, each linked from the one
// before; its bytes are gathered only as far as they are read, so damage past
// the columns (in the index part) does not matter.
class DefinitionBytes {
 public:
  DefinitionBytes(PageFile& file, uint32_t page) : file_(file) {
    file_.read(page, page_);
    if (page_[0] != kDefinitionPage) badDefinition();
    bytes_ = page_;
    next_ = u32(page_.data() + 4);
    seen_.insert(page);
  }
  const unsigned char* at(size_t offset, size_t length) {
    while (bytes_.size() < offset + length) {
      if (next_ == 0 || !seen_.insert(next_).second) badDefinition();
      file_.read(next_, page_);
      if (page_[0] != kDefinitionPage) badDefinition();
      bytes_.insert(bytes_.end(), page_.begin() + 8, page_.end());
      next_ = u32(page_.data() + 4);
    }
    return bytes_.data() + offset;
  }

 private:
  PageFile& file_;
  std::vector<unsigned char> bytes_, page_;
  uint32_t next_ = 0;
  std::set<uint32_t> seen_;
};

void checkColumns(const TableDef& t) {
  const auto maxColumns = static_cast<uint32_t>(t.maxColumns);
  std::set<int> numbers, slots;
  int varCount = 0;
  std::vector<std::pair<int, int>> fixedSpans;
  for (const ColumnDef& c : t.columns) {
    if (!knownType(c.type)) badDefinition();
    if (valueSize(c.type) > 0 && c.length != valueSize(c.type)) badDefinition();
    if ((c.type == kMemo || c.type == kOle) && c.fixed) badDefinition();
    // Numbers are given once and never reused before the database is
    // compacted: below the count of columns ever made, and all distinct.
    if (static_cast<uint32_t>(c.number) >= maxColumns || !numbers.insert(c.number).second) badDefinition();
    if (!c.fixed) {
      ++varCount;
      // Without a deleted column the slots are exactly 0 .. varColumns - 1.
      const uint32_t slotLimit = maxColumns == t.columns.size() ? static_cast<uint32_t>(t.varColumns) : maxColumns;
      if (static_cast<uint32_t>(c.varIndex) >= slotLimit || !slots.insert(c.varIndex).second) badDefinition();
    } else if (c.type != kBoolean) {  // a Boolean lives in the null mask
      fixedSpans.emplace_back(c.fixedOffset, c.fixedOffset + c.length);
    }
    if (c.name.empty()) badDefinition();
    for (unsigned char ch : c.name)
      if (ch < 0x20) badDefinition();
  }
  if (varCount != t.varColumns) badDefinition();
  std::sort(fixedSpans.begin(), fixedSpans.end());
  for (size_t i = 1; i < fixedSpans.size(); ++i)
    if (fixedSpans[i].first < fixedSpans[i - 1].second) badDefinition();
  for (size_t i = 0; i < t.columns.size(); ++i)
    for (size_t j = i + 1; j < t.columns.size(); ++j)
      if (base::equalsIgnoringCase(t.columns[i].name, t.columns[j].name)) badDefinition();
}

// The pages a usage map marks: either a bitmap of pages from a first page on,
// or a list of bitmap pages, each covering a fixed range of the file.
std::vector<uint32_t> usageMapPages(PageFile& file, uint32_t pageRow) {
  const Layout& l = file.layout();
  std::vector<unsigned char> page;
  const uint32_t where = pageRow >> 8;
  if (where == 0 || where >= file.pages()) badMap();
  file.read(where, page);
  if (page[0] != kDataPage) badMap();
  RowPlace row;
  try {
    row = rowPlace(l, page, where, static_cast<int>(pageRow & 0xff));
  } catch (const Damaged&) {
    badMap();
  }
  if (row.skipped || row.end - row.start < 5) badMap();
  const unsigned char* map = page.data() + row.start;
  const size_t size = static_cast<size_t>(row.end - row.start);
  std::vector<uint32_t> pages;
  auto add = [&](uint64_t p) {
    if (p == 0 || p >= file.pages()) badMap();
    pages.push_back(static_cast<uint32_t>(p));
  };
  if (map[0] == 0) {
    const uint64_t first = u32(map + 1);
    for (size_t i = 0; i < (size - 5) * 8; ++i)
      if (map[5 + i / 8] & (1u << (i % 8))) add(first + i);
  } else if (map[0] == 1) {
    const uint64_t perPage = static_cast<uint64_t>(l.pageSize - 4) * 8;
    std::vector<unsigned char> bitmap;
    for (size_t k = 0; 1 + 4 * k + 4 <= size; ++k) {
      const uint32_t at = u32(map + 1 + 4 * k);
      if (at == 0) continue;
      if (at >= file.pages()) badMap();
      file.read(at, bitmap);
      if (bitmap[0] != kBitmapPage) badMap();
      for (uint64_t i = 0; i < perPage; ++i)
        if (bitmap[4 + i / 8] & (1u << (i % 8))) add(k * perPage + i);
    }
  } else {
    badMap();
  }
  return pages;
}

}  // namespace

Layout Layout::of(bool jet3) {
  Layout l;
  if (!jet3) return l;
  l.jet3 = true;
  l.pageSize = 2048;
  l.rowCountAt = 8;
  l.rowsAt = 12, l.maxColumnsAt = 21, l.varColumnsAt = 23, l.columnsAt = 25, l.realIndexesAt = 31, l.usageMapAt = 35;
  l.columnsStart = 43, l.realIndexSize = 8, l.columnSize = 18;
  l.numberAt = 1, l.varIndexAt = 3, l.precisionAt = 9, l.scaleAt = 10, l.flagsAt = 13, l.fixedOffsetAt = 14,
  l.lengthAt = 16;
  l.nameLengthBytes = 1;
  return l;
}

PageFile::PageFile(const std::string& path, bool jet3, uint32_t pages, uint32_t key)
    : layout_(Layout::of(jet3)), in_(path, std::ios::binary), pages_(pages), key_(key) {}

void PageFile::read(uint32_t n, std::vector<unsigned char>& out) {
  if (n >= pages_)
    damaged("la page " + num(n) + " est en dehors du fichier", "pagina " + num(n) + " ligt buiten het bestand");
  out.resize(static_cast<size_t>(layout_.pageSize));
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(n) * layout_.pageSize);
  if (!in_.read(reinterpret_cast<char*>(out.data()), layout_.pageSize))
    damaged("la page " + num(n) + " ne peut pas être lue", "pagina " + num(n) + " kan niet gelezen worden");
  if (n != 0 && key_ != 0) {
    const uint32_t k = key_ ^ n;
    const unsigned char bytes[4] = {static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 8),
                                    static_cast<unsigned char>(k >> 16), static_cast<unsigned char>(k >> 24)};
    base::rc4(bytes, 4, out.data(), out.size());
  }
}

RowPlace rowPlace(const Layout& l, const std::vector<unsigned char>& page, uint32_t number, int row) {
  const unsigned char* p = page.data();
  const int rows = static_cast<int>(u16(p + l.rowCountAt));
  const int listEnd = l.rowCountAt + 2 + 2 * rows;
  RowPlace r;
  r.page = number;
  r.row = row;
  if (row < 0 || row >= rows || listEnd > l.pageSize) badRow(r);
  const int raw = static_cast<int>(u16(p + l.rowCountAt + 2 + 2 * row));
  r.skipped = (raw & kSkippedRow) != 0;
  r.start = raw & kOffsetMask;
  // Rows are stored from the end of the page down: a row ends where the one
  // listed before it starts.
  r.end = row == 0 ? l.pageSize : static_cast<int>(u16(p + l.rowCountAt + 2 * row)) & kOffsetMask;
  if (!r.skipped && (r.start < listEnd || r.start >= r.end || r.end > l.pageSize)) badRow(r);
  return r;
}

int checkDataPage(const Layout& l, const std::vector<unsigned char>& page, uint32_t number, uint32_t owner) {
  const unsigned char* p = page.data();
  if (p[0] != kDataPage || u32(p + 4) != owner)
    damaged("la page " + num(number) + " n'appartient pas à la table", "pagina " + num(number) + " hoort niet bij de tabel");
  const int rows = static_cast<int>(u16(p + l.rowCountAt));
  const int listEnd = l.rowCountAt + 2 + 2 * rows;
  if (listEnd > l.pageSize) badPage(number);
  // The page's free space is the gap between its row list and its lowest
  // row: a row count or an offset that disagrees with it is damage.
  int lowest = l.pageSize;
  for (int r = 0; r < rows; ++r) lowest = std::min(lowest, static_cast<int>(u16(p + l.rowCountAt + 2 + 2 * r)) & kOffsetMask);
  if (lowest < listEnd || static_cast<int>(u16(p + 2)) != lowest - listEnd) badPage(number);
  return rows;
}

TableDef readTableDef(PageFile& file, uint32_t page, const NameDecoder& decode) {
  const Layout& l = file.layout();
  if (page == 0 || page >= file.pages())
    damaged("la définition (page " + num(page) + ") est en dehors du fichier",
            "de definitie (pagina " + num(page) + ") ligt buiten het bestand");
  DefinitionBytes b(file, page);
  TableDef t;
  t.page = page;
  t.rows = u32(b.at(static_cast<size_t>(l.rowsAt), 4));
  const uint32_t maxColumns = u16(b.at(static_cast<size_t>(l.maxColumnsAt), 2));
  t.maxColumns = static_cast<int>(maxColumns);
  const uint32_t columns = u16(b.at(static_cast<size_t>(l.columnsAt), 2));
  const uint32_t realIndexes = u32(b.at(static_cast<size_t>(l.realIndexesAt), 4));
  t.varColumns = static_cast<int>(u16(b.at(static_cast<size_t>(l.varColumnsAt), 2)));
  // Jet allows 255 columns and 32 indexes to a table.
  if (columns == 0 || columns > 255 || columns > maxColumns || realIndexes > 255) badDefinition();
  size_t at = static_cast<size_t>(l.columnsStart) + realIndexes * static_cast<size_t>(l.realIndexSize);
  for (uint32_t i = 0; i < columns; ++i, at += static_cast<size_t>(l.columnSize)) {
    const unsigned char* e = b.at(at, static_cast<size_t>(l.columnSize));
    ColumnDef c;
    c.type = e[0];
    c.number = e[l.numberAt];
    c.varIndex = static_cast<int>(u16(e + l.varIndexAt));
    c.fixed = (e[l.flagsAt] & 0x01) != 0;
    c.fixedOffset = static_cast<int>(u16(e + l.fixedOffsetAt));
    c.length = c.type == kBoolean ? 0 : static_cast<int>(u16(e + l.lengthAt));
    c.precision = e[l.precisionAt];
    c.scale = e[l.scaleAt];
    t.columns.push_back(c);
  }
  // Names follow in the same order, each after its length; Jet names have
  // at most 64 characters.
  const size_t maxName = l.jet3 ? 64 : 128;
  for (ColumnDef& c : t.columns) {
    const unsigned char* n = b.at(at, static_cast<size_t>(l.nameLengthBytes));
    const size_t length = l.nameLengthBytes == 1 ? n[0] : u16(n);
    at += static_cast<size_t>(l.nameLengthBytes);
    if (length == 0 || length > maxName) badDefinition();
    c.name = decode(b.at(at, length), length);
    at += length;
  }
  checkColumns(t);
  std::sort(t.columns.begin(), t.columns.end(), [](const ColumnDef& x, const ColumnDef& y) { return x.number < y.number; });
  t.dataPages = usageMapPages(file, u32(b.at(static_cast<size_t>(l.usageMapAt), 4)));
  return t;
}

void crackRow(const Layout& l, const TableDef& t, const std::vector<unsigned char>& page, const RowPlace& row,
              std::vector<Field>& fields) {
  auto bad = [&] { badRow(row); };
  const unsigned char* r = page.data() + row.start;
  const int length = row.end - row.start;
  const int countSize = l.jet3 ? 1 : 2;
  if (length < countSize) bad();
  // A row holds the columns the table had when it was written: at least one,
  // and never more than were ever made.
  const int rowColumns = static_cast<int>(l.jet3 ? r[0] : u16(r));
  if (rowColumns == 0 || rowColumns > t.maxColumns) bad();
  const int maskBytes = (rowColumns + 7) / 8;
  if (countSize + maskBytes > length) bad();
  const unsigned char* mask = r + length - maskBytes;
  // Offsets of the variable-length values, from the start of the row; entry
  // rowVar is where the last value ends.
  int rowVar = 0;
  int offsets[256 + 1];
  int fixedEnd = length - maskBytes;
  if (t.varColumns > 0) {
    int tableStart = 0;
    if (!l.jet3) {
      if (countSize + maskBytes + 2 > length) bad();
      rowVar = static_cast<int>(u16(r + length - maskBytes - 2));
      tableStart = length - maskBytes - 2 - 2 * (rowVar + 1);
      if (rowVar > 255 || tableStart < countSize) bad();
      for (int i = 0; i <= rowVar; ++i) offsets[i] = static_cast<int>(u16(r + length - maskBytes - 4 - 2 * i));
    } else {
      // Jet 3 keeps one byte per offset and a table of the offsets at which
      // a further 256 is added, as libmdb reads them.
      if (countSize + maskBytes + 1 > length) bad();
      rowVar = r[length - 1 - maskBytes];
      int jumps = (length - 1) / 256;
      const int last = length - 1 - maskBytes - jumps - 1;  // offset 0, the others below it
      if (last - rowVar >= 0 && (last - rowVar) / 256 < jumps) --jumps;
      tableStart = last - rowVar;
      if (tableStart < countSize) bad();
      int used = 0;
      for (int i = 0; i <= rowVar; ++i) {
        while (used < jumps && i == r[length - 1 - maskBytes - used - 1]) ++used;
        offsets[i] = r[last - i] + used * 256;
      }
    }
    for (int i = 0; i <= rowVar; ++i)
      if (offsets[i] < countSize || offsets[i] > tableStart || (i > 0 && offsets[i] < offsets[i - 1])) bad();
    fixedEnd = offsets[0];
  }
  const int rowFixed = rowColumns - rowVar;
  if (rowFixed < 0) bad();
  fields.assign(t.columns.size(), Field{});
  int fixedFound = 0;
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const ColumnDef& c = t.columns[i];
    Field& f = fields[i];
    // A column numbered beyond the row's columns was added after the row was written.
    f.present = c.number < rowColumns && (mask[c.number / 8] & (1 << (c.number % 8))) != 0;
    if (c.fixed) {
      if (fixedFound++ >= rowFixed) {
        f.present = false;
        continue;
      }
      if (c.type == kBoolean) continue;
      f.start = countSize + c.fixedOffset;
      f.size = c.length;
      if (f.start + f.size > fixedEnd) bad();
    } else if (c.varIndex < rowVar) {
      f.start = offsets[c.varIndex];
      f.size = offsets[c.varIndex + 1] - offsets[c.varIndex];
    } else {
      f.present = false;
      continue;
    }
    if (!f.present || c.type == kBoolean) continue;
    if (valueSize(c.type) > 0 && f.size != valueSize(c.type)) bad();
    if (c.type == kText && c.length > 0 && f.size > c.length) bad();
    f.start += row.start;
  }
}

void longValue(PageFile& file, const std::vector<unsigned char>& page, int at, int size, std::string& out,
               std::vector<unsigned char>& scratch) {
  auto bad = [] { damaged("mémo illisible", "onleesbaar memoveld"); };
  out.clear();
  if (size == 0) return;  // a zero-length text
  if (size < kLongValueHeader) bad();
  // Three bytes of length, then where the value is: in the row, in one row
  // of a long-value page, or in a chain of such rows.
  const uint32_t head = u32(page.data() + at);
  const size_t length = head & 0xffffffu;
  const uint32_t kind = head >> 24;
  if (kind == 0x80) {
    if (length != static_cast<size_t>(size - kLongValueHeader)) bad();
    out.assign(reinterpret_cast<const char*>(page.data() + at + kLongValueHeader), length);
    return;
  }
  if (kind != 0x40 && kind != 0x00) bad();
  const bool onePage = kind == 0x40;
  // Each row of a chain starts with the reference of the next.
  uint32_t next = u32(page.data() + at + 4);
  for (uint32_t hops = 0; out.size() < length; ++hops) {
    if (next == 0 || hops > file.pages() || (next >> 8) >= file.pages()) bad();
    file.read(next >> 8, scratch);
    if (scratch[0] != kDataPage || std::memcmp(scratch.data() + 4, "LVAL", 4) != 0) bad();
    RowPlace row;
    try {
      row = rowPlace(file.layout(), scratch, next >> 8, static_cast<int>(next & 0xff));
    } catch (const Damaged&) {
      bad();
    }
    if (row.skipped) bad();
    const int skip = onePage ? 0 : 4;
    if (row.end - row.start < skip) bad();
    const size_t piece = std::min(length - out.size(), static_cast<size_t>(row.end - row.start - skip));
    if (onePage && piece != length) bad();
    if (piece == 0) bad();
    out.append(reinterpret_cast<const char*>(scratch.data() + row.start + skip), piece);
    next = onePage ? 0 : u32(scratch.data() + row.start);
  }
}

}  // namespace run::jet
