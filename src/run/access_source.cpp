#include "run/access_source.h"

#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <unordered_map>

#include "base/number_text.h"
#include "base/text.h"
#include "run/access_dialect.h"
#include "run/cursor_row_set.h"
#include "run/date_text.h"
#include "run/mdb_reader.h"
#include "run/sqlite_functions.h"
#include "store/file_operations.h"

namespace run {
using namespace base;
namespace {

std::string quotedName(const std::string& s) {
  std::string r = "\"";
  for (char c : s) {
    r += c;
    if (c == '"') r += '"';
  }
  return r + "\"";
}

// The declared column type names carry what the query results need to give
// values their kind back (SQLite keeps only its storage classes).
std::string declaredType(const mdb::Column& c) {
  switch (c.type) {
    case mdb::ColumnType::Boolean: return "BOOLEAN INTEGER";
    case mdb::ColumnType::Integer: return "INTEGER";
    case mdb::ColumnType::Double: return "DOUBLE";
    case mdb::ColumnType::Currency: return "CURRENCY REAL";
    case mdb::ColumnType::Decimal: return "DECIMAL" + std::to_string(c.scale) + " REAL";
    case mdb::ColumnType::DateTime: return "DATETIME TEXT";
    case mdb::ColumnType::Text: return "TEXT COLLATE NOCASE";  // Access compares text without case
    case mdb::ColumnType::Memo: return "MEMO TEXT COLLATE NOCASE";
    case mdb::ColumnType::Guid: return "GUID TEXT";
    case mdb::ColumnType::Binary: return "BLOB";
  }
  return "TEXT";
}

bool startsWith(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix)
    if (std::toupper(static_cast<unsigned char>(*s)) != *prefix) return false;
  return true;
}

// Decimal text of a number: with the column's scale when it has one, else
// its first 15 significant digits, which drops the binary noise of a sum
// ("0.30000000000000004" -> "0.3").
std::string decimalText(double d, int scale) {
  // Most values are amounts of a few decimals: their digits come straight
  // from the scaled whole number, unless the value lies so close to half a
  // unit of the last decimal that only the exact conversion can round it.
  static const double kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  if (scale >= 0 && scale <= 6 && std::fabs(d) < 1e12) {
    const double scaled = d * kPowers[scale];
    const double whole = std::nearbyint(scaled);
    if (std::fabs(scaled - whole) < 0.25) {
      const long long n = static_cast<long long>(whole);
      std::string digits = std::to_string(n < 0 ? -n : n);
      if (scale > 0) {
        if (digits.size() <= static_cast<size_t>(scale)) digits.insert(0, scale + 1 - digits.size(), '0');
        digits.insert(digits.size() - scale, 1, '.');
      }
      // "%.*f" keeps the sign of a negative value that rounds to zero.
      return (n < 0 || (n == 0 && std::signbit(d))) ? "-" + digits : digits;
    }
  }
  return scale >= 0 ? base::fixedText(d, scale) : base::generalText(d, 15);
}

Value decimalValue(double d, int scale) {
  Value v;
  v.kind = Value::Kind::Decimal;
  v.text = decimalText(d, scale);
  v.number = base::readNumber(v.text);
  return v;
}

Value dateValue(const char* s) {
  Value v;
  DateTime& d = v.date;
  int f[6] = {};
  if (s && base::scanInts(s, "-- ::", f) >= 3) {
    d = {f[0], f[1], f[2], f[3], f[4], f[5]};
    v.kind = Value::Kind::DateTime;
  } else if (s) {
    v = Value::ofText(s);
  }
  return v;
}

// What a declared column type says about its values; scale for decimals.
struct ColumnKind {
  enum { Plain, Boolean, Date, Scaled, Double } kind = Plain;
  int scale = -1;
};

static ColumnKind kindOf(const char* decl) {
  if (startsWith(decl, "BOOLEAN")) return {ColumnKind::Boolean};
  if (startsWith(decl, "DATETIME")) return {ColumnKind::Date};
  if (startsWith(decl, "CURRENCY")) return {ColumnKind::Scaled, 4};
  if (startsWith(decl, "DECIMAL")) return {ColumnKind::Scaled, std::atoi(decl + 7)};
  if (startsWith(decl, "DOUBLE")) return {ColumnKind::Double};
  return {};
}

// Column names and value kinds of a prepared statement, worked out once.
struct Shape {
  std::vector<std::string> columns;
  std::vector<ColumnKind> kinds;
};

// The engine's connection and the prepared statements no row set is using,
// by text: the per-document queries differ only in their literals, which
// become parameters, so each shape is prepared once.
struct Database {
  sqlite3* db = nullptr;
  std::unordered_map<std::string, std::vector<sqlite3_stmt*>> idle;
  std::unordered_map<sqlite3_stmt*, std::shared_ptr<Shape>> shapes;
  size_t idleCount = 0;
  static constexpr size_t kIdleLimit = 256;

