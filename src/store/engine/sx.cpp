// The flat sx_ interface over store::Table: a set of work areas, a current
// area, the last error and the date settings, one of each per thread, so
// that the book years of an import convert side by side on threads of their
// own, each with its tables, as a process of its own would.
#include "store/engine/sx.h"

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "base/name_cache.h"
#include "base/text.h"
#include "store/engine/cdx_file.h"
#include "store/engine/path_case.h"
#include "store/engine/table.h"

namespace store {
namespace {

struct Area {
  std::unique_ptr<Table> table;
  std::string alias;
  int order = 0;  // 0 record order, else tag index + 1
  bool found = false;
  bool eof = true;
  bool indexesClosed = false;
  base::NameCache fields;  // steps name the same fields record after record
};

struct PendingCreate {
  bool active = false;
  std::string file, alias;
  TableLayout layout;
};

struct State {
  std::map<int16_t, Area> areas;
  int16_t current = 0;
  base::Bilingual lastError;
  std::optional<WriteFailure> writeFailure;  // the first since it was last taken
  int dateFormat = 3;
  bool century = true;
  int epoch = 1960;
  PendingCreate create;
};

State& S() {
  thread_local State s;
  return s;
}

Area* cur() {
  auto it = S().areas.find(S().current);
  if (it == S().areas.end()) {
    S().lastError = base::Bilingual("aucune table choisie", "geen tabel gekozen");
    return nullptr;
  }
  return &it->second;
}

void fail(const base::Bilingual& why) { S().lastError = why; }
void fail(const std::string& fr, const std::string& nl) { fail(base::Bilingual(fr, nl)); }

// A table whose changes did not reach the disk: kept until the run asks.
void failedWrite(const Table& table, const base::Bilingual& why) {
  fail(why);
  if (!S().writeFailure) S().writeFailure = WriteFailure{table.path().string(), why};
}

int16_t freeArea() {
  int16_t n = 1;
  while (S().areas.count(n)) ++n;
  return n;
}

int fieldOf(Area& a, std::string_view name) {
  const Table& t = *a.table;
  int f = a.fields.find(name, [&t](std::string_view n) { return t.fieldIndex(n); });
  if (f < 0) {
    const std::string table = t.path().string(), field(name);
    fail("champ inconnu " + field + " dans " + table, "onbekend veld " + field + " in " + table);
  }
  return f;
}

// "dd/mm/yyyy" (or "mm/dd/yyyy" under format 0); two-digit years follow the epoch.
int32_t parseDateText(const std::string& text) {
  int a = 0, b = 0, y = 0;
  if (!splitDateText(text, a, b, y)) return 0;
  int d = a, m = b;
  if (S().dateFormat == 0) std::swap(d, m);
  if (y < 100) {
    int century = S().epoch / 100 * 100;
    y += (y >= S().epoch % 100) ? century : century + 100;
  }
  return validDate(y, m, d) ? julianDay(y, m, d) : 0;
}

std::string formatDateText(int32_t jd) {
  int width = S().century ? 10 : 8;
  if (!jd) return std::string(width, ' ');
  int y, m, d;
  civilDate(jd, y, m, d);
  if (S().dateFormat == 0) std::swap(d, m);
  char buf[32];
  if (S().century)
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, m, y);
  else
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d, m, y % 100);
  return buf;
}

void positionAt(Area& a, uint32_t recno) {
  a.eof = recno == 0 || !a.table->go(recno);
}

int16_t openArea(std::unique_ptr<Table> t, const std::string& alias) {
  int16_t n = freeArea();
  Area& a = S().areas[n];
  a.table = std::move(t);
  a.alias = alias;
  positionAt(a, a.table->recordCount() ? 1 : 0);
  S().current = n;
  return n;
}

}  // namespace

void sx_SetDateFormat(int format) { S().dateFormat = format; }
void sx_SetCentury(int on) { S().century = on != 0; }
void sx_SetEpoch(int year) { S().epoch = year; }

static int16_t useTable(const std::string& file, const std::string& alias, Table::OpenMode mode) {
  base::Bilingual error;
  auto t = Table::open(file, error, mode);
  if (!t) {
    fail(error);
    return 0;
  }
  return openArea(std::move(t), alias);
}

