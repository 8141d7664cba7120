// Page formats follow the public Jet 4 notes (mdbtools' HACKING): 4 KiB
// pages; page 0 the database header, page 1 the global usage map, page 2
// the definition of the catalog table MSysObjects; data pages hold rows from
// the end of the page backwards, each row ending with its variable-column
// offsets and its null mask; every table definition points at two usage maps
// (pages owned, pages with free space) stored as rows of a data page.
#include "jet4_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/rc4.h"

namespace jet4 {
namespace {

constexpr int kPage = Database::kPageSize;
constexpr int kDataHeader = 14;        // type, flag, free space, owner, unknown, row count
constexpr int kMaxRowsPerPage = 255;   // a row pointer keeps the row number in one byte
constexpr int kInlineMemoMax = 1024;   // longer memo values go to long-value pages
constexpr int kGlobalMapMax = 3000;    // bytes of the global usage map on page 1
constexpr uint32_t kPagesPerMapPage = (kPage - 4) * 8;

void put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void put32(uint8_t* p, uint32_t v) { put16(p, v & 0xFFFF); put16(p + 2, v >> 16); }
void put64(uint8_t* p, uint64_t v) { put32(p, uint32_t(v)); put32(p + 4, uint32_t(v >> 32)); }
void append16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }

uint8_t typeCode(Type t) {
  switch (t) {
    case Type::Boolean: return 0x01;
    case Type::Byte: return 0x02;
    case Type::Integer: return 0x03;
    case Type::Long: return 0x04;
    case Type::Currency: return 0x05;
    case Type::Double: return 0x07;
    case Type::DateTime: return 0x08;
    case Type::Text: return 0x0A;
    case Type::Memo: return 0x0C;
  }
  return 0;
}

int fixedSize(Type t) {
  switch (t) {
    case Type::Byte: return 1;
    case Type::Integer: return 2;
    case Type::Long: return 4;
    case Type::Currency:
    case Type::Double:
    case Type::DateTime: return 8;
    default: return 0;  // Booleans live in the null mask
  }
}

bool isVariable(Type t) { return t == Type::Text || t == Type::Memo; }

// Jet compares names without regard to case (ASCII letters here).
std::string folded(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::u16string utf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    uint8_t c = uint8_t(s[i]);
    uint32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c >> 5) == 6) { cp = c & 0x1F; extra = 1; }
    else if ((c >> 4) == 14) { cp = c & 0x0F; extra = 2; }
    else if ((c >> 3) == 30) { cp = c & 0x07; extra = 3; }
    else throw Error("texte UTF-8 invalide / ongeldige UTF-8-tekst");
    if (i + extra >= s.size() && extra) throw Error("texte UTF-8 tronqué / afgebroken UTF-8-tekst");
    for (int k = 1; k <= extra; ++k) {
      uint8_t cc = uint8_t(s[i + k]);
      if ((cc >> 6) != 2) throw Error("texte UTF-8 invalide / ongeldige UTF-8-tekst");
      cp = (cp << 6) | (cc & 0x3F);
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
  }
  return out;
}

// Jet 4 text: UCS-2 little-endian, or the compressed form (0xFF 0xFE, then
// one byte per character) when every character fits in one byte and that is
// shorter.
std::vector<uint8_t> encodeText(const std::u16string& u) {
  bool compressible = u.size() > 2 && std::all_of(u.begin(), u.end(), [](char16_t c) { return c >= 1 && c <= 0xFF; });
  std::vector<uint8_t> b;
  if (compressible) {
    b.reserve(u.size() + 2);
    b.push_back(0xFF);
    b.push_back(0xFE);
    for (char16_t c : u) b.push_back(uint8_t(c));
  } else {
    b.reserve(u.size() * 2);
    for (char16_t c : u) append16(b, c);
  }
  return b;
}

std::vector<uint8_t> plainUcs2(const std::string& s) {
  std::vector<uint8_t> b;
  for (char16_t c : utf16(s)) append16(b, c);
  return b;
}

int64_t daysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

const char* typeName(Type t) {
  switch (t) {
    case Type::Boolean: return "Boolean";
    case Type::Byte: return "Byte";
    case Type::Integer: return "Integer";
    case Type::Long: return "Long";
    case Type::Currency: return "Currency";
    case Type::Double: return "Double";
    case Type::DateTime: return "DateTime";
    case Type::Text: return "Text";
    case Type::Memo: return "Memo";
  }
  return "?";
}