  sqlite3_stmt* take(const std::string& text) {
    auto it = idle.find(text);
    if (it == idle.end() || it->second.empty()) return nullptr;
    sqlite3_stmt* st = it->second.back();
    it->second.pop_back();
    --idleCount;
    return st;
  }
  void giveBack(const std::string& text, sqlite3_stmt* st) {
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (idleCount >= kIdleLimit) {
      shapes.erase(st);
      sqlite3_finalize(st);
      return;
    }
    idle[text].push_back(st);
    ++idleCount;
  }
  ~Database() {
    for (auto& [text, list] : idle)
      for (sqlite3_stmt* st : list) sqlite3_finalize(st);
    if (db) sqlite3_close_v2(db);
  }
};

class SqliteCursor : public Cursor {
 public:
  SqliteCursor(std::shared_ptr<Database> db, sqlite3_stmt* stmt, std::string key)
      : db_(std::move(db)), stmt_(stmt), key_(std::move(key)) {
    auto& shape = db_->shapes[stmt_];
    if (!shape) {
      shape = std::make_shared<Shape>();
      int n = sqlite3_column_count(stmt_);
      for (int i = 0; i < n; ++i) {
        shape->columns.emplace_back(sqlite3_column_name(stmt_, i));
        const char* decl = sqlite3_column_decltype(stmt_, i);
        shape->kinds.push_back(kindOf(decl ? decl : ""));
      }
    }
    shape_ = shape;
  }
  ~SqliteCursor() override { db_->giveBack(key_, stmt_); }
  const std::vector<std::string>& columns() const override { return shape_->columns; }

  bool next() override {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_DONE) return false;
    if (rc != SQLITE_ROW)
      throw SourceError("Erreur de lecture : " + std::string(sqlite3_errmsg(db_->db)),
                        "Leesfout: " + std::string(sqlite3_errmsg(db_->db)));
    return true;
  }

  void restart() override { sqlite3_reset(stmt_); }

  Value value(size_t column) const override {
    const int i = static_cast<int>(column);
    int type = sqlite3_column_type(stmt_, i);
    if (type == SQLITE_NULL) return {};
    const ColumnKind& k = shape_->kinds[static_cast<size_t>(i)];
    switch (k.kind) {
      case ColumnKind::Boolean: {
        Value v;
        v.kind = Value::Kind::Boolean;
        v.integer = sqlite3_column_int64(stmt_, i) != 0;
        return v;
      }
      case ColumnKind::Date: return dateValue(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i)));
      case ColumnKind::Scaled:
      case ColumnKind::Double: return decimalValue(sqlite3_column_double(stmt_, i), k.scale);
      case ColumnKind::Plain: break;
    }
    switch (type) {
      case SQLITE_INTEGER: return Value::ofInt(sqlite3_column_int64(stmt_, i));
      case SQLITE_FLOAT: return decimalValue(sqlite3_column_double(stmt_, i), -1);
      default: {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_blob(stmt_, i));
        return Value::ofText(std::string(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, i))));
      }
    }
  }


 private:
  std::shared_ptr<Database> db_;
  sqlite3_stmt* stmt_;
  std::string key_;
  std::shared_ptr<const Shape> shape_;
};