int16_t sx_Use(const std::string& file, const std::string& alias, int, int) {
  return useTable(file, alias, Table::OpenMode::Update);
}

int16_t sx_UseScratch(const std::string& file, const std::string& alias) {
  return useTable(file, alias, Table::OpenMode::Scratch);
}

void sx_Select(int16_t area) {
  if (S().areas.count(area))
    S().current = area;
  else
    fail("pas de zone de travail " + std::to_string(area), "geen werkgebied " + std::to_string(area));
}

static void closeArea(int16_t n) {
  auto it = S().areas.find(n);
  if (it == S().areas.end()) return;
  base::Bilingual error;
  if (!it->second.table->close(error)) failedWrite(*it->second.table, error);
  S().areas.erase(it);
  if (S().current == n) S().current = 0;
}

void sx_Close() { closeArea(S().current); }

void sx_CloseAll() {
  while (!S().areas.empty()) closeArea(S().areas.begin()->first);
  S().current = 0;
}

void sx_CloseIndexes() {
  if (Area* a = cur()) {
    a->order = 0;
    a->indexesClosed = true;
  }
}

void sx_GoTop() {
  Area* a = cur();
  if (!a) return;
  uint32_t r = a->order ? a->table->firstInOrder(a->order - 1) : (a->table->recordCount() ? 1 : 0);
  positionAt(*a, r);
}

void sx_Skip(int count) {
  Area* a = cur();
  if (!a || a->eof) return;
  uint32_t r = a->table->recno();
  if (!a->order) {
    int64_t to = int64_t(r) + count;
    positionAt(*a, to < 1 ? (count < 0 && a->table->recordCount() ? 1 : 0) : uint32_t(to));
    return;
  }
  size_t tag = a->order - 1;
  for (int i = 0; i < count && r; ++i) r = a->table->nextInOrder(tag, r);
  for (int i = 0; i > count && r; --i) {
    uint32_t before = a->table->previousInOrder(tag, r);
    if (!before) break;  // stays on the first record, as xBase does at the top
    r = before;
  }
  positionAt(*a, r);
}

bool sx_Eof() {
  Area* a = cur();
  return !a || a->eof;
}

std::string sx_GetString(std::string_view field) {
  Area* a = cur();
  if (!a) return {};
  int f = fieldOf(*a, field);
  if (f < 0) return {};
  const FieldDef& fd = a->table->fields()[f];
  // Past the end reads as a blank record, as in xBase.
  if (fd.type == 'D') return formatDateText(a->eof ? 0 : a->table->date(f));
  if (a->eof) return fd.type == 'M' ? std::string() : std::string(fd.width, ' ');
  return a->table->text(f);
}

double sx_GetDouble(std::string_view field) {
  Area* a = cur();
  if (!a || a->eof) return 0;
  int f = fieldOf(*a, field);
  return f < 0 ? 0 : a->table->number(f);
}

int32_t sx_RecNo() {
  Area* a = cur();
  if (!a) return 0;
  return a->eof ? static_cast<int32_t>(a->table->recordCount() + 1) : static_cast<int32_t>(a->table->recno());
}

int32_t sx_QueryRecCount() {
  Area* a = cur();
  return a ? static_cast<int32_t>(a->table->recordCount()) : 0;
}

int16_t sx_TagArea(const std::string& tag) {
  Area* a = cur();
  if (!a || a->indexesClosed) return 0;
  return static_cast<int16_t>(a->table->tagIndex(tag) + 1);
}

void sx_SetOrder(int16_t order) {
  Area* a = cur();
  if (!a) return;
  if (order < 0 || order > static_cast<int>(a->table->tagCount()) || (order && a->indexesClosed)) {
    fail("pas d'ordre d'index " + std::to_string(order), "geen indexvolgorde " + std::to_string(order));
    return;
  }
  a->order = order;
}

