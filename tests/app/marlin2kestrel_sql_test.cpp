// marlin2kestrel on the SQL Server edition: the generated sample loaded into
// the test server (scripts/sql-test-server.sh), reached through ODBC.
#include <algorithm>

#include "cli_fixture.h"

namespace {

class SqlEdition : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    const char* dir = std::getenv("M2K_SQL_STATE_DIR");
    std::ifstream in(std::string(dir ? dir : M2K_SOURCE_DIR "/build/sql-test-server") + "/env");
    for (std::string line; std::getline(in, line);) {
      auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      env[line.substr(0, eq)] = line.substr(eq + 1);
    }
    if (env["M2K_SQL_SERVER"].empty()) GTEST_SKIP() << "SQL test server not running: scripts/sql-test-server.sh start";
    for (auto& [k, v] : env) environment += k + "=" + shellQuoted(v) + " ";
    loadSample();
  }

  // psql as the server's administrator, as the sample's own notes say.
  void psql(const std::string& database, const std::string& file) {
    Ran r = run("psql -q -v ON_ERROR_STOP=1 -h " + env["M2K_SQL_SERVER"] + " -U " + env["M2K_SQL_ADMIN"] + " -d " +
                    database + " -f " + shellQuoted(file),
                environment + "PGPASSWORD=" + shellQuoted(env["M2K_SQL_ADMIN_PASSWORD"]));
    ASSERT_EQ(r.status, 0) << r.output;
  }
  void psqlCommand(const std::string& database, const std::string& command) {
    const fs::path file = root / "command.sql";
    std::ofstream(file) << command << "\n";
    psql(database, file.string());
  }

  void loadSample() {
    const std::string dir = sample("sql");
    for (const char* db : {"PWCOMMON", "PW0001SOC"}) {
      psql("postgres", dir + "/" + db + ".create.sql");
      psql(db, dir + "/" + db + ".sql");
    }
  }

  Ran importSql(const std::string& arguments, const std::string& password, const std::string& login = "") {
    return import("--sql-server " + env["M2K_SQL_SERVER"] + " --login " + (login.empty() ? env["M2K_SQL_ADMIN"] : login) +
                      " " + arguments,
                  environment + "MARLIN_SQL_PASSWORD=" + shellQuoted(password));
  }

  std::map<std::string, std::string> env;
  std::string environment;
};

TEST_F(SqlEdition, MasterDataImportInFrenchAndDutch) {
  Ran fr = importSql("--company 001 --master-only --accounts", env["M2K_SQL_ADMIN_PASSWORD"]);
  ASSERT_EQ(fr.status, 0) << fr.output;
  EXPECT_NE(fr.output.find("L'importation s'est déroulée correctement"), std::string::npos);
  Ran check = run(std::string(M2K_BIN_DIR) + "/kestrel-dump --check " + shellQuoted((kestrel / "ACME").string()));
  EXPECT_EQ(check.status, 0) << check.output;
  auto counts = dbfreadCounts(kestrel / "ACME");
  EXPECT_EQ(counts.size(), 16u);
  const auto ids = dbfreadRows(kestrel / "ACME" / "ACME_PARAM.DBF", {"ID"});
  const auto values = dbfreadRows(kestrel / "ACME" / "ACME_PARAM.DBF", {"VALUE"});
  auto at = std::find(ids.begin(), ids.end(), "Socname");
  ASSERT_NE(at, ids.end());
  EXPECT_EQ(values[static_cast<std::size_t>(at - ids.begin())], "Société Démo Marlin 001");
  // The same source gives the same accounts as the Access edition of the sample.
  auto numbers = dbfreadRows(kestrel / "ACME" / "ACME_ACF.DBF", {"NUMBER"});

  fs::remove_all(kestrel);
  fs::create_directories(kestrel);
  Ran nl = importSql("--language N --company 001 --master-only --accounts", env["M2K_SQL_ADMIN_PASSWORD"]);
  ASSERT_EQ(nl.status, 0) << nl.output;
  EXPECT_NE(nl.output.find("Import OK!"), std::string::npos);
  EXPECT_EQ(dbfreadRows(kestrel / "ACME" / "ACME_ACF.DBF", {"NUMBER"}), numbers);

  fs::remove_all(kestrel);
  fs::create_directories(kestrel);
  Ran access = import("--source-folder " + shellQuoted(sample("access-prefixed")) + " --company 001 --master-only --accounts");
  ASSERT_EQ(access.status, 0) << access.output;
  EXPECT_EQ(dbfreadRows(kestrel / "ACME" / "ACME_ACF.DBF", {"NUMBER"}), numbers);
}

