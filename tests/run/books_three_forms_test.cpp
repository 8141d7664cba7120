// One generated two-year dossier of 20,000 lines a year (several currencies,
// documents over two periods, lines matched several times, renamed foreign
// journals) written in the three source forms and imported in full through
// the command line, the SQL form from the test server. For each import, read
// by an independent DBF reader: every document balances in euros under
// Kestrel's document key and, in a foreign-currency journal, in its currency;
// every document lies in one period; the totals per account and per customer
// or supplier are the source's; the merge left the blank fields of the newer
// year blank; every index agrees with its table. And the three dossiers are the
// same, table by table, apart from the rows of PARAM that name the edition.
// The book years convert side by side; converted one after the other they
// give the same files, byte for byte, indexes and memo files included.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "base/text.h"
#include "convert/entries/fixed_point.h"
#include "convert/master/codes.h"
#include "marlin_forms.h"
#include "run/access_source.h"
#include "store/engine/index_check.h"
#include "support/scratch_folder.h"
#include "support/sql_test_server.h"

namespace {

namespace fs = std::filesystem;
using marlin::Form;

constexpr const char* kCompany = "003";
constexpr const char* kDossier = "BOOKS";

std::string quoted(const std::string& s) { return "'" + s + "'"; }
std::string quoted(const fs::path& p) { return quoted(p.string()); }

// Runs a command line; its exit status, its output in `output`.
int run(const std::string& command, const fs::path& output) {
  return std::system((command + " > " + quoted(output) + " 2>&1 < /dev/null").c_str()) == 0 ? 0 : 1;
}

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> cells;
  std::stringstream s(line);
  for (std::string cell; std::getline(s, cell, separator);) cells.push_back(cell);
  if (!line.empty() && line.back() == separator) cells.emplace_back();
  return cells;
}

std::vector<std::string> lines(const std::string& text) {
  return split(!text.empty() && text.back() == '\n' ? text.substr(0, text.size() - 1) : text, '\n');
}

struct Totals {
  long lines = 0;
  int64_t cents = 0;
  bool operator==(const Totals&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Totals& t) { return o << t.lines << " lines, " << t.cents << " cents"; }
// "bookyear/account" or "bookyear/doctype/party" -> totals
using TotalsBy = std::map<std::string, Totals>;

// What the import must carry over from the source: every line of AcctType >
// 0, the newer year without its opening period (book year 2 of the dossier).
void addSourceYear(base::Source& source, const std::string& table, const std::string& bookYear, bool withOpening,
                   TotalsBy& accounts, TotalsBy& parties) {
  auto rows = source.query("SELECT AcctID, Period, FlagDC, AmntBase, AssocAcctType, AssocAcctID FROM " + table +
                           " WHERE AcctType > 0");
  for (; !rows->eof(); rows->moveNext()) {
    if (!withOpening && rows->field("Period").asInt() == 0) continue;
    convert::Fixed4 amount = convert::Fixed4::parse(rows->field("AmntBase").asText());
    if (rows->field("FlagDC").asText() == "1") amount = -amount;
    const int64_t cents = amount.round2().units() / 100;
    Totals& a = accounts[bookYear + "/" + convert::NormalizeAccount(rows->field("AcctID").asText(), 6)];
    ++a.lines;
    a.cents += cents;
    const int64_t kind = rows->field("AssocAcctType").asInt();
    if (kind != 10 && kind != 20) continue;
    Totals& p = parties[bookYear + "/" + (kind == 10 ? "1/" : "2/") + base::Trim(rows->field("AssocAcctID").asText())];
    ++p.lines;
    p.cents += cents;
  }
}

struct ActLine {
  std::string bookYear, journal, period, number, docType, account, party, currency;
  int64_t euro = 0, amount = 0;
};

// The entry lines and the journals' currencies as the independent reader
// gives them.
struct Books {
  std::vector<ActLine> lines;
  std::map<std::string, std::string> currencyOf;  // "bookyear/journal" -> currency of its bank options
};

Books readBooks(const fs::path& dossier, const fs::path& scratch) {
  // Debian's interpreter, where python3-dbfread is installed.
  const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  const fs::path out = scratch / "books.tsv";
  EXPECT_EQ(run(python + " " + quoted(std::string(M2K_SOURCE_DIR) + "/tests/run/read_books.py") + " " +
                    quoted(dossier) + " " + kDossier,
                out),
            0)
      << readText(out);
  Books books;
  for (const std::string& line : lines(readText(out))) {
    const auto f = split(line, '\t');
    if (f.size() == 4 && f[0] == "DBK") {
      books.currencyOf[f[1] + "/" + f[2]] = f[3];
    } else if (f.size() == 11 && f[0] == "ACT") {
      books.lines.push_back({f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], std::stoll(f[9]), std::stoll(f[10])});
    } else {
      ADD_FAILURE() << "unexpected line from the reader: " << line;
    }
  }
  return books;
}