bool sx_Seek(const std::string& key) {
  Area* a = cur();
  if (!a) return false;
  if (!a->order) {
    fail("recherche sans ordre d'index", "zoeken zonder indexvolgorde");
    a->found = false;
    return false;
  }
  size_t tag = a->order - 1;
  uint32_t r = a->table->seek(tag, a->table->seekKey(tag, key));
  a->found = r != 0;
  positionAt(*a, r);
  return a->found;
}

bool sx_Found() {
  Area* a = cur();
  return a && a->found;
}

int32_t sx_Locate(const std::string& condition, int direction, int continuing) {
  Area* a = cur();
  if (!a) return 0;
  base::Bilingual error;
  auto e = Expression::compile(condition, a->table->fields(), error);
  if (!e || e->type() != ValueType::Logical) {
    fail(e ? base::Bilingual("la condition n'est pas logique : ", "de voorwaarde is niet logisch: ") + condition : error);
    return 0;
  }
  Table& t = *a->table;
  auto hit = [&](uint32_t r) {
    positionAt(*a, r);
    a->found = true;
    return static_cast<int32_t>(r);
  };
  if (a->order && direction >= 0) {
    // From the top of the current order, as the records are walked.
    size_t tag = a->order - 1;
    uint32_t r = continuing && !a->eof ? t.nextInOrder(tag, t.recno()) : t.firstInOrder(tag);
    for (; r; r = t.nextInOrder(tag, r))
      if (e->evalLogical(t.record(r))) return hit(r);
  } else {
    uint32_t n = t.recordCount();
    uint32_t r;
    if (direction < 0)
      r = continuing && !a->eof ? t.recno() - 1 : n;
    else
      r = continuing && !a->eof ? t.recno() + 1 : 1;
    for (; r >= 1 && r <= n; r += direction < 0 ? -1 : 1)
      if (e->evalLogical(t.record(r))) return hit(r);
  }
  a->found = false;
  positionAt(*a, 0);
  return 0;
}

void sx_AppendBlank() {
  Area* a = cur();
  if (!a) return;
  uint32_t r = a->table->appendBlank();
  positionAt(*a, r);
}

void sx_Replace(std::string_view field, int type, const std::string& value) {
  Area* a = cur();
  if (!a || a->eof) return;
  int f = fieldOf(*a, field);
  if (f < 0) return;
  Table& t = *a->table;
  bool ok;
  if (type == SX_DATE_TEXT || (type == SX_TEXT && t.fields()[f].type == 'D')) {
    if (value.find_first_not_of(' ') == std::string::npos) {
      ok = t.setBlank(f);
    } else {
      int32_t jd = parseDateText(value);
      ok = jd ? t.setDate(f, jd) : t.setText(f, value);
    }
  } else {
    ok = t.setText(f, value);  // logical fields take "TRUE"/"True" here
  }
  if (ok) return;
  const base::Bilingual why("impossible d'enregistrer \"" + value + "\" dans " + std::string(field),
                            "kan \"" + value + "\" niet opslaan in " + std::string(field));
  // A memo text goes to its file at once: failing, it never reached the disk.
  if (t.fields()[f].type == 'M')
    failedWrite(t, why);
  else
    fail(why);
}

void sx_Replace(std::string_view field, int type, double value) {
  Area* a = cur();
  if (!a || a->eof) return;
  int f = fieldOf(*a, field);
  if (f < 0) return;
  if (type == SX_LOGICAL)
    a->table->setLogical(f, value != 0);
  else
    a->table->setNumber(f, value);
}

void sx_Replace(std::string_view field, int type, int32_t value) {
  Area* a = cur();
  if (!a || a->eof) return;
  int f = fieldOf(*a, field);
  if (f < 0) return;
  if (type == SX_LOGICAL || a->table->fields()[f].type == 'L')
    a->table->setLogical(f, value != 0);
  else
    a->table->setNumber(f, value);
}

void sx_Delete() {
  Area* a = cur();
  if (a && !a->eof) a->table->setDeleted(true);
}

bool sx_Rlock(int32_t record) {
  Area* a = cur();
  if (!a || record < 1 || static_cast<uint32_t>(record) > a->table->recordCount()) {
    fail("verrouillage de l'enregistrement " + std::to_string(record) + " impossible",
         "kan record " + std::to_string(record) + " niet vergrendelen");
    return false;
  }
  return true;  // tables are open exclusively: every record is already ours
}

