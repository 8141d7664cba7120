// The three forms of a generated dossier read back by independent readers:
// the mdbtools programs for the Access files, the PostgreSQL server standing
// in for SQL Server for the scripts, and the project's own source layer for
// both. Every table and every value must come back as generated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>

#include "marlin_forms.h"
#include "run/access_source.h"
#include "run/odbc_source.h"
#include "sample_support.h"
#include "support/mdb_cli.h"

using namespace sample_test;
using marlin::Dossier;
using marlin::Form;

namespace {

std::set<std::string> fileNames(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

std::string schemaType(const jet4::Column& c) {
  switch (c.type) {
    case jet4::Type::Boolean: return "Boolean";
    case jet4::Type::Byte: return "Byte";
    case jet4::Type::Integer: return "Integer";
    case jet4::Type::Long: return "Long Integer";
    case jet4::Type::Currency: return "Currency";
    case jet4::Type::Double: return "Double";
    case jet4::Type::DateTime: return "DateTime";
    case jet4::Type::Text: return "Text (" + std::to_string(c.size) + ")";
    case jet4::Type::Memo: return "Memo/Hyperlink";
  }
  return "?";
}

// One Access file: exactly these tables, each column declared with its type,
// every value as generated.
void expectAccessFile(const fs::path& file, const std::vector<std::pair<std::string, marlin::TableData>>& want) {
  SCOPED_TRACE(file.string());
  EXPECT_EQ(mdbcli::version(file.string()), "JET4");
  std::vector<std::string> names;
  for (const auto& [name, t] : want) names.push_back(name);
  EXPECT_EQ(mdbcli::tables(file.string()), names);
  const std::string schema = mdbcli::schema(file.string());
  for (const auto& [name, t] : want) {
    const size_t at = schema.find("CREATE TABLE [" + name + "]");
    ASSERT_NE(at, std::string::npos) << name;
    const std::string block = schema.substr(at, schema.find(");", at) - at);
    for (const auto& c : t.columns)
      EXPECT_NE(block.find("[" + c.name + "]\t\t\t" + schemaType(c)), std::string::npos) << name << "." << c.name;

    const auto got = mdbcli::exportTable(file.string(), name);
    std::vector<std::string> header;
    for (const auto& c : t.columns) header.push_back(c.name);
    ASSERT_EQ(got.header, header) << name;
    ASSERT_EQ(got.rows.size(), t.rows.size()) << name;
    for (size_t r = 0; r < t.rows.size(); ++r)
      for (size_t c = 0; c < header.size(); ++c)
        ASSERT_EQ(got.rows[r][c], exportText(t.rows[r][c])) << name << " row " << r << " column " << header[c];
  }
}

std::vector<std::pair<std::string, marlin::TableData>> named(Form form, int year, std::vector<marlin::TableData> tables) {
  std::vector<std::pair<std::string, marlin::TableData>> out;
  for (auto& t : tables) {
    std::string name = year < 0 ? marlin::companyTableName(form, t.name) : marlin::yearTableName(form, year, t.name);
    out.emplace_back(name, std::move(t));
  }
  return out;
}

std::vector<std::pair<std::string, marlin::TableData>> yearContent(const Dossier& d, Form form, int year) {
  auto tables = d.yearTables(year);
  for (auto& t : entryTables(d, year)) tables.push_back(std::move(t));
  return named(form, year, std::move(tables));
}

// Documents of a book year as the import lists them, counted from the
// generated lines: one per distinct journal, type, subtype, number, period, date.
size_t documentCount(const Dossier& d, int year) {
  const auto cols = Dossier::historicColumns();
  auto at = [&](const char* n) {
    return int(std::find_if(cols.begin(), cols.end(), [&](auto& c) { return c.name == n; }) - cols.begin());
  };
  std::set<std::vector<std::string>> docs;
  const auto tables = entryTables(d, year);
  for (const auto& r : tables[0].rows) {
    std::vector<std::string> key;
    for (const char* n : {"JrnlID", "JrnlType", "JrnlSubType", "Doc", "Period", "DocDate"})
      key.push_back(exportText(r[at(n)]).value_or(""));
    docs.insert(key);
  }
  return docs.size();
}

size_t rowCount(base::RowSet& rows) {
  size_t n = 0;
  for (; !rows.eof(); rows.moveNext()) ++n;
  return n;
}

}  // namespace

TEST(SampleForms, AccessPrefixedLayoutReadsBackThroughMdbtoolsAndTheSourceLayer) {
  const Dossier d(marlin::Options{"001", 2, 120, 3});
  const testing_support::ScratchFolder scratch;
  const fs::path dir = scratch.path();
  const auto files = marlin::writeDossier(d, Form::AccessPrefixed, dir);
  EXPECT_EQ(fileNames(dir), (std::set<std::string>{"Common.mdb", "001Soc.MDB"}));
  ASSERT_EQ(files.size(), 2u);

  expectAccessFile(dir / "Common.mdb", {{"SOCIETYLIST", d.societyList()}});
  auto company = named(Form::AccessPrefixed, -1, d.companyTables(true));
  EXPECT_EQ(company[0].first, "version");
  EXPECT_EQ(company[2].first, "D_AcctCustomer");
  for (int y = 0; y < 2; ++y)
    for (auto& t : yearContent(d, Form::AccessPrefixed, y)) company.push_back(std::move(t));
  expectAccessFile(dir / "001Soc.MDB", company);

  auto source = run::openAccessSource((dir / "001Soc.MDB").string());
  for (const auto& [name, t] : company) expectSourceTable(*source, name, t);
  // The import's document list runs on these tables and finds every document.
  auto docs = source->query(
      "SELECT Historic.JrnlID, Historic.JrnlType, Historic.JrnlSubType, Historic.Doc, Historic.Period, Historic.DocDate "
      "From A_01_Historic AS Historic GROUP BY Historic.JrnlID, Historic.JrnlType, Historic.JrnlSubType, Historic.Doc, "
      "Historic.Period, Historic.DocDate");
  EXPECT_EQ(rowCount(*docs), documentCount(d, 1));
}

TEST(SampleForms, AccessOlderLayoutHasBareNamesAndOneFilePerBookYear) {
  const Dossier d(marlin::Options{"042", 3, 60, 5});
  const testing_support::ScratchFolder scratch;
  const fs::path dir = scratch.path();
  marlin::writeDossier(d, Form::AccessOlder, dir);
  EXPECT_EQ(fileNames(dir), (std::set<std::string>{"Common.mdb", "042Soc.MDB", "042A00.mdb", "042A01.mdb", "042A02.mdb"}));

  auto company = named(Form::AccessOlder, -1, d.companyTables(false));
  EXPECT_EQ(company[2].first, "AcctCustomer");
  EXPECT_EQ(company[2].second.column("IBAN1"), -1) << "older dossiers predate the IBAN columns";
  expectAccessFile(dir / "042Soc.MDB", company);
  for (int y = 0; y < 3; ++y) {
    auto year = yearContent(d, Form::AccessOlder, y);
    EXPECT_EQ(year[3].first, "Historic");
    expectAccessFile(dir / marlin::yearFileName(d, y), year);
  }
  auto source = run::openAccessSource((dir / "042A02.mdb").string());
  for (const auto& [name, t] : yearContent(d, Form::AccessOlder, 2)) expectSourceTable(*source, name, t);
}

namespace {

// The test server started by scripts/sql-test-server.sh, when it runs.
struct SqlServer {
  std::map<std::string, std::string> env;
  bool running = false;
  SqlServer() {
    std::ifstream in(fs::path(M2K_BUILD_DIR) / "sql-test-server" / "env");
    for (std::string line; std::getline(in, line);)
      if (auto eq = line.find('='); eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
    running = env.count("PGPORT") && env.count("M2K_SQL_ADMIN_PASSWORD");
  }
  void exportForOdbc() const {
    for (const char* k : {"ODBCSYSINI", "ODBCINI", "PGPORT"}) {
#ifdef _WIN32
      _putenv_s(k, env.at(k).c_str());
#else
      setenv(k, env.at(k).c_str(), 1);
#endif
    }
  }
  void psql(const std::string& database, const fs::path& script) const {
    mdbcli::run("PGHOST='" + env.at("M2K_SQL_SERVER") + "' PGPORT='" + env.at("PGPORT") + "' PGUSER='" +
                env.at("M2K_SQL_ADMIN") + "' PGPASSWORD='" + env.at("M2K_SQL_ADMIN_PASSWORD") +
                "' psql -q -X -v ON_ERROR_STOP=1 -d '" + database + "' -f '" + script.string() + "' 2>&1");
  }
};

}  // namespace

TEST(SampleForms, SqlScriptsLoadIntoTheTestServerAndReadBackLikeTheAccessForms) {
  const SqlServer server;
  if (!server.running) GTEST_SKIP() << "SQL test server not running (scripts/sql-test-server.sh start)";
  // A company code of its own, so that other tests' databases stay untouched.
  const Dossier d(marlin::Options{"917", 2, 150, 9});
  const testing_support::ScratchFolder scratch;
  const fs::path dir = scratch.path();
  marlin::writeDossier(d, Form::Sql, dir);
  EXPECT_EQ(fileNames(dir), (std::set<std::string>{"databases.txt", "PWCOMMON.create.sql", "PWCOMMON.sql",
                                                   "PW0917SOC.create.sql", "PW0917SOC.sql"}));
  server.psql("postgres", dir / "PW0917SOC.create.sql");
  server.psql("PW0917SOC", dir / "PW0917SOC.sql");
  server.exportForOdbc();
  auto source = run::openSqlServerSource(server.env.at("M2K_SQL_SERVER"), server.env.at("M2K_SQL_ADMIN"),
                                         server.env.at("M2K_SQL_ADMIN_PASSWORD"), "PW0917SOC");
  auto company = named(Form::Sql, -1, d.companyTables(true));
  EXPECT_EQ(company[0].first, "D_Version");
  // Customer and supplier numbers sit in CHAR(12) columns: they come back
  // padded with blanks.
  for (auto& [name, t] : company) {
    const int number = std::max(t.column("CustID"), t.column("SUPPID"));
    for (auto& row : t.rows)
      if (auto* text = number < 0 ? nullptr : std::get_if<std::string>(&row[number])) text->resize(12, ' ');
  }
  for (int y = 0; y < 2; ++y)
    for (auto& t : yearContent(d, Form::Sql, y)) company.push_back(std::move(t));
  for (const auto& [name, t] : company) expectSourceTable(*source, name, t, false);

  // What the SQL edition asks of the server beyond plain tables.
  auto objects = source->query("SELECT name, xtype FROM sys.sysobjects WHERE xtype = 'U' ORDER BY name");
  std::set<std::string> names, created;
  for (; !objects->eof(); objects->moveNext()) names.insert(objects->field("NAME").asText());
  for (const auto& [name, t] : company) created.insert(name);
  EXPECT_EQ(names, created) << "table names as created, in their letter case";
  auto length = source->query("SELECT MAX(LEN(GeneralID)) AS xLenGen, MAX(GeneralID) AS Expr1 FROM D_AcctGeneral WHERE (Type = 0)");
  EXPECT_EQ(length->field("xLenGen").asInt(), 6);
  auto docs = source->query(
      "SELECT Historic.JrnlID, Historic.JrnlType, Historic.JrnlSubType, Historic.Doc, Historic.Period, Historic.DocDate"
      " From A_00_Historic AS Historic GROUP BY Historic.JrnlID, Historic.JrnlType, Historic.JrnlSubType, Historic.Doc,"
      " Historic.Period, Historic.DocDate");
  EXPECT_EQ(rowCount(*docs), documentCount(d, 0));

  // The company list goes into a database of its own name here: PWCOMMON is
  // shared by every test that talks to the server.
  std::ofstream(dir / "common.create.sql") << "DROP DATABASE IF EXISTS m2k_samples_common;\nCREATE DATABASE m2k_samples_common;\n";
  server.psql("postgres", dir / "common.create.sql");
  server.psql("m2k_samples_common", dir / "PWCOMMON.sql");
  auto common = run::openSqlServerSource(server.env.at("M2K_SQL_SERVER"), server.env.at("M2K_SQL_ADMIN"),
                                         server.env.at("M2K_SQL_ADMIN_PASSWORD"), "m2k_samples_common");
  expectSourceTable(*common, "SOCIETYLIST", d.societyList(), false);
}