[[noreturn]] void badValue(const std::string& table, const Column& c, const char* why) {
  throw Error("valeur refusée pour " + table + "." + c.name + " (" + typeName(c.type) + "): " + why +
              " / waarde geweigerd voor " + table + "." + c.name);
}

// Builds one data page from rows placed from the end of the page backwards.
std::vector<uint8_t> buildDataPage(uint32_t owner, const std::vector<std::vector<uint8_t>>& rows, bool longValue = false) {
  std::vector<uint8_t> page(kPage, 0);
  page[0] = 0x01;
  page[1] = 0x01;
  if (longValue) std::memcpy(&page[4], "LVAL", 4);
  else put32(&page[4], owner);
  put16(&page[12], uint32_t(rows.size()));
  int end = kPage;
  for (size_t i = 0; i < rows.size(); ++i) {
    end -= int(rows[i].size());
    std::memcpy(&page[end], rows[i].data(), rows[i].size());
    put16(&page[kDataHeader + 2 * i], uint32_t(end));
  }
  put16(&page[2], uint32_t(end - kDataHeader - 2 * int(rows.size())));
  return page;
}

}  // namespace

double toJetDate(const DateTime& d) {
  int64_t days = daysFromCivil(d.year, d.month, d.day) - daysFromCivil(1899, 12, 30);
  double frac = (d.hour * 3600 + d.minute * 60 + d.second) / 86400.0;
  // Before 1899-12-30 Jet keeps the day negative and the time positive.
  return days >= 0 ? double(days) + frac : double(days) - frac;
}

std::string decimalText(Currency c) {
  const uint64_t a = c.units < 0 ? 0 - uint64_t(c.units) : uint64_t(c.units);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", c.units < 0 ? "-" : "", (unsigned long long)(a / 10000),
                (unsigned long long)(a % 10000));
  return buf;
}

std::string isoText(const DateTime& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
  return buf;
}

// ---------------------------------------------------------------- Table

Table::Table(Database& db, std::string name, std::vector<Column> columns, uint32_t tdefPage, bool system)
    : db_(db), name_(std::move(name)), columns_(std::move(columns)), tdefPage_(tdefPage), system_(system) {
  if (columns_.empty() || columns_.size() > 255) throw Error("table " + name_ + ": 1 à 255 colonnes / 1 tot 255 kolommen");
  for (size_t i = 0; i < columns_.size(); ++i) {
    const Column& c = columns_[i];
    if (c.type == Type::Text && (c.size < 1 || c.size > 255))
      throw Error("table " + name_ + ", colonne " + c.name + ": taille de texte 1 à 255 / tekstlengte 1 tot 255");
    for (size_t j = 0; j < i; ++j) {
      if (folded(c.name) == folded(columns_[j].name)) throw Error("table " + name_ + ": colonne en double " + c.name + " / dubbele kolom");
    }
    if (isVariable(c.type)) {
      fixedOffset_.push_back(-1);
      varIndex_.push_back(varCount_++);
    } else {
      fixedOffset_.push_back(fixedSize_);
      varIndex_.push_back(-1);
      fixedSize_ += fixedSize(c.type);
    }
  }
}

