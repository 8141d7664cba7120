#include "run/mdb_reader.h"

#include <mdbtools.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "base/source.h"

namespace run::mdb {
using namespace base;
namespace {

constexpr int kRowOffsetMask = 0x1fff;  // row offsets carry flags in their top bits
constexpr int kRowDeleted = 0x4000;
constexpr int kMemoOverhead = 12;       // length and flags, page and row, unused

std::string civilText(long daysSince1970, long secs) {
  // Civil date from a day count, proleptic Gregorian (valid far before 1900).
  long z = daysSince1970 + 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long y = yoe + era * 400;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  long d = doy - (153 * mp + 2) / 5 + 1;
  long m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld", y, m, d, secs / 3600, secs / 60 % 60, secs % 60);
  return buf;
}

[[noreturn]] void fail(const std::string& fr, const std::string& nl) { throw SourceError(fr, nl); }

void textOf(MdbHandle* mdb, const void* src, size_t len, std::string& out) {
  out.resize(len * 3 + 8);
  int n = len ? mdb_unicode2ascii(mdb, static_cast<const char*>(src), len, out.data(), out.size()) : 0;
  out.resize(static_cast<size_t>(n < 0 ? 0 : n));
}

// A memo value, whole: stored in the row, on one page of long values, or as a
// chain of them. libmdb's own reader cuts memos at a fixed size.
void memoText(MdbHandle* mdb, int start, int size, long pages, std::string& raw, std::string& out) {
  out.clear();
  if (size < kMemoOverhead) return;
  const uint32_t head = static_cast<uint32_t>(mdb_get_int32(mdb->pg_buf, start));
  const int32_t firstRow = static_cast<int32_t>(mdb_get_int32(mdb->pg_buf, start + 4));
  void* buf = nullptr;
  int rowStart = 0;
  size_t len = 0;
  if (head & 0x80000000u) return textOf(mdb, mdb->pg_buf + start + kMemoOverhead, static_cast<size_t>(size - kMemoOverhead), out);
  if (head & 0x40000000u) {
    if (mdb_find_pg_row(mdb, firstRow, &buf, &rowStart, &len) != 0) return;
    return textOf(mdb, static_cast<char*>(buf) + rowStart, len, out);
  }
  const uint32_t total = head & 0x00ffffffu;
  if ((head & 0xff000000u) != 0 || total > static_cast<uint64_t>(pages) * 4096) return;  // damaged
  raw.clear();
  int32_t pgRow = firstRow;
  for (long hops = 0; pgRow && hops <= pages; ++hops) {
    if (mdb_find_pg_row(mdb, pgRow, &buf, &rowStart, &len) != 0 || len < 4 || raw.size() + len - 4 > total) break;
    raw.append(static_cast<char*>(buf) + rowStart + 4, len - 4);
    pgRow = static_cast<int32_t>(mdb_get_int32(buf, rowStart));
  }
  textOf(mdb, raw.data(), raw.size(), out);
}

}  // namespace

std::string dateTextOfDays(double days) {
  // Years 100 to 9999, the range the stored dates can hold.
  if (!(days > -657435.0 && days < 2958466.0)) return {};
  double whole = std::trunc(days);
  long secs = std::lround(std::fabs(days - whole) * 86400.0);
  long d = static_cast<long>(whole);
  if (secs >= 86400) {
    secs -= 86400;
    ++d;
  }
  return civilText(d - 25569, secs);
}

File::File(const std::string& path) : path_(path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail("Impossible d'ouvrir le fichier " + path, "Onmogelijk om het bestand " + path + " te openen");
  unsigned char head[0x20] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  in.seekg(0, std::ios::end);
  long long size = static_cast<long long>(in.tellg());
  const bool signature = in.gcount() == sizeof head && head[0] == 0 && head[1] == 1 && head[2] == 0 && head[3] == 0 &&
                         (std::memcmp(head + 4, "Standard Jet DB", 16) == 0 ||
                          std::memcmp(head + 4, "Standard ACE DB", 16) == 0);
  if (!signature)
    fail("Le fichier " + path + " n'est pas une base de données Access",
         "Het bestand " + path + " is geen Access-databank");
  const long pageSize = head[0x14] == 0 ? 2048 : 4096;
  if (head[0x14] > 5 || size < 3 * pageSize || size % pageSize != 0)
    fail("La base de données Access " + path + " est endommagée",
         "De Access-databank " + path + " is beschadigd");
  pages_ = static_cast<long>(size / pageSize);

  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (!mdb) fail("Impossible d'ouvrir la base de données Access " + path, "Onmogelijk om de Access-databank " + path + " te openen");
  handle_ = mdb;
  try {
    readCatalog(mdb);
  } catch (...) {
    mdb_close(mdb);
    handle_ = nullptr;
    throw;
  }
}

// The table list from MSysObjects, read with this reader rather than libmdb's
// catalog routine: that one also decodes every object's property blob and
// loops forever on a damaged one. Properties only serve display formats.
void File::readCatalog(void* handle) {
  auto* mdb = static_cast<MdbHandle*>(handle);
  auto damaged = [&] {
    fail("La base de données Access " + path_ + " est endommagée", "De Access-databank " + path_ + " is beschadigd");
  };
  if (mdb->catalog) mdb_free_catalog(mdb);
  mdb->catalog = g_ptr_array_new();
  mdb->num_catalog = 0;
  MdbCatalogEntry sys{};
  sys.mdb = mdb;
  sys.object_type = MDB_TABLE;
  sys.table_pg = 2;
  std::snprintf(sys.object_name, sizeof sys.object_name, "%s", "MSysObjects");
  MdbTableDef* table = mdb_read_table(&sys);
  if (!table) damaged();
  std::unique_ptr<TableReader> objects = readerOf(table);  // freed before `sys` goes
  if (!objects) damaged();
  int id = -1, name = -1, type = -1, flags = -1;
  for (size_t i = 0; i < objects->columns().size(); ++i) {
    const std::string& c = objects->columns()[i].name;
    if (c == "Id") id = static_cast<int>(i);
    if (c == "Name") name = static_cast<int>(i);
    if (c == "Type") type = static_cast<int>(i);
    if (c == "Flags") flags = static_cast<int>(i);
  }
  if (id < 0 || name < 0 || type < 0 || flags < 0) damaged();
  while (objects->next()) {
    const auto& cells = objects->cells();
    if (cells[static_cast<size_t>(type)].integer != MDB_TABLE || cells[static_cast<size_t>(name)].kind != Cell::Kind::Text) continue;
    auto* entry = static_cast<MdbCatalogEntry*>(g_malloc0(sizeof(MdbCatalogEntry)));
    entry->mdb = mdb;
    const std::string_view n = cells[static_cast<size_t>(name)].text;
    std::snprintf(entry->object_name, sizeof entry->object_name, "%.*s", static_cast<int>(n.size()), n.data());
    entry->object_type = MDB_TABLE;
    entry->table_pg = static_cast<unsigned long>(cells[static_cast<size_t>(id)].integer & 0x00FFFFFF);
    entry->flags = static_cast<int>(cells[static_cast<size_t>(flags)].integer);
    g_ptr_array_add(mdb->catalog, entry);
    ++mdb->num_catalog;
    if (mdb_is_user_table(entry)) tables_.emplace_back(entry->object_name);
  }
}

File::~File() {
  if (handle_) mdb_close(static_cast<MdbHandle*>(handle_));
}

std::unique_ptr<TableReader> File::open(const std::string& name) {
  auto* mdb = static_cast<MdbHandle*>(handle_);
  // Looked up in the catalog read at opening (libmdb's own lookup reads it again).
  MdbTableDef* table = nullptr;
  for (unsigned i = 0; i < mdb->num_catalog && !table; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (name == entry->object_name) {
      table = mdb_read_table(entry);
      if (!table) fail("La table " + name + " de " + path_ + " est endommagée", "De tabel " + name + " van " + path_ + " is beschadigd");
    }
  }
  if (!table) fail("La table " + name + " n'existe pas dans " + path_, "De tabel " + name + " bestaat niet in " + path_);
  std::unique_ptr<TableReader> r = readerOf(table);
  if (!r) fail("La table " + name + " de " + path_ + " est endommagée", "De tabel " + name + " van " + path_ + " is beschadigd");
  return r;
}

std::unique_ptr<TableReader> File::readerOf(void* tableDef) {
  auto* table = static_cast<MdbTableDef*>(tableDef);
  if (!mdb_read_columns(table) || table->num_cols == 0) {
    mdb_free_tabledef(table);
    return nullptr;
  }
  std::unique_ptr<TableReader> r(new TableReader);
  r->table_ = table;
  for (unsigned i = 0; i < table->num_cols; ++i) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    Column c;
    c.name = col->name;
    switch (col->col_type) {
      case MDB_BOOL: c.type = ColumnType::Boolean; break;
      case MDB_BYTE: case MDB_INT: case MDB_LONGINT: case MDB_COMPLEX: c.type = ColumnType::Integer; break;
      case MDB_FLOAT: case MDB_DOUBLE: c.type = ColumnType::Double; break;
      case MDB_MONEY: c.type = ColumnType::Currency; c.scale = 4; break;
      case MDB_NUMERIC: c.type = ColumnType::Decimal; c.scale = col->col_scale; break;
      case MDB_DATETIME: c.type = ColumnType::DateTime; break;
      case MDB_TEXT: c.type = ColumnType::Text; break;
      case MDB_MEMO: c.type = ColumnType::Memo; break;
      case MDB_REPID: c.type = ColumnType::Guid; break;
      default: c.type = ColumnType::Binary; break;
    }
    r->columns_.push_back(c);
  }
  r->cells_.resize(table->num_cols);
  r->buffers_.resize(table->num_cols);
  r->fieldStore_.resize(sizeof(MdbField) * table->num_cols);
  r->pages_ = pages_;
  return r;
}