class AccessSource : public Source {
 public:
  AccessSource(const std::string& path, const AccessOptions& options) : file_(path), db_(std::make_shared<Database>()) {
    // SQLite counts every allocation under one process-wide lock unless told
    // not to before its first use; nothing here reads those counts, and the
    // lock was a twentieth of loading a book year.
    static std::once_flag noMemoryStatistics;
    std::call_once(noMemoryStatistics, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
    const bool large = static_cast<long long>(file_.pages()) * 4096 > options.memoryLimitBytes;
    // An empty file name gives SQLite a private temporary file, deleted on
    // close. A source is read by one thread at a time (each pass of a run has
    // its own), so the connection takes no lock on every value read.
    if (sqlite3_open_v2(large ? "" : ":memory:", &db_->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
      throw SourceError("Impossible de préparer la lecture de " + path, "Onmogelijk om " + path + " voor te bereiden");
    // Sorts larger than the engine's small cache spill to temporary files
    // (deleted as they are opened), not to memory: a book year's document
    // streams are sorted whole, five at a time, and held in memory they were
    // the largest part of an import's peak; written out, the operating system
    // keeps them in its cache as long as it has room, and the import is no
    // slower for it.
    exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; PRAGMA temp_store=FILE;");
    if (large) exec("PRAGMA cache_size=-262144;");
    registerAccessFunctions(db_->db);
    for (const auto& name : file_.tableNames()) tables_[lowerCase(name)] = Table{name, false};
  }

  std::unique_ptr<RowSet> query(const std::string& sql, const std::vector<Value>& params) override {
    ParameterizedSql p = parameterizeLiterals(translateAccessSql(sql));
    // A statement seen before had its tables loaded when it was first prepared.
    sqlite3_stmt* stmt = db_->take(p.text);
    if (!stmt) {
      for (const auto& name : mentionedNames(p.text)) {
        auto it = tables_.find(lowerCase(name));
        if (it != tables_.end()) load(it->second);
      }
      stmt = prepare(p.text, sql);
    }
    size_t next = 0;
    for (size_t i = 0; i < p.slots.size(); ++i) {
      const int at = static_cast<int>(i) + 1;
      if (p.slots[i] < 0) {
        if (next < params.size()) bind(stmt, at, params[next]);
        ++next;
        continue;
      }
      const auto& lit = p.literals[static_cast<size_t>(p.slots[i])];
      if (lit.isText) sqlite3_bind_text(stmt, at, lit.text.data(), static_cast<int>(lit.text.size()), SQLITE_TRANSIENT);
      else if (lit.isInteger) sqlite3_bind_int64(stmt, at, std::strtoll(lit.text.c_str(), nullptr, 10));
      else sqlite3_bind_double(stmt, at, base::readNumber(lit.text));
    }
    return std::make_unique<CursorRowSet>(std::make_unique<SqliteCursor>(db_, stmt, std::move(p.text)));
  }

  std::unique_ptr<RowSet> openTable(const std::string& name) override {
    auto it = tables_.find(lowerCase(name));
    if (it == tables_.end())
      throw SourceError("La table " + name + " n'existe pas dans " + file_.path(),
                        "De tabel " + name + " bestaat niet in " + file_.path());
    load(it->second);
    std::string text = "SELECT * FROM " + quotedName(it->second.name) + " ORDER BY rowid";
    sqlite3_stmt* stmt = db_->take(text);
    if (!stmt) stmt = prepare(text, name);
    return std::make_unique<CursorRowSet>(std::make_unique<SqliteCursor>(db_, stmt, std::move(text)));
  }

  bool hasTable(const std::string& name) override { return tables_.count(lowerCase(name)) != 0; }
  std::vector<std::string> tableNames() override { return file_.tableNames(); }

 private:
  struct Table {
    std::string name;
    bool loaded;
  };

  void exec(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_->db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : "?";
      sqlite3_free(err);
      throw SourceError("Erreur de la base de travail : " + msg, "Fout in de werkdatabank: " + msg);
    }
  }

  sqlite3_stmt* prepare(const std::string& text, const std::string& shown) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_->db, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      std::string msg = sqlite3_errmsg(db_->db);
      sqlite3_finalize(stmt);
      throw SourceError("Requête refusée (" + msg + ") : " + shown, "Query geweigerd (" + msg + "): " + shown);
    }
    return stmt;
  }