std::vector<uint8_t> Table::encodeRow(const std::vector<Value>& row) {
  const size_t n = columns_.size();
  if (row.size() != n) throw Error("table " + name_ + ": nombre de valeurs incorrect / verkeerd aantal waarden");
  std::vector<uint8_t> out(2 + fixedSize_, 0);
  put16(&out[0], uint32_t(n));
  std::vector<uint8_t> mask((n + 7) / 8, 0);
  std::vector<uint32_t> varStart(varCount_ + 1, 0);

  // Variable columns are stored in their own order after the fixed area.
  std::vector<int> varColumn(varCount_);
  for (size_t i = 0; i < n; ++i)
    if (varIndex_[i] >= 0) varColumn[varIndex_[i]] = int(i);

  auto setPresent = [&](size_t i) { mask[i / 8] |= uint8_t(1u << (i % 8)); };
  for (size_t i = 0; i < n; ++i) {
    const Column& c = columns_[i];
    const Value& v = row[i];
    if (std::holds_alternative<std::monostate>(v) || isVariable(c.type)) continue;
    uint8_t* p = out.data() + 2 + fixedOffset_[i];
    switch (c.type) {
      case Type::Boolean: {
        auto b = std::get_if<bool>(&v);
        if (!b) badValue(name_, c, "Booléen attendu");
        if (*b) setPresent(i);
        continue;
      }
      case Type::Byte:
      case Type::Integer:
      case Type::Long: {
        auto x = std::get_if<int64_t>(&v);
        if (!x) badValue(name_, c, "nombre entier attendu");
        int64_t lo = c.type == Type::Byte ? 0 : c.type == Type::Integer ? -32768 : INT32_MIN;
        int64_t hi = c.type == Type::Byte ? 255 : c.type == Type::Integer ? 32767 : INT32_MAX;
        if (*x < lo || *x > hi) badValue(name_, c, "hors limites");
        if (c.type == Type::Byte) p[0] = uint8_t(*x);
        else if (c.type == Type::Integer) put16(p, uint32_t(*x) & 0xFFFF);
        else put32(p, uint32_t(*x));
        break;
      }
      case Type::Currency: {
        auto x = std::get_if<Currency>(&v);
        if (!x) badValue(name_, c, "montant attendu");
        put64(p, uint64_t(x->units));
        break;
      }
      case Type::Double: {
        auto x = std::get_if<double>(&v);
        if (!x) badValue(name_, c, "nombre réel attendu");
        uint64_t bits;
        std::memcpy(&bits, x, 8);
        put64(p, bits);
        break;
      }
      case Type::DateTime: {
        auto x = std::get_if<DateTime>(&v);
        if (!x) badValue(name_, c, "date attendue");
        double d = toJetDate(*x);
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        put64(p, bits);
        break;
      }
      default: break;
    }
    setPresent(i);
  }

  for (int k = 0; k < varCount_; ++k) {
    const int i = varColumn[k];
    const Column& c = columns_[i];
    const Value& v = row[i];
    varStart[k] = uint32_t(out.size());
    if (std::holds_alternative<std::monostate>(v)) continue;
    auto s = std::get_if<std::string>(&v);
    if (!s) badValue(name_, c, "texte attendu");
    std::u16string u = utf16(*s);
    std::vector<uint8_t> bytes = encodeText(u);
    if (c.type == Type::Text) {
      if (int(u.size()) > c.size) badValue(name_, c, "texte trop long");
      out.insert(out.end(), bytes.begin(), bytes.end());
    } else if (int(bytes.size()) <= kInlineMemoMax) {
      std::vector<uint8_t> h(12, 0);
      put32(&h[0], uint32_t(bytes.size()) | 0x80000000u);
      out.insert(out.end(), h.begin(), h.end());
      out.insert(out.end(), bytes.begin(), bytes.end());
    } else {
      if (bytes.size() >= 0x40000000u) badValue(name_, c, "mémo trop long");
      std::vector<uint8_t> h(12, 0);
      put32(&h[0], uint32_t(bytes.size()));
      put32(&h[4], db_.writeLongValue(bytes));
      out.insert(out.end(), h.begin(), h.end());
    }
    setPresent(i);
  }
  if (varCount_ > 0) {
    varStart[varCount_] = uint32_t(out.size());  // end of the variable data
    for (int k = varCount_; k >= 0; --k) append16(out, varStart[k]);
    append16(out, uint32_t(varCount_));
  }
  out.insert(out.end(), mask.begin(), mask.end());
  return out;
}

void Table::addRow(const std::vector<Value>& row) {
  std::vector<uint8_t> bytes = encodeRow(row);
  if (int(bytes.size()) > kPage - kDataHeader - 2)
    throw Error("table " + name_ + ": ligne trop longue pour une page / rij te lang voor een pagina");
  if (int(pageRows_.size()) >= kMaxRowsPerPage ||
      kDataHeader + 2 * int(pageRows_.size() + 1) + pageBytes_ + int(bytes.size()) > kPage)
    flushPage();
  pageBytes_ += int(bytes.size());
  pageRows_.push_back(std::move(bytes));
  ++rows_;
}

void Table::flushPage() {
  if (pageRows_.empty()) return;
  uint32_t page = db_.allocatePage();
  db_.writePage(page, buildDataPage(tdefPage_, pageRows_).data());
  dataPages_.push_back(page);
  pageRows_.clear();
  pageBytes_ = 0;
}

// ---------------------------------------------------------------- Database

Database::Database(const std::string& path, int inlineMapBytes) : path_(path), inlineMapBytes_(inlineMapBytes) {
  out_.open(path, std::ios::binary | std::ios::trunc | std::ios::out);
  if (!out_) throw Error("impossible de créer " + path + " / kan " + path + " niet aanmaken");
}

Database::~Database() {
  if (!closed_) {
    try { close(); } catch (...) {}
  }
}