TableReader::~TableReader() {
  if (table_) mdb_free_tabledef(static_cast<MdbTableDef*>(table_));
}

bool TableReader::next() {
  if (done_) return false;
  auto* t = static_cast<MdbTableDef*>(table_);
  MdbHandle* mdb = t->entry->mdb;
  if (!started_) {
    started_ = true;
    mdb_rewind_table(t);
    t->cur_pg_num = 1;
    t->cur_row = 0;
    if (!mdb_read_next_dpg(t)) return !(done_ = true);
  }
  auto* fields = reinterpret_cast<MdbField*>(fieldStore_.data());
  for (;;) {
    unsigned rows = static_cast<unsigned>(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset));
    if (t->cur_row >= rows) {
      t->cur_row = 0;
      if (!mdb_read_next_dpg(t)) return !(done_ = true);
      continue;
    }
    int row = static_cast<int>(t->cur_row++);
    int start = 0;
    size_t len = 0;
    // A row whose place on the page or whose content cannot be decoded is
    // damage, not an absent row: going on would import the table with that
    // row silently missing.
    const bool placed = mdb_find_row(mdb, row, &start, &len) != -1;
    if (placed && (start & kRowDeleted)) continue;
    start &= kRowOffsetMask;
    if (!placed || len == 0 || mdb_crack_row(t, start, len, fields) < 0)
      fail("La table " + std::string(t->name) + " contient une ligne illisible (fichier endommagé)",
           "De tabel " + std::string(t->name) + " bevat een onleesbare rij (beschadigd bestand)");
    break;
  }
  const unsigned char* pg = mdb->pg_buf;
  for (unsigned i = 0; i < t->num_cols; ++i) {
    const MdbField& f = fields[i];
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, f.colnum));
    Cell& cell = cells_[static_cast<size_t>(f.colnum)];
    std::string& buf = buffers_[static_cast<size_t>(f.colnum)];
    cell.kind = Cell::Kind::Null;
    if (col->col_type == MDB_BOOL) {  // stored in the null mask, never null
      cell.kind = Cell::Kind::Integer;
      cell.integer = f.is_null ? 0 : 1;
      continue;
    }
    if (f.is_null) continue;
    const int at = f.start;
    if (at < 0 || f.siz < 0 || at + f.siz > mdb->fmt->pg_size)
      fail("Une ligne de la table " + std::string(t->name) + " est endommagée",
           "Een rij van de tabel " + std::string(t->name) + " is beschadigd");
    switch (col->col_type) {
      case MDB_BYTE: cell.kind = Cell::Kind::Integer; cell.integer = pg[at]; break;
      case MDB_INT: cell.kind = Cell::Kind::Integer; cell.integer = static_cast<int16_t>(mdb_get_int16(mdb->pg_buf, at)); break;
      case MDB_LONGINT:
      case MDB_COMPLEX: cell.kind = Cell::Kind::Integer; cell.integer = static_cast<int32_t>(mdb_get_int32(mdb->pg_buf, at)); break;
      case MDB_FLOAT: {
        // A single keeps about 7 digits; its shortest text is what was typed.
        char tmp[32];
        std::snprintf(tmp, sizeof tmp, "%.7g", static_cast<double>(mdb_get_single(mdb->pg_buf, at)));
        cell.kind = Cell::Kind::Real;
        cell.real = std::strtod(tmp, nullptr);
        break;
      }
      case MDB_DOUBLE: cell.kind = Cell::Kind::Real; cell.real = mdb_get_double(mdb->pg_buf, at); break;
      case MDB_MONEY: {
        int64_t scaled = 0;
        for (int b = 7; b >= 0; --b) scaled = static_cast<int64_t>((static_cast<uint64_t>(scaled) << 8) | pg[at + b]);
        cell.kind = Cell::Kind::Real;
        cell.real = static_cast<double>(scaled) / 10000.0;
        break;
      }
      case MDB_NUMERIC: {
        char* s = mdb_numeric_to_string(mdb, at, col->col_scale, col->col_prec);
        cell.kind = Cell::Kind::Real;
        cell.real = s ? std::strtod(s, nullptr) : 0;
        g_free(s);
        break;
      }
      case MDB_DATETIME:
        buf = dateTextOfDays(mdb_get_double(mdb->pg_buf, at));
        if (!buf.empty()) {
          cell.kind = Cell::Kind::Text;
          cell.text = buf;
        }
        break;
      case MDB_TEXT: {
        size_t need = static_cast<size_t>(f.siz) * 3 + 8;
        if (buf.size() < need) buf.resize(need);
        int n = f.siz > 0 ? mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(pg) + at, static_cast<size_t>(f.siz), buf.data(), buf.size()) : 0;
        cell.kind = Cell::Kind::Text;
        cell.text = std::string_view(buf.data(), static_cast<size_t>(n < 0 ? 0 : n));
        break;
      }
      case MDB_MEMO:
        memoText(mdb, at, f.siz, pages_, memoRaw_, buf);
        cell.kind = Cell::Kind::Text;
        cell.text = buf;
        break;
      case MDB_REPID: {
        char* s = mdb_col_to_string(mdb, mdb->pg_buf, at, col->col_type, f.siz);
        buf.assign(s ? s : "");
        g_free(s);
        cell.kind = Cell::Kind::Text;
        cell.text = buf;
        break;
      }
      case MDB_BINARY:
        buf.assign(reinterpret_cast<const char*>(pg) + at, static_cast<size_t>(f.siz > 0 ? f.siz : 0));
        cell.kind = Cell::Kind::Blob;
        cell.text = buf;
        break;
      default:  // OLE objects (pictures, documents) are not source data here
        break;
    }
  }
  return true;
}

}  // namespace run::mdb