  static void bind(sqlite3_stmt* stmt, int at, const Value& v) {
    switch (v.kind) {
      case Value::Kind::Null: sqlite3_bind_null(stmt, at); break;
      case Value::Kind::Text: sqlite3_bind_text(stmt, at, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT); break;
      case Value::Kind::Integer:
      case Value::Kind::Boolean: sqlite3_bind_int64(stmt, at, v.integer); break;
      case Value::Kind::Decimal: sqlite3_bind_double(stmt, at, v.number); break;
      case Value::Kind::DateTime: {
        const std::string text = isoText(v.date);
        sqlite3_bind_text(stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
      }
    }
  }

  // Copies one table into the engine, in stored order, then indexes the
  // columns the per-document queries look rows up by.
  void load(Table& t) {
    if (t.loaded) return;
    auto reader = file_.open(t.name);
    const auto& cols = reader->columns();
    std::string create = "CREATE TABLE " + quotedName(t.name) + " (";
    std::string insert = "INSERT INTO " + quotedName(t.name) + " VALUES (";
    for (size_t i = 0; i < cols.size(); ++i) {
      create += (i ? ", " : "") + quotedName(cols[i].name) + " " + declaredType(cols[i]);
      insert += i ? ",?" : "?";
    }
    // A table that fails half-way (a damaged row) leaves nothing behind, so
    // the other tables still load and a retry meets the same damage again.
    // Without a journal a rollback undoes nothing: the copy is dropped.
    exec("BEGIN");
    try {
      exec(create + ")");
      copyRows(*reader, insert + ")");
      indexForLookups(t.name, cols);
    } catch (...) {
      if (!sqlite3_get_autocommit(db_->db)) exec("COMMIT");
      exec("DROP TABLE IF EXISTS " + quotedName(t.name));
      throw;
    }
    exec("COMMIT");
    t.loaded = true;
  }

  void copyRows(mdb::TableReader& reader, const std::string& insert) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_->db, insert.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
      throw SourceError("Erreur de la base de travail : " + std::string(sqlite3_errmsg(db_->db)),
                        "Fout in de werkdatabank: " + std::string(sqlite3_errmsg(db_->db)));
    struct Finalize {
      sqlite3_stmt* st;
      ~Finalize() { sqlite3_finalize(st); }
    } finalize{stmt};
    while (reader.next()) {
      const auto& cells = reader.cells();
      for (size_t i = 0; i < cells.size(); ++i) {
        const mdb::Cell& c = cells[i];
        int at = static_cast<int>(i) + 1;
        switch (c.kind) {
          case mdb::Cell::Kind::Null: sqlite3_bind_null(stmt, at); break;
          case mdb::Cell::Kind::Integer: sqlite3_bind_int64(stmt, at, c.integer); break;
          case mdb::Cell::Kind::Real: sqlite3_bind_double(stmt, at, c.real); break;
          case mdb::Cell::Kind::Text: sqlite3_bind_text(stmt, at, c.text.data(), static_cast<int>(c.text.size()), SQLITE_STATIC); break;
          case mdb::Cell::Kind::Blob: sqlite3_bind_blob(stmt, at, c.text.data(), static_cast<int>(c.text.size()), SQLITE_STATIC); break;
        }
      }
      if (sqlite3_step(stmt) != SQLITE_DONE)
        throw SourceError("Erreur de la base de travail : " + std::string(sqlite3_errmsg(db_->db)),
                        "Fout in de werkdatabank: " + std::string(sqlite3_errmsg(db_->db)));
      sqlite3_reset(stmt);
    }
  }

  void indexForLookups(const std::string& table, const std::vector<mdb::Column>& cols) {
    auto has = [&](const char* name) {
      for (const auto& c : cols)
        if (equalsIgnoringCase(c.name, name)) return true;
      return false;
    };
    const std::string q = quotedName(table);
    int n = 0;
    auto index = [&](const std::string& columns) {
      exec("CREATE INDEX " + quotedName(table + "_m2k" + std::to_string(++n)) + " ON " + q + " (" + columns + ")");
    };
    // Entry lines are found per document (the index also gives each
    // document its first line without reading the table); their matching
    // rows by line id;
    // VAT codes and the like by code from a small lookup table.
    if (has("JrnlID") && has("Doc")) {
      index("JrnlID, Doc, RecordID");
    } else {
      if (has("RecordID")) index("RecordID");
      if (has("VATCode")) index("VATCode");
    }
    if (has("HistoRecordID")) index("HistoRecordID");
  }

  mdb::File file_;
  std::shared_ptr<Database> db_;
  std::map<std::string, Table> tables_;
};

}  // namespace

std::unique_ptr<Source> openAccessSource(const std::string& path, const AccessOptions& options) {
  std::string native = store::nativePath(path).string();
  return std::make_unique<AccessSource>(native, options);
}

}  // namespace run
