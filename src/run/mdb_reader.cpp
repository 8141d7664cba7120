#include "run/mdb_reader.h"

#include <mdbtools.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>

#include "base/number_text.h"
#include "base/source.h"
#include "base/text.h"
#include "run/jet_pages.h"

namespace run::mdb {
using base::SourceError;

struct OpenFile {
  MdbHandle* mdb = nullptr;  // decodes texts
  std::unique_ptr<jet::PageFile> pages;
  ~OpenFile() {
    if (mdb) mdb_close(mdb);
  }
};

struct TableReader::State {
  OpenFile* file = nullptr;
  std::string path, name;
  jet::TableDef def;
  std::vector<unsigned char> page, scratch;  // the data page being read; a long-value page
  uint32_t pageNumber = 0;
  size_t nextPage = 0;
  int rowsOnPage = 0, row = 0;
  jet::RowPlace place;
  std::vector<jet::Field> fields;
  std::vector<std::string> buffers;  // one per column, reused row after row
  std::string memo;                  // a memo's bytes gathered from its pages
  uint64_t read = 0;
  bool done = false;
};

namespace {

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
  // Written digit by digit: a book year's lines carry a million dates, and
  // the formatted print was a tenth of loading them.
  std::string text = "0000-00-00 00:00:00";
  const auto put = [&text](size_t end, long value, int digits) {
    for (int i = 0; i < digits; ++i, value /= 10) text[end - static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
  };
  put(3, y, 4);
  put(6, m, 2);
  put(9, d, 2);
  put(12, secs / 3600, 2);
  put(15, secs / 60 % 60, 2);
  put(18, secs % 60, 2);
  return text;
}

[[noreturn]] void fail(const std::string& fr, const std::string& nl) { throw SourceError(fr, nl); }

[[noreturn]] void damagedTable(const std::string& path, const std::string& table, const std::string& fr,
                               const std::string& nl) {
  fail("La table " + table + " du fichier " + path + " est endommagée (" + fr +
           "). Réparez la base de données avec Microsoft Access (Compacter et réparer).",
       "De tabel " + table + " van het bestand " + path + " is beschadigd (" + nl +
           "). Herstel de databank met Microsoft Access (Comprimeren en herstellen).");
}

void textOf(MdbHandle* mdb, const unsigned char* src, size_t len, std::string& out) {
  // At most three bytes of UTF-8 for each stored byte.
  if (out.size() < len * 3 + 8) out.resize(len * 3 + 8);
  int n = len ? mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(src), len, out.data(), out.size()) : 0;
  out.resize(static_cast<size_t>(n < 0 ? 0 : n));
}

// Little-endian values, whatever the machine's byte order.
uint64_t unsignedAt(const unsigned char* p, int bytes) {
  uint64_t v = 0;
  for (int b = bytes - 1; b >= 0; --b) v = v << 8 | p[b];
  return v;
}

double doubleAt(const unsigned char* p) {
  const uint64_t bits = unsignedAt(p, 8);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

float floatAt(const unsigned char* p) {
  const uint32_t bits = static_cast<uint32_t>(unsignedAt(p, 4));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

ColumnType columnType(int type) {
  switch (type) {
    case MDB_BOOL: return ColumnType::Boolean;
    case MDB_BYTE: case MDB_INT: case MDB_LONGINT: case MDB_COMPLEX: return ColumnType::Integer;
    case MDB_FLOAT: case MDB_DOUBLE: return ColumnType::Double;
    case MDB_MONEY: return ColumnType::Currency;
    case MDB_NUMERIC: return ColumnType::Decimal;
    case MDB_DATETIME: return ColumnType::DateTime;
    case MDB_TEXT: return ColumnType::Text;
    case MDB_MEMO: return ColumnType::Memo;
    case MDB_REPID: return ColumnType::Guid;
    default: return ColumnType::Binary;
  }
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
  const bool whole = in.gcount() == sizeof head;
  in.clear();
  in.seekg(0, std::ios::end);
  long long size = static_cast<long long>(in.tellg());
  const bool signature = whole && head[0] == 0 && head[1] == 1 && head[2] == 0 && head[3] == 0 &&
                         (std::memcmp(head + 4, "Standard Jet DB", 16) == 0 ||
                          std::memcmp(head + 4, "Standard ACE DB", 16) == 0);
  if (!signature)
    fail("Le fichier " + path + " n'est pas une base de données Access",
         "Het bestand " + path + " is geen Access-databank");
  const long pageSize = head[0x14] == 0 ? 2048 : 4096;
  if (head[0x14] > 5 || size < 3 * pageSize || size % pageSize != 0 || size / pageSize > 0xffffff)
    fail("La base de données Access " + path + " est endommagée",
         "De Access-databank " + path + " is beschadigd");
  pages_ = static_cast<long>(size / pageSize);

  // libmdb reads only the header, for the text conversions it sets up.
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (!mdb) fail("Impossible d'ouvrir la base de données Access " + path, "Onmogelijk om de Access-databank " + path + " te openen");
  open_ = std::make_unique<OpenFile>();
  open_->mdb = mdb;
  open_->pages = std::make_unique<jet::PageFile>(path, IS_JET3(mdb), static_cast<uint32_t>(pages_), mdb->f->db_key);
  readCatalog();
}

File::~File() = default;

// The table list from MSysObjects, whose definition is always on page 2.
// libmdb's own catalog routine also decodes every object's property blob
// (only display formats) and loops forever on a damaged one.
void File::readCatalog() {
  std::unique_ptr<TableReader> objects = readerAt(2, "MSysObjects");
  int id = -1, name = -1, type = -1, flags = -1;
  for (size_t i = 0; i < objects->columns().size(); ++i) {
    const std::string& c = objects->columns()[i].name;
    if (c == "Id") id = static_cast<int>(i);
    if (c == "Name") name = static_cast<int>(i);
    if (c == "Type") type = static_cast<int>(i);
    if (c == "Flags") flags = static_cast<int>(i);
  }
  auto damaged = [&] {
    fail("La base de données Access " + path_ + " est endommagée (catalogue des tables)",
         "De Access-databank " + path_ + " is beschadigd (tabellenlijst)");
  };
  if (id < 0 || name < 0 || type < 0 || flags < 0) damaged();
  std::set<uint32_t> definitions;
  while (objects->next()) {
    const auto& cells = objects->cells();
    if (cells[static_cast<size_t>(type)].integer != MDB_TABLE || cells[static_cast<size_t>(name)].kind != Cell::Kind::Text) continue;
    const std::string entry(cells[static_cast<size_t>(name)].text);
    const auto page = static_cast<uint32_t>(cells[static_cast<size_t>(id)].integer & 0x00FFFFFF);
    // Two tables of one name or on one definition: a damaged entry would
    // have one table read in place of another.
    for (const auto& [other, where] : catalog_)
      if (base::equalsIgnoringCase(other, entry)) damaged();
    if (!definitions.insert(page).second) damaged();
    catalog_.emplace_back(entry, page);
    if (!(cells[static_cast<size_t>(flags)].integer & 0x80000002)) tables_.push_back(entry);
  }
}

std::unique_ptr<TableReader> File::open(const std::string& name) {
  for (const auto& [entry, page] : catalog_)
    if (entry == name) return readerAt(page, name);
  fail("La table " + name + " n'existe pas dans " + path_, "De tabel " + name + " bestaat niet in " + path_);
}

std::unique_ptr<TableReader> File::readerAt(uint32_t page, const std::string& name) {
  auto state = std::make_unique<TableReader::State>();
  state->file = open_.get();
  state->path = path_;
  state->name = name;
  MdbHandle* mdb = open_->mdb;
  try {
    state->def = jet::readTableDef(*open_->pages, page, [mdb](const unsigned char* p, size_t n) {
      std::string text;
      textOf(mdb, p, n, text);
      return text;
    });
  } catch (const jet::Damaged& d) {
    damagedTable(path_, name, d.fr, d.nl);
  }
  std::unique_ptr<TableReader> r(new TableReader(std::move(state)));
  for (const jet::ColumnDef& def : r->s_->def.columns) {
    Column c;
    c.name = def.name;
    c.type = columnType(def.type);
    if (def.type == MDB_MONEY) c.scale = 4;
    if (def.type == MDB_NUMERIC) c.scale = def.scale;
    r->columns_.push_back(c);
  }
  r->cells_.resize(r->columns_.size());
  r->s_->buffers.resize(r->columns_.size());
  return r;
}

TableReader::TableReader(std::unique_ptr<State> state) : s_(std::move(state)) {}
TableReader::~TableReader() = default;

void TableReader::damaged(const std::string& fr, const std::string& nl) const { damagedTable(s_->path, s_->name, fr, nl); }

bool TableReader::next() {
  try {
    return step();
  } catch (const jet::Damaged& d) {
    s_->done = true;
    damaged(d.fr, d.nl);
  }
}

bool TableReader::step() {
  State& s = *s_;
  if (s.done) return false;
  const jet::Layout& layout = s.file->pages->layout();
  for (;;) {
    if (s.row < s.rowsOnPage) {
      s.place = jet::rowPlace(layout, s.page, s.pageNumber, s.row++);
      if (s.place.skipped) continue;
      jet::crackRow(layout, s.def, s.page, s.place, s.fields);
      decodeRow();
      ++s.read;
      return true;
    }
    if (s.nextPage == s.def.dataPages.size()) {
      s.done = true;
      // The rows found must be the rows the table declares: pages missing
      // from the map or a damaged row count would otherwise lose rows.
      if (s.read != s.def.rows)
        damaged(std::to_string(s.read) + " lignes lues au lieu des " + std::to_string(s.def.rows) + " annoncées",
                std::to_string(s.read) + " rijen gelezen in plaats van de aangekondigde " + std::to_string(s.def.rows));
      return false;
    }
    s.pageNumber = s.def.dataPages[s.nextPage++];
    s.file->pages->read(s.pageNumber, s.page);
    s.rowsOnPage = jet::checkDataPage(layout, s.page, s.pageNumber, s.def.page);
    s.row = 0;
  }
}

void TableReader::decodeRow() {
  State& s = *s_;
  MdbHandle* mdb = s.file->mdb;
  const unsigned char* pg = s.page.data();
  for (size_t i = 0; i < s.def.columns.size(); ++i) {
    const jet::ColumnDef& col = s.def.columns[i];
    const jet::Field& f = s.fields[i];
    Cell& cell = cells_[i];
    std::string& buf = s.buffers[i];
    cell.kind = Cell::Kind::Null;
    if (col.type == MDB_BOOL) {  // stored in the null mask, never null
      cell.kind = Cell::Kind::Integer;
      cell.integer = f.present ? 1 : 0;
      continue;
    }
    if (!f.present) continue;
    const unsigned char* at = pg + f.start;
    switch (col.type) {
      case MDB_BYTE: cell.kind = Cell::Kind::Integer; cell.integer = at[0]; break;
      case MDB_INT: cell.kind = Cell::Kind::Integer; cell.integer = static_cast<int16_t>(unsignedAt(at, 2)); break;
      case MDB_LONGINT:
      case MDB_COMPLEX: cell.kind = Cell::Kind::Integer; cell.integer = static_cast<int32_t>(unsignedAt(at, 4)); break;
      case MDB_FLOAT: {
        // A single keeps about 7 digits; its shortest text is what was typed.
        cell.kind = Cell::Kind::Real;
        cell.real = base::readNumber(base::generalText(static_cast<double>(floatAt(at)), 7));
        break;
      }
      case MDB_DOUBLE: cell.kind = Cell::Kind::Real; cell.real = doubleAt(at); break;
      case MDB_MONEY:
        cell.kind = Cell::Kind::Real;
        cell.real = static_cast<double>(static_cast<int64_t>(unsignedAt(at, 8))) / 10000.0;
        break;
      case MDB_NUMERIC: {
        // libmdb converts from its page buffer, used here as a scratch copy.
        std::memcpy(mdb->pg_buf, at, 17);
        char* text = mdb_numeric_to_string(mdb, 0, col.precision, col.scale);
        cell.kind = Cell::Kind::Real;
        cell.real = text ? base::readNumber(text) : 0;
        g_free(text);
        break;
      }
      case MDB_DATETIME:
        buf = dateTextOfDays(doubleAt(at));
        if (!buf.empty()) {
          cell.kind = Cell::Kind::Text;
          cell.text = buf;
        }
        break;
      case MDB_TEXT:
        textOf(mdb, at, static_cast<size_t>(f.size), buf);
        cell.kind = Cell::Kind::Text;
        cell.text = buf;
        break;
      case MDB_MEMO:
        try {
          jet::longValue(*s.file->pages, s.page, f.start, f.size, s.memo, s.scratch);
        } catch (const jet::Damaged& d) {
          const std::string where = std::to_string(s.place.row) + ", page " + std::to_string(s.pageNumber);
          damaged(d.fr + ", ligne " + where, d.nl + ", rij " + where);
        }
        textOf(mdb, reinterpret_cast<const unsigned char*>(s.memo.data()), s.memo.size(), buf);
        cell.kind = Cell::Kind::Text;
        cell.text = buf;
        break;
      case MDB_REPID: {
        char* text = mdb_col_to_string(mdb, s.page.data(), f.start, MDB_REPID, f.size);
        buf.assign(text ? text : "");
        g_free(text);
        cell.kind = Cell::Kind::Text;
        cell.text = buf;
        break;
      }
      case MDB_BINARY:
        buf.assign(reinterpret_cast<const char*>(at), static_cast<size_t>(f.size));
        cell.kind = Cell::Kind::Blob;
        cell.text = buf;
        break;
      default:  // OLE objects (pictures, documents) are not source data here
        break;
    }
  }
}

}  // namespace run::mdb
