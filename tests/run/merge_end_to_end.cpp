// A full import of generated two-year dossiers in the three source forms,
// through the command line: the entries of both book years reach one Kestrel
// dossier with every account's lines and totals, every document balanced,
// every index in agreement with its table, and the dossier readable by an
// independent DBF reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "convert/entries/fixed_point.h"
#include "convert/master/codes.h"
#include "run/access_source.h"
#include "run/odbc_source.h"
#include "store/engine/index_check.h"

namespace {

namespace fs = std::filesystem;

struct Totals {
  long lines = 0;
  int64_t cents = 0;
};
using AccountTotals = std::map<std::string, Totals>;  // "bookyear/account"

std::map<std::string, std::string> sqlServerEnv() {
  std::map<std::string, std::string> env;
  std::ifstream in(fs::path(M2K_BUILD_DIR) / "sql-test-server" / "env");
  for (std::string line; std::getline(in, line);) {
    auto eq = line.find('=');
    if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return env;
}

int shell(const std::string& command) { return std::system(command.c_str()); }

// The lines of one source book year, as the import must carry them over:
// AcctType > 0, the newer year without its opening period.
void addSourceYear(base::Source& source, const std::string& table, const std::string& bookYear, bool withOpening,
                   AccountTotals& totals) {
  auto rows = source.query("SELECT AcctID, Period, FlagDC, AmntBase FROM " + table + " WHERE AcctType > 0");
  for (; !rows->eof(); rows->moveNext()) {
    if (!withOpening && rows->field("Period").asInt() == 0) continue;
    convert::Fixed4 amount = convert::Fixed4::parse(rows->field("AmntBase").asText());
    if (rows->field("FlagDC").asText() == "1") amount = -amount;
    Totals& t = totals[bookYear + "/" + convert::NormalizeAccount(rows->field("AcctID").asText(), 6)];
    ++t.lines;
    t.cents += amount.round2().units() / 100;
  }
}

struct FullImport {
  void importAndCheck(const std::string& sourceArgs, const std::string& form, base::Source& year0,
                      base::Source& year1, const std::string& table0, const std::string& table1) {
    if (!fs::exists(fs::path(M2K_BIN_DIR) / "marlin2kestrel")) GTEST_SKIP() << "marlin2kestrel is not built";
    const fs::path kestrel = fs::path(M2K_BUILD_DIR) / "test_dossiers" / ("full-import-" + form);
    fs::remove_all(kestrel);
    fs::create_directories(kestrel);
    const std::string command = std::string("\"") + M2K_BIN_DIR + "/marlin2kestrel\" --kestrel-folder \"" +
                                kestrel.string() + "\" --dossier TWOYEARS --company 001 " + sourceArgs;
    ASSERT_EQ(shell(command + " > \"" + (kestrel / "run.log").string() + "\" 2>&1"), 0)
        << std::ifstream(kestrel / "run.log").rdbuf();
    const fs::path dossier = kestrel / "TWOYEARS";
    ASSERT_TRUE(fs::exists(dossier / "TWOYEARS_DBK_02.DBF"));

    for (const auto& entry : fs::directory_iterator(dossier)) {
      if (entry.path().extension() != ".DBF") continue;
      for (const store::TagCheck& check : store::checkIndexes(entry.path()))
        EXPECT_TRUE(check.ok) << entry.path().filename() << " " << check.tag << ": " << check.problem;
    }

    const fs::path dump = kestrel / "act.tsv";
    // Debian's interpreter, where python3-dbfread is installed.
    const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    ASSERT_EQ(shell(python + " \"" + std::string(M2K_SOURCE_DIR) + "/tests/run/dump_entries.py\" \"" +
                    dossier.string() + "\" TWOYEARS > \"" + dump.string() + "\""),
              0);
    AccountTotals target;
    std::map<std::string, int64_t> documents;  // "bookyear/journal/number" -> sum
    std::ifstream in(dump);
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string> f;
      std::stringstream ss(line);
      for (std::string cell; std::getline(ss, cell, '\t');) f.push_back(cell);
      ASSERT_EQ(f.size(), 5u) << line;
      const int64_t cents = std::stoll(f[4]);
      documents[f[0] + "/" + f[1] + "/" + f[2]] += cents;
      if (f[3].empty()) continue;  // VAT marker lines carry no account and no amount
      Totals& t = target[f[0] + "/" + f[3]];
      ++t.lines;
      t.cents += cents;
    }
    ASSERT_FALSE(documents.empty());
    for (const auto& [doc, sum] : documents) EXPECT_EQ(sum, 0) << doc;

    AccountTotals expected;
    addSourceYear(year0, table0, "1", true, expected);
    addSourceYear(year1, table1, "2", false, expected);
    for (const auto& [account, t] : expected) {
      EXPECT_EQ(target[account].lines, t.lines) << account;
      EXPECT_EQ(target[account].cents, t.cents) << account;
    }
    for (const auto& [account, t] : target) EXPECT_TRUE(expected.count(account)) << account;
  }
};

TEST(FullImportEndToEnd, AccessPrefixedLayout) {
  const fs::path samples = fs::path(M2K_BUILD_DIR) / "samples" / "access-prefixed";
  auto source = run::openAccessSource((samples / "001Soc.MDB").string());
  FullImport check;
  check.importAndCheck("--source-folder \"" + samples.string() + "\"", "access-prefixed", *source, *source,
                       "A_00_Historic", "A_01_Historic");
}

TEST(FullImportEndToEnd, AccessOlderLayout) {
  const fs::path samples = fs::path(M2K_BUILD_DIR) / "samples" / "access-older";
  auto year0 = run::openAccessSource((samples / "001A00.mdb").string());
  auto year1 = run::openAccessSource((samples / "001A01.mdb").string());
  FullImport check;
  check.importAndCheck("--source-folder \"" + samples.string() + "\"", "access-older", *year0, *year1, "Historic",
                       "Historic");
}

TEST(FullImportEndToEnd, SqlServerEdition) {
  auto env = sqlServerEnv();
  if (env.empty()) GTEST_SKIP() << "SQL test server not started (scripts/sql-test-server.sh start)";
  for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
  setenv("PGPASSWORD", env["M2K_SQL_ADMIN_PASSWORD"].c_str(), 1);
  setenv("PGOPTIONS", "-c client_min_messages=warning", 1);
  setenv("MARLIN_SQL_PASSWORD", env["M2K_SQL_ADMIN_PASSWORD"].c_str(), 1);
  const fs::path samples = fs::path(M2K_BUILD_DIR) / "samples" / "sql";
  const std::string psql = "psql -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -U " + env["M2K_SQL_ADMIN"] + " ";
  for (const std::string db : {"PWCOMMON", "PW0001SOC"}) {
    ASSERT_EQ(shell(psql + "-d postgres -f \"" + (samples / (db + ".create.sql")).string() + "\" > /dev/null"), 0);
    ASSERT_EQ(shell(psql + "-d " + db + " -f \"" + (samples / (db + ".sql")).string() + "\" > /dev/null"), 0);
  }
  auto source = run::openSqlServerSource(env["M2K_SQL_SERVER"], env["M2K_SQL_ADMIN"], env["M2K_SQL_ADMIN_PASSWORD"],
                                         "PW0001SOC");
  FullImport check;
  check.importAndCheck("--sql-server " + env["M2K_SQL_SERVER"] + " --login " + env["M2K_SQL_ADMIN"], "sql", *source,
                       *source, "A_00_historic", "A_01_historic");
}

}  // namespace