TEST_F(SqlEdition, APasswordWithBlanksIsPassedAsTypedAndAppearsNowhere) {
  // The sample's databases were made afresh: a role left by an earlier run owns nothing.
  const std::string login = "m2k_blank_reader", password = "  blank s3cret ";
  psqlCommand("postgres", "DROP ROLE IF EXISTS " + login + "; CREATE ROLE " + login + " LOGIN PASSWORD '" + password + "'");
  for (const char* db : {"PWCOMMON", "PW0001SOC"})
    psqlCommand(db, "GRANT USAGE ON SCHEMA sys TO " + login + "; GRANT SELECT ON ALL TABLES IN SCHEMA public, sys TO " +
                        login);

  // The server tells the blanks apart: without them the login is refused.
  Ran trimmed = importSql("--company 001 --master-only --accounts", "blank s3cret", login);
  EXPECT_EQ(trimmed.status, 1) << trimmed.output;
  Ran r = importSql("--company 001 --master-only --accounts", password, login);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find("s3cret"), std::string::npos);
  EXPECT_EQ(trimmed.output.find("s3cret"), std::string::npos);
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) EXPECT_EQ(readText(e.path()).find("s3cret"), std::string::npos) << e.path();
  EXPECT_EQ(readText(fs::path(M2K_BIN_DIR) / "Marlin2KS.ini").find("s3cret"), std::string::npos);
  for (const char* db : {"PWCOMMON", "PW0001SOC"}) psqlCommand(db, "DROP OWNED BY " + login);
  psqlCommand("postgres", "DROP ROLE " + login);
}

// The full import reconciles with the source read through the server, and
// compares as many accounts, parties and journals as the Access edition of
// the same sample.
TEST_F(SqlEdition, FullImportReconcilesLikeTheAccessEdition) {
  Ran sql = importSql("--company 001", env["M2K_SQL_ADMIN_PASSWORD"]);
  ASSERT_EQ(sql.status, 0) << sql.output;
  const auto fromSql = reportLines({kestrel / "ACME" / "ACME_MIGRATION.json"});
  EXPECT_NE(std::find(fromSql.begin(), fromSql.end(), "outcome|import|succeeded|0"), fromSql.end());
  EXPECT_FALSE(hasLine(fromSql, "difference|"));

  fs::remove_all(kestrel);
  fs::create_directories(kestrel);
  Ran access = import("--source-folder " + shellQuoted(sample("access-prefixed")) + " --company 001");
  ASSERT_EQ(access.status, 0) << access.output;
  const auto fromAccess = reportLines({kestrel / "ACME" / "ACME_MIGRATION.json"});
  auto balance = [](const std::vector<std::string>& lines) {
    return *std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.rfind("balance|", 0) == 0; });
  };
  EXPECT_EQ(balance(fromSql), balance(fromAccess));
}

TEST_F(SqlEdition, RefusedLoginIsReportedWithoutThePassword) {
  Ran r = importSql("--company 001 --master-only", "wrong-secret-123");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("Connection error : "), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("wrong-secret-123"), std::string::npos);
  EXPECT_FALSE(fs::exists(kestrel / "ACME"));
}

}  // namespace