void sx_Commit() {
  Area* a = cur();
  base::Bilingual error;
  if (a && !a->table->commit(error)) failedWrite(*a->table, error);
}

void sx_Unlock(int32_t) {}

bool sx_CopyFile(const std::string& targetFile) {
  Area* a = cur();
  if (!a) return false;
  Table& src = *a->table;
  uint32_t keep = src.recno();
  base::Bilingual error;
  if (!src.commit(error)) {
    fail(error);
    return false;
  }
  TableLayout layout;
  layout.fields = src.fields();
  layout.flags = 0x00;
  layout.codePage = src.codePage();
  auto dst = Table::create(targetFile, layout, error);
  if (!dst) {
    fail(error);
    return false;
  }
  const size_t nf = src.fields().size();
  for (uint32_t r = 1; r <= src.recordCount(); ++r) {
    src.go(r);
    dst->appendBlank();
    for (size_t f = 0; f < nf; ++f) {
      if (src.fields()[f].type == 'M')
        dst->setText(static_cast<int>(f), src.text(static_cast<int>(f)));
      else
        dst->setRaw(static_cast<int>(f), src.raw(static_cast<int>(f)));
    }
    if (src.deleted()) dst->setDeleted(true);
  }
  if (keep) src.go(keep);
  if (!dst->close(error)) {
    fail(error);
    return false;
  }
  return true;
}

namespace {

// Two layouts whose records are byte for byte alike: every field at the same
// place with the same type, width and decimals, and no memo field (its block
// number belongs to its own table's FPT file).
bool sameRecordLayout(const Table& a, const Table& b) {
  if (a.recordLength() != b.recordLength() || a.fields().size() != b.fields().size()) return false;
  for (size_t f = 0; f < a.fields().size(); ++f) {
    const FieldDef& x = a.fields()[f];
    const FieldDef& y = b.fields()[f];
    if (x.type == 'M' || x.type != y.type || x.offset != y.offset || x.width != y.width ||
        x.decimals != y.decimals || base::upperCase(x.name) != base::upperCase(y.name))
      return false;
  }
  return true;
}

// Appends the live records of `src` to `dst`: whole when the layouts are
// alike, else field by field by name.
void appendRecords(Table& src, Table& dst) {
  const bool whole = sameRecordLayout(src, dst);
  struct Map {
    int from, to;
    bool sameKind;
  };
  std::vector<Map> map;
  for (size_t f = 0; !whole && f < dst.fields().size(); ++f) {
    int s = src.fieldIndex(dst.fields()[f].name);
    if (s < 0) continue;
    const FieldDef& sf = src.fields()[s];
    const FieldDef& df = dst.fields()[f];
    // Numbers of the same width and decimals are copied as stored too.
    const bool number = df.type == 'N' || df.type == 'F';
    bool same = sf.type == df.type && df.type != 'M' &&
                (!number || (sf.width == df.width && sf.decimals == df.decimals));
    map.push_back(Map{s, static_cast<int>(f), same});
  }
  for (uint32_t r = 1; r <= src.recordCount(); ++r) {
    src.go(r);
    if (src.deleted()) continue;
    dst.appendBlank();
    if (whole) dst.setRecord(std::string_view(src.record(r).data, src.recordLength()));
    for (const Map& m : map) {
      char type = dst.fields()[m.to].type;
      const bool number = type == 'N' || type == 'F';
      if (m.sameKind) {
        dst.setRaw(m.to, src.raw(m.from));
      } else if (number && src.fields()[m.from].type != 'C') {
        // A blank number stays blank: it is no 0.
        if (src.raw(m.from).find_first_not_of(' ') != std::string_view::npos) dst.setNumber(m.to, src.number(m.from));
      } else {
        dst.setText(m.to, src.text(m.from));
      }
    }
  }
}

}  // namespace

bool sx_AppendFrom(const std::string& sourceFile, int, const std::string&) {
  Area* a = cur();
  if (!a) return false;
  base::Bilingual error;
  auto src = Table::open(sourceFile, error, Table::OpenMode::ReadOnly);
  if (!src) {
    fail(error);
    return false;
  }
  appendRecords(*src, *a->table);
  positionAt(*a, a->table->recno());
  return true;
}