Table& Database::addTable(const std::string& name, std::vector<Column> columns) {
  if (closed_) throw Error("base déjà fermée / databank al gesloten");
  for (auto& t : tables_) {
    if (folded(t->name()) == folded(name)) throw Error("table en double / dubbele tabel: " + name);
  }
  tables_.push_back(std::unique_ptr<Table>(new Table(*this, name, std::move(columns), allocatePage(), false)));
  return *tables_.back();
}

void Database::writePage(uint32_t page, const uint8_t* data) {
  out_.seekp(std::streamoff(page) * kPage);
  out_.write(reinterpret_cast<const char*>(data), kPage);
  if (!out_) throw Error("écriture impossible dans " + path_ + " / schrijven mislukt in " + path_);
}

uint32_t Database::writeLongValue(const std::vector<uint8_t>& bytes) {
  constexpr size_t chunk = kPage - kDataHeader - 2 - 4;
  const size_t count = (bytes.size() + chunk - 1) / chunk;
  const uint32_t first = nextPage_;
  nextPage_ += uint32_t(count);
  for (size_t k = 0; k < count; ++k) {
    std::vector<uint8_t> row(4, 0);
    if (k + 1 < count) put32(row.data(), (first + uint32_t(k) + 1) << 8);  // next page, row 0
    size_t from = k * chunk, to = std::min(bytes.size(), from + chunk);
    row.insert(row.end(), bytes.begin() + from, bytes.begin() + to);
    writePage(first + uint32_t(k), buildDataPage(0, {row}, true).data());
  }
  return first << 8;
}

void Database::writeTableDefinition(const Table& t, uint32_t usedMap, uint32_t freeMap) {
  std::vector<uint8_t> b(63, 0);
  b[0] = 0x02;
  b[1] = 0x01;
  put32(&b[16], uint32_t(t.rows_));
  b[40] = t.system_ ? 0x53 : 0x4E;
  put16(&b[41], uint32_t(t.columns_.size()));
  put16(&b[43], uint32_t(t.varCount_));
  put16(&b[45], uint32_t(t.columns_.size()));
  put32(&b[55], usedMap);
  put32(&b[59], freeMap);
  for (size_t i = 0; i < t.columns_.size(); ++i) {
    const Column& c = t.columns_[i];
    uint8_t e[25] = {};
    e[0] = typeCode(c.type);
    put16(e + 5, uint32_t(i));
    put16(e + 7, uint32_t(std::max(0, t.varIndex_[i])));
    put16(e + 9, uint32_t(i));
    if (isVariable(c.type)) {
      put16(e + 11, 0x0409);  // general sort order
      e[15] = 0x02;           // may be null
      e[16] = 0x01;           // compressed Unicode allowed
    } else {
      e[15] = 0x03;  // fixed length, may be null
      put16(e + 21, uint32_t(t.fixedOffset_[i]));
    }
    uint32_t len = c.type == Type::Text ? uint32_t(c.size * 2) : c.type == Type::Boolean ? 1u : uint32_t(fixedSize(c.type));
    put16(e + 23, len);
    b.insert(b.end(), e, e + 25);
  }
  for (const Column& c : t.columns_) {
    std::vector<uint8_t> nm = plainUcs2(c.name);
    append16(b, uint32_t(nm.size()));
    b.insert(b.end(), nm.begin(), nm.end());
  }
  append16(b, 0xFFFF);
  if (b.size() > size_t(kPage)) throw Error("définition de table trop longue / tabeldefinitie te lang: " + t.name_);
  put32(&b[8], uint32_t(b.size()));
  put16(&b[2], uint32_t(kPage - b.size() - 8));
  b.resize(kPage, 0);
  writePage(t.tdefPage_, b.data());
}