void expectBalancedBooks(const Books& books, const TotalsBy& sourceAccounts, const TotalsBy& sourceParties) {
  std::map<std::string, int64_t> euro, currency;  // by Kestrel's document key
  std::map<std::string, std::set<std::string>> periods;
  TotalsBy accounts, parties;
  size_t foreignLines = 0;
  for (const ActLine& l : books.lines) {
    const std::string key = l.bookYear + "/" + l.journal + "/" + l.period + "/" + l.number;
    euro[key] += l.euro;
    periods[l.bookYear + "/" + l.journal + "/" + l.number].insert(l.period);
    const auto journal = books.currencyOf.find(l.bookYear + "/" + l.journal);
    if (journal != books.currencyOf.end() && !journal->second.empty() && journal->second != "EUR") {
      ++foreignLines;
      currency[key] += l.amount;
      EXPECT_EQ(l.currency, journal->second) << key << " " << l.account;
    }
    if (l.account.empty()) continue;  // the VAT lines of invoices carry only a base
    Totals& a = accounts[l.bookYear + "/" + l.account];
    ++a.lines;
    a.cents += l.euro;
    if ((l.docType == "1" || l.docType == "2") && !l.party.empty()) {
      Totals& p = parties[l.bookYear + "/" + l.docType + "/" + l.party];
      ++p.lines;
      p.cents += l.euro;
    }
  }
  // The pound bank's code is a miscellaneous journal of the French template.
  for (const char* year : {"1/OPDIV4", "2/OPDIV4"}) {
    const auto renamed = books.currencyOf.find(year);
    EXPECT_TRUE(renamed != books.currencyOf.end() && renamed->second == "GBP") << year;
  }
  EXPECT_GT(euro.size(), 10000u);
  for (const auto& [key, sum] : euro) EXPECT_EQ(sum, 0) << "document " << key << " in euros";
  EXPECT_GT(currency.size(), 500u);
  EXPECT_GT(foreignLines, 1000u);
  for (const auto& [key, sum] : currency) EXPECT_EQ(sum, 0) << "document " << key << " in its currency";
  for (const auto& [key, set] : periods) EXPECT_EQ(set.size(), 1u) << "document " << key << " in several periods";
  EXPECT_EQ(accounts, sourceAccounts);
  EXPECT_EQ(parties, sourceParties);
}

// A table as kestrel-dump prints it.
std::string dumpTable(const fs::path& table, const fs::path& scratch) {
  const fs::path out = scratch / "dump.csv";
  EXPECT_EQ(run(std::string(M2K_BIN_DIR) + "/kestrel-dump " + quoted(table), out), 0);
  return readText(out);
}

// Every table of a dossier folder as kestrel-dump prints it, by file name.
std::map<std::string, std::string> dumpTables(const fs::path& folder, const fs::path& scratch) {
  std::map<std::string, std::string> tables;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".DBF") tables[entry.path().filename().string()] = dumpTable(entry.path(), scratch);
  return tables;
}

// The merge writes the newer year's lines as book year 2 and leaves every
// other field as the document step wrote it: a column the step leaves blank
// on every line of book year 1 is blank on every line of book year 2 too
// (a number is not rewritten as 0).
void expectBlankColumnsKeptByTheMerge(const std::string& act) {
  const auto rows = lines(act);
  ASSERT_FALSE(rows.empty());
  const auto header = split(rows[0], ',');
  const size_t bookYear = std::find(header.begin(), header.end(), "BOOKYEAR") - header.begin();
  ASSERT_LT(bookYear, header.size());
  std::map<std::string, std::vector<bool>> filled;  // book year -> per column: some line holds a value
  for (size_t i = 1; i < rows.size(); ++i) {
    const auto f = split(rows[i], ',');
    if (f.size() != header.size()) continue;
    auto& columns = filled[f[bookYear]];
    columns.resize(header.size());
    for (size_t c = 0; c < f.size(); ++c)
      if (f[c].find_first_not_of(' ') != std::string::npos) columns[c] = true;
  }
  ASSERT_EQ(filled.size(), 2u);
  for (size_t c = 0; c < header.size(); ++c)
    if (!filled["1"][c]) EXPECT_FALSE(filled["2"][c]) << header[c] << " filled by the merge";
}