bool sx_AppendFromArea(int16_t area) {
  Area* a = cur();
  if (!a) return false;
  auto it = S().areas.find(area);
  if (it == S().areas.end() || &it->second == a) {
    fail("pas de zone de travail " + std::to_string(area), "geen werkgebied " + std::to_string(area));
    return false;
  }
  Table& src = *it->second.table;
  const uint32_t keep = src.recno();
  appendRecords(src, *a->table);
  positionAt(it->second, keep);
  positionAt(*a, a->table->recno());
  return true;
}

int16_t sx_CreateNew(const std::string& file, const std::string& alias, int, int) {
  PendingCreate& c = S().create;
  c = PendingCreate();
  c.active = true;
  c.file = file;
  c.alias = alias;
  c.layout.flags = 0x00;
  c.layout.codePage = 0x03;
  return freeArea();
}

bool sx_CreateField(const std::string& name, const std::string& type, int width, int decimals) {
  PendingCreate& c = S().create;
  if (!c.active || name.empty() || type.empty() || width < 1 || width > 254 || decimals < 0) {
    fail("définition de champ invalide " + name, "ongeldige velddefinitie " + name);
    return false;
  }
  FieldDef f;
  f.name = name;
  f.type = type[0];
  f.width = static_cast<uint8_t>(width);
  f.decimals = static_cast<uint8_t>(decimals);
  c.layout.fields.push_back(f);
  return true;
}

int16_t sx_CreateExec() {
  PendingCreate& c = S().create;
  if (!c.active) {
    fail("aucune définition de table commencée", "geen tabeldefinitie begonnen");
    return 0;
  }
  base::Bilingual error;
  auto t = Table::create(c.file, c.layout, error);
  std::string alias = c.alias;
  c = PendingCreate();
  if (!t) {
    fail(error);
    return 0;
  }
  return openArea(std::move(t), alias);
}

bool sx_IndexTag(const std::string& indexFile, const std::string& tag, const std::string& keyExpr, int option,
                 int descending, const std::string& condition) {
  Area* a = cur();
  if (!a) return false;
  Table& t = *a->table;
  if (!indexFile.empty()) {
    auto p = resolveCase(indexFile);
    if (p != t.indexPath()) t.setIndexPath(p);
  }
  TagDef def{tag, keyExpr, condition, option == 1, descending != 0};
  base::Bilingual error;
  if (!t.addTag(def, error)) {
    fail(error);
    return false;
  }
  a->indexesClosed = false;
  return true;
}

int16_t sx_IndexOpen(const std::string& indexFile) {
  Area* a = cur();
  if (!a) return 0;
  Table& t = *a->table;
  auto p = resolveCase(indexFile);
  if (p != t.indexPath() || t.tagCount() == 0) {
    std::vector<cdx::TagSpec> infos;
    base::Bilingual error;
    if (!cdx::readCdxSpecs(p, infos, error)) {
      fail(base::Bilingual("ouverture de l'index " + indexFile + " impossible : ", "kan de index " + indexFile + " niet openen: ") +
           error);
      return 0;
    }
    t.setIndexPath(p);
    for (const cdx::TagSpec& s : infos) {
      if (!t.addTag(TagDef{s.name, s.keyExpr, s.forExpr, s.unique, s.descending}, error)) {
        fail(error);
        return 0;
      }
    }
  }
  a->indexesClosed = false;
  return static_cast<int16_t>(t.tagCount());
}

void sx_DeferIndex(const std::string& file) { Table::deferIndex(file); }

bool sx_WriteDeferredIndex(const std::string& file) {
  base::Bilingual error;
  if (Table::writeDeferredIndex(file, error)) return true;
  fail(error);
  return false;
}

void sx_DropDeferredIndex(const std::string& file) { Table::dropDeferredIndex(file); }

base::Bilingual sx_LastError() { return S().lastError; }

std::optional<WriteFailure> sx_TakeWriteFailure() { return std::exchange(S().writeFailure, std::nullopt); }

}  // namespace store
