// The SQL Server edition against a real server through ODBC: the private test
// server of scripts/sql-test-server.sh, a PostgreSQL cluster registered under
// the driver name "SQL Server", given a small compatibility schema here
// (sys.sysobjects, len()) so the SQL Server texts run unchanged.
#include <gtest/gtest.h>

#include "run/odbc_source.h"
#include "run/source_discovery.h"
#include "support/sql_test_server.h"

namespace {

using testing_support::execSql;
using testing_support::openAsAdmin;
using testing_support::sqlTestServer;
using testing_support::TestDatabase;
using testing_support::uniqueName;

}  // namespace

TEST(SqlServerSource, ConnectionTextKeepsValuesAsTypedAndBracesSpecialOnes) {
  // The password keeps its blanks: braces keep ODBC from dropping them.
  EXPECT_EQ(run::sqlServerConnectionText("  SRV\\SQL2008 ", " sa ", " p;w d ", "PW0001SOC"),
            "driver={SQL Server};server=SRV\\SQL2008;uid=sa;pwd={ p;w d };database=PW0001SOC");
  EXPECT_EQ(run::sqlServerConnectionText("srv", "sa", "pw ", "PWCOMMON"),
            "driver={SQL Server};server=srv;uid=sa;pwd={pw };database=PWCOMMON");
  EXPECT_EQ(run::sqlServerConnectionText("srv", "a{b", "x}y", "PWCOMMON"),
            "driver={SQL Server};server=srv;uid={a{b};pwd={x}}y};database=PWCOMMON");
  EXPECT_EQ(run::sqlServerConnectionText("srv", "", "", "PWCOMMON"), "driver={SQL Server};server=srv;uid=;pwd=;database=PWCOMMON");
}

TEST(SqlServerSource, BookYearsTablesValuesAndQueriesOnARealServer) {
  REQUIRE_SQL_SERVER();
  TestDatabase db(uniqueName("PW0T") + "SOC");
  auto admin = openAsAdmin(db.name);
  for (const char* t : {"A_00_Period", "A_01_Period", "A_1X_Period", "A_02Period"})
    execSql(*admin, std::string("CREATE TABLE ") + t + " (PeriodID integer, BeginDate timestamp)");
  execSql(*admin, "CREATE TABLE D_AcctGeneral (Type integer, GeneralID varchar(20), WordingFR varchar(40), Balance numeric(19,4))");
  execSql(*admin, "INSERT INTO D_AcctGeneral VALUES (0, '400000', 'Clients liégeois', 12.34), (0, '5500001 ', 'Banque', -0.5),"
               " (3, '123456789', 'Titre', NULL), (0, '60', NULL, 0)");
  execSql(*admin, "INSERT INTO A_01_Period VALUES (1, '1899-12-30 00:00:00'), (2, '2024-02-29 13:45:10')");
  // A text longer than one buffer of the driver comes back in several parts.
  execSql(*admin, "CREATE TABLE D_Note (Body text)");
  execSql(*admin, "INSERT INTO D_Note VALUES (repeat('é0123456789', 500))");

  // A login whose password needs braces in the connection text and begins
  // and ends with a blank.
  const std::string login = uniqueName("m2k_reader");
  execSql(*admin, "CREATE ROLE " + login + " LOGIN PASSWORD ' p;w d '");
  execSql(*admin, "GRANT USAGE ON SCHEMA sys TO " + login);
  execSql(*admin, "GRANT SELECT ON ALL TABLES IN SCHEMA public, sys TO " + login);
  struct DropRole {
    std::string name;
    ~DropRole() {
      try {
        execSql(*openAsAdmin("postgres"), "DROP ROLE IF EXISTS " + name);
      } catch (...) {
      }
    }
  } dropRole{login};
  std::unique_ptr<base::Source> src;
  {
    auto s = run::openSqlServerSource(sqlTestServer().host, " " + login + " ", " p;w d ", db.name);
    src = std::move(s);
  }

  EXPECT_EQ(run::lastBookYearIndexSql(*src), 1);
  EXPECT_TRUE(src->hasTable("A_00_PERIOD"));
  EXPECT_FALSE(src->hasTable("A_05_PERIOD"));
  auto names = src->tableNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "D_ACCTGENERAL"), names.end());

  auto len = src->query("SELECT MAX(LEN(GeneralID)) AS xLenGen, MAX(GeneralID) AS Expr1 FROM D_AcctGeneral WHERE (Type = 0)");
  EXPECT_EQ(len->field("xLenGen").asText(), "7");  // trailing blanks do not count
  EXPECT_EQ(len->field("EXPR1").asText(), "60");

  auto rows = src->query("SELECT * FROM D_AcctGeneral WHERE Type = ? ORDER BY GeneralID", {base::Value::ofInt(0)});
  EXPECT_EQ(rows->recordCount(), 3);
  EXPECT_EQ(rows->field("WordingFR").asText(), "Clients liégeois");
  base::Value balance = rows->field("Balance");
  EXPECT_EQ(balance.kind, base::Value::Kind::Decimal);
  EXPECT_EQ(balance.text, "12.3400");
  rows->moveNext();
  EXPECT_DOUBLE_EQ(rows->field("Balance").number, -0.5);
  rows->moveLast();
  EXPECT_TRUE(rows->field("WordingFR").isNull());
  EXPECT_FALSE(rows->field("WordingFR").present());

  auto periods = src->openTable("A_01_Period");
  base::Value first = periods->field("BeginDate");
  ASSERT_EQ(first.kind, base::Value::Kind::DateTime);
  EXPECT_EQ(first.date.year, 1899);
  periods->moveNext();
  EXPECT_EQ(periods->field("BeginDate").asText(), "29/02/2024 13:45:10");
  std::string body;
  for (int i = 0; i < 500; ++i) body += "é0123456789";
  EXPECT_EQ(src->openTable("D_Note")->field("Body").asText(), body);
  EXPECT_THROW(src->query("SELECT * FROM A_07_Historic"), base::SourceError);
}