void Database::close() {
  if (closed_) return;
  closed_ = true;

  // The catalog lists every table, itself included, by definition page.
  Table catalog(*this, "MSysObjects",
                {{"Id", Type::Long}, {"ParentId", Type::Long}, {"Name", Type::Text, 128}, {"Type", Type::Integer},
                 {"DateCreate", Type::DateTime}, {"DateUpdate", Type::DateTime}, {"Flags", Type::Long},
                 {"LvProp", Type::Memo}},
                2, true);
  const DateTime created{2000, 1, 1, 0, 0, 0};
  constexpr int64_t kTablesFolder = 0x0F000001;
  constexpr int64_t kSystemFlags = int64_t(0x80000002u) - (int64_t(1) << 32);  // as a signed Long
  catalog.addRow({int64_t(2), kTablesFolder, std::string("MSysObjects"), int64_t(1), created, created, kSystemFlags,
                  std::monostate{}});
  for (auto& t : tables_) {
    t->flushPage();
    catalog.addRow({int64_t(t->tdefPage_), kTablesFolder, t->name_, int64_t(1), created, created, int64_t(0),
                    std::monostate{}});
  }
  catalog.flushPage();

  // Usage maps, stored as rows on pages of their own.
  auto placeRows = [&](std::vector<std::vector<uint8_t>>& rows) {
    // Packs rows onto as few pages as fit and returns their pointers.
    std::vector<uint32_t> ptrs;
    std::vector<std::vector<uint8_t>> onPage;
    int used = 0;
    auto flush = [&] {
      if (onPage.empty()) return;
      uint32_t page = allocatePage();
      writePage(page, buildDataPage(0, onPage).data());
      for (size_t k = 0; k < onPage.size(); ++k) ptrs.push_back((page << 8) | uint32_t(k));
      onPage.clear();
      used = 0;
    };
    for (auto& r : rows) {
      if (int(onPage.size()) >= kMaxRowsPerPage || kDataHeader + 2 * int(onPage.size() + 1) + used + int(r.size()) > kPage)
        flush();
      used += int(r.size());
      onPage.push_back(r);
    }
    flush();
    return ptrs;
  };
  auto usageMap = [&](const std::vector<uint32_t>& pages) {
    std::vector<uint8_t> m;
    if (pages.empty()) {
      m.assign(5, 0);
      return m;
    }
    const uint32_t first = pages.front(), last = pages.back();
    if ((last - first) / 8 + 1 <= uint32_t(inlineMapBytes_)) {
      m.assign(5 + (last - first) / 8 + 1, 0);
      put32(&m[1], first);
      for (uint32_t p : pages) m[5 + (p - first) / 8] |= uint8_t(1u << ((p - first) % 8));
      return m;
    }
    // Large tables: the map lists bitmap pages, each covering a fixed range.
    const uint32_t count = last / kPagesPerMapPage + 1;
    m.assign(1 + 4 * count, 0);
    m[0] = 0x01;
    size_t k = 0;
    for (uint32_t slot = 0; slot < count; ++slot) {
      std::vector<uint8_t> bitmap(kPage, 0);
      bitmap[0] = 0x05;
      bitmap[1] = 0x01;
      bool any = false;
      for (; k < pages.size() && pages[k] / kPagesPerMapPage == slot; ++k) {
        uint32_t bit = pages[k] % kPagesPerMapPage;
        bitmap[4 + bit / 8] |= uint8_t(1u << (bit % 8));
        any = true;
      }
      if (!any) continue;
      uint32_t page = allocatePage();
      writePage(page, bitmap.data());
      put32(&m[1 + 4 * slot], page);
    }
    return m;
  };

  std::vector<const Table*> all{&catalog};
  for (auto& t : tables_) all.push_back(t.get());
  std::vector<std::vector<uint8_t>> rows;
  for (const Table* t : all) {
    rows.push_back(usageMap(t->dataPages_));
    rows.push_back(std::vector<uint8_t>(5, 0));  // no page has room to spare: the files are written once
  }
  std::vector<uint32_t> ptrs = placeRows(rows);
  for (size_t i = 0; i < all.size(); ++i) writeTableDefinition(*all[i], ptrs[2 * i], ptrs[2 * i + 1]);

  // Page 1: the global usage map, for as many pages as a row can describe.
  {
    const uint32_t covered = std::min<uint32_t>(nextPage_, kGlobalMapMax * 8);
    std::vector<uint8_t> map(5 + (covered + 7) / 8, 0);
    for (uint32_t p = 0; p < covered; ++p) map[5 + p / 8] |= uint8_t(1u << (p % 8));
    writePage(1, buildDataPage(0, {map}).data());
  }

  // Page 0: the header, its middle part masked with RC4 as Jet expects.
  {
    std::vector<uint8_t> h(kPage, 0);
    h[0] = 0x00;
    h[1] = 0x01;
    std::memcpy(&h[4], "Standard Jet DB", 15);
    h[0x14] = 0x01;            // Jet 4
    put16(&h[0x3C], 1252);     // code page
    put32(&h[0x3E], 0);        // database key 0: data pages are not masked
    put16(&h[0x6E], 0x0409);   // general sort order
    double when = toJetDate(created);
    uint64_t bits;
    std::memcpy(&bits, &when, 8);
    put64(&h[0x72], bits);
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    base::rc4(key, 4, &h[0x18], 128);
    writePage(0, h.data());
  }
  out_.close();
  if (!out_) throw Error("écriture impossible dans " + path_ + " / schrijven mislukt in " + path_);
}

}  // namespace jet4
