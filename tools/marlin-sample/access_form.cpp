// The two Access layouts, written through the Jet 4 writer.
#include <memory>

#include "jet4_writer.h"
#include "marlin_forms.h"

namespace marlin {
namespace {

struct TableSink : EntrySink {
  jet4::Table& historicTable;
  jet4::Table& checkingTable;
  TableSink(jet4::Table& h, jet4::Table& c) : historicTable(h), checkingTable(c) {}
  void historic(const Row& row) override { historicTable.addRow(row); }
  void checking(const Row& row) override { checkingTable.addRow(row); }
};

jet4::Table& addTable(jet4::Database& db, const std::string& name, const TableData& t) {
  jet4::Table& out = db.addTable(name, t.columns);
  for (const Row& r : t.rows) out.addRow(r);
  return out;
}

// Tables of one book year, named for the form, into an open database.
void writeYear(jet4::Database& db, const Dossier& d, Form form, int year, std::vector<jet4::Table*>& written) {
  for (const TableData& t : d.yearTables(year)) written.push_back(&addTable(db, yearTableName(form, year, t.name), t));
  jet4::Table& h = db.addTable(yearTableName(form, year, "Historic"), Dossier::historicColumns());
  jet4::Table& c = db.addTable(yearTableName(form, year, "Checking"), Dossier::checkingColumns());
  TableSink sink(h, c);
  d.generateEntries(year, sink);
  written.push_back(&h);
  written.push_back(&c);
}

WrittenFile describe(const std::filesystem::path& path, const std::vector<jet4::Table*>& tables) {
  WrittenFile f{path, "", {}};
  for (const jet4::Table* t : tables) f.tables.push_back({t->name(), t->rowCount()});
  return f;
}

}  // namespace

std::vector<WrittenFile> writeAccessForm(const Dossier& d, bool prefixed, const std::filesystem::path& dir) {
  const Form form = prefixed ? Form::AccessPrefixed : Form::AccessOlder;
  std::vector<WrittenFile> files;
  {
    const auto path = dir / "Common.mdb";
    jet4::Database db(path.string());
    TableData list = d.societyList();
    std::vector<jet4::Table*> tables{&addTable(db, list.name, list)};
    db.close();
    files.push_back(describe(path, tables));
  }
  {
    const auto path = dir / companyFileName(d);
    jet4::Database db(path.string());
    std::vector<jet4::Table*> tables;
    for (const TableData& t : d.companyTables(prefixed || d.options().olderLayoutIban)) tables.push_back(&addTable(db, companyTableName(form, t.name), t));
    if (prefixed)
      for (int y = 0; y < d.options().years; ++y) writeYear(db, d, form, y, tables);
    db.close();
    files.push_back(describe(path, tables));
  }
  if (!prefixed) {
    for (int y = 0; y < d.options().years; ++y) {
      const auto path = dir / yearFileName(d, y);
      jet4::Database db(path.string());
      std::vector<jet4::Table*> tables;
      writeYear(db, d, form, y, tables);
      db.close();
      files.push_back(describe(path, tables));
    }
  }
  return files;
}

}  // namespace marlin