TEST(SqlServerSource, RefusedLoginGivesAMessageWithoutThePassword) {
  REQUIRE_SQL_SERVER();
  const std::string wrong = "Wr0ng;Secret";
  try {
    run::openSqlServerSource(sqlTestServer().host, sqlTestServer().admin, wrong, "postgres");
    FAIL() << "a wrong password was accepted";
  } catch (const base::SourceError& e) {
    std::string m = e.what();
    EXPECT_NE(m.find("authentication failed"), std::string::npos) << m;
    EXPECT_EQ(m.find("Wr0ng"), std::string::npos) << m;
    EXPECT_EQ(m.find("Secret"), std::string::npos) << m;
  }
  EXPECT_THROW(run::openSqlServerSource(sqlTestServer().host, sqlTestServer().admin, sqlTestServer().adminPassword, "PW0NOSUCHSOC"),
               base::SourceError);
  // A connection text typed whole (as marlin-query takes it) keeps its password out too.
  try {
    run::openOdbcSource("driver={SQL Server};server=" + sqlTestServer().host + ";uid=" + sqlTestServer().admin +
                        ";pwd={Br}}aced;Secret};database=postgres");
    FAIL() << "a wrong password was accepted";
  } catch (const base::SourceError& e) {
    EXPECT_EQ(std::string(e.what()).find("Secret"), std::string::npos) << e.what();
  }
}

TEST(SqlServerSource, CompanyListFromPwcommon) {
  REQUIRE_SQL_SERVER();
  TestDatabase common("PWCOMMON");
  execSql(*openAsAdmin(common.name), "CREATE TABLE SOCIETYLIST (SOCIETYID integer, NAME varchar(60));"
                              "INSERT INTO SOCIETYLIST VALUES (1234, 'Acme'), (7, 'Acme'), (NULL, 'Nobody'), (5, ''),"
                              " (150, 'Gamma'), (12, 'Bêta')");
  auto items = run::companyListItems(*openAsAdmin(common.name));
  EXPECT_EQ(items, (std::vector<std::string>{"007 - Acme", "012 - Bêta", "150 - Gamma", "1234Acme"}));
  EXPECT_EQ(run::companyCodeOfItem(items.back()), "123");
}