// Every file of a dossier but its migration report (times, folders), by name.
std::map<std::string, std::string> dossierFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find("_MIGRATION.") != std::string::npos) continue;
    std::string bytes = readText(entry.path());
    // A table's header holds the day it was last written.
    if (entry.path().extension() == ".DBF" && bytes.size() > 4) bytes.replace(1, 3, "YMD");
    files[name] = std::move(bytes);
  }
  return files;
}

void expectSameFiles(const fs::path& sideBySide, const fs::path& inTurn) {
  const auto expected = dossierFiles(sideBySide), got = dossierFiles(inTurn);
  ASSERT_GT(expected.size(), 20u);
  for (const auto& [name, bytes] : expected) {
    const auto it = got.find(name);
    if (it == got.end())
      ADD_FAILURE() << name << " missing from the run with the book years in turn";
    else
      EXPECT_TRUE(it->second == bytes) << name << " differs between the two runs";
  }
  EXPECT_EQ(got.size(), expected.size());
}

// The rows of PARAM that name the edition the dossier came from.
std::string withoutEditionRows(const std::string& param) {
  std::string out;
  for (const std::string& line : lines(param))
    if (line.find(",VerMarlin2Ks ") == std::string::npos && line.find(",RECOVERED ") == std::string::npos)
      out += line + "\n";
  return out;
}

class BooksInThreeForms : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(M2K_BIN_DIR) / "marlin2kestrel")) GTEST_SKIP() << "marlin2kestrel is not built";
    REQUIRE_SQL_SERVER();
    root = scratch.path();
  }

  // Imports one form into a Kestrel folder of its own; the dossier folder.
  fs::path import(const std::string& name, const std::string& sourceArguments, const std::string& environment = "") {
    const fs::path kestrel = root / ("kestrel-" + name);
    fs::create_directories(kestrel);
    const fs::path log = root / (name + ".log");
    EXPECT_EQ(run(environment + " " + std::string(M2K_BIN_DIR) + "/marlin2kestrel --kestrel-folder " +
                      quoted(kestrel) + " --dossier " + kDossier + " --company " + kCompany + " " + sourceArguments,
                  log),
              0)
        << readText(log);
    return kestrel;
  }

  void loadIntoServer(const fs::path& dir) {
    const auto& server = testing_support::sqlTestServer();
    const std::string psql = "PGPASSWORD=" + quoted(server.adminPassword) + " psql -q -v ON_ERROR_STOP=1 -h " +
                             server.host + " -U " + server.admin + " ";
    const std::string company = std::string("PW0") + kCompany + "SOC";
    for (const std::string& db : {std::string("PWCOMMON"), company}) {
      ASSERT_EQ(run(psql + "-d postgres -f " + quoted(dir / (db + ".create.sql")), root / "psql.log"), 0)
          << readText(root / "psql.log");
      ASSERT_EQ(run(psql + "-d " + db + " -f " + quoted(dir / (db + ".sql")), root / "psql.log"), 0)
          << readText(root / "psql.log");
    }
  }

  testing_support::ScratchFolder scratch;
  fs::path root;
};

TEST_F(BooksInThreeForms, EveryFormBalancesAndAllGiveTheSameDossier) {
  marlin::Options options;
  options.company = kCompany;
  options.lines = 20000;
  options.seed = 13;
  options.olderLayoutIban = true;  // the same data in every form
  const marlin::Dossier dossier(options);
  const fs::path prefixedDir = root / "access-prefixed", olderDir = root / "access-older", sqlDir = root / "sql";
  marlin::writeDossier(dossier, Form::AccessPrefixed, prefixedDir);
  marlin::writeDossier(dossier, Form::AccessOlder, olderDir);
  marlin::writeDossier(dossier, Form::Sql, sqlDir);
  loadIntoServer(sqlDir);
  const auto& server = testing_support::sqlTestServer();

  // Each import with the source it came from, to total the source's lines.
  struct Imported {
    std::string form;
    fs::path kestrel;
    base::Source *year0, *year1;
    std::string table0, table1;
  };
  std::vector<std::unique_ptr<base::Source>> sources;
  const auto open = [&](std::unique_ptr<base::Source> s) { return sources.emplace_back(std::move(s)).get(); };
  std::vector<Imported> imports;
  base::Source* prefixed = open(run::openAccessSource((prefixedDir / (std::string(kCompany) + "Soc.MDB")).string()));
  imports.push_back({"access-prefixed", import("access-prefixed", "--source-folder " + quoted(prefixedDir)), prefixed,
                     prefixed, "A_00_Historic", "A_01_Historic"});
  imports.push_back({"access-older", import("access-older", "--source-folder " + quoted(olderDir)),
                     open(run::openAccessSource((olderDir / (std::string(kCompany) + "A00.mdb")).string())),
                     open(run::openAccessSource((olderDir / (std::string(kCompany) + "A01.mdb")).string())),
                     "Historic", "Historic"});
  std::string environment;
  for (const auto& [k, v] : server.env) environment += k + "=" + quoted(v) + " ";
  environment += "MARLIN_SQL_PASSWORD=" + quoted(server.adminPassword);
  const std::string sqlArguments = "--sql-server " + server.host + " --login " + server.admin;
  base::Source* sql = open(testing_support::openAsAdmin(std::string("PW0") + kCompany + "SOC"));
  imports.push_back({"sql", import("sql", sqlArguments, environment), sql, sql, "A_00_historic", "A_01_historic"});

  const std::string inTurn = "MARLIN2KESTREL_PASSES=sequential ";
  expectSameFiles(imports[0].kestrel / kDossier,
                  import("prefixed-in-turn", "--source-folder " + quoted(prefixedDir), inTurn) / kDossier);
  expectSameFiles(imports[1].kestrel / kDossier,
                  import("older-in-turn", "--source-folder " + quoted(olderDir), inTurn) / kDossier);
  expectSameFiles(imports[2].kestrel / kDossier, import("sql-in-turn", sqlArguments, inTurn + environment) / kDossier);

  std::map<std::string, std::map<std::string, std::string>> dumps;
  for (const Imported& i : imports) {
    SCOPED_TRACE(i.form);
    const fs::path folder = i.kestrel / kDossier;
    ASSERT_TRUE(fs::exists(folder / (std::string(kDossier) + "_DBK_02.DBF")));
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() != ".DBF") continue;
      for (const store::TagCheck& check : store::checkIndexes(entry.path()))
        EXPECT_TRUE(check.ok) << entry.path().filename() << " " << check.tag << ": " << check.problem.french;
    }
    TotalsBy accounts, parties;
    addSourceYear(*i.year0, i.table0, "1", true, accounts, parties);
    addSourceYear(*i.year1, i.table1, "2", false, accounts, parties);
    expectBalancedBooks(readBooks(folder, root), accounts, parties);

    dumps[i.form] = dumpTables(folder, root);
    expectBlankColumnsKeptByTheMerge(dumps[i.form][std::string(kDossier) + "_ACT.DBF"]);
  }

  const std::string param = std::string(kDossier) + "_PARAM.DBF";
  for (const char* form : {"access-older", "sql"}) {
    SCOPED_TRACE(form);
    ASSERT_EQ(dumps[form].size(), dumps["access-prefixed"].size());
    for (const auto& [table, text] : dumps["access-prefixed"]) {
      if (table == param)
        EXPECT_EQ(withoutEditionRows(dumps[form][table]), withoutEditionRows(text));
      else
        EXPECT_TRUE(dumps[form][table] == text) << table << " differs from the prefixed layout's";
    }
  }
  // The edition rows themselves: the SQL edition says so.
  EXPECT_NE(dumps["sql"][param].find("Marlin Sql"), std::string::npos);
  EXPECT_EQ(dumps["access-older"][param], dumps["access-prefixed"][param]);
}

}  // namespace
