// marlin-query as support staff use it: CSV of a query or a table of a real
// Access file, and clear failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct Result {
  int status;
  std::string out;
};

Result query(const std::string& args) {
  std::string cmd = "\"" + std::string(M2K_BIN_DIR) + "/marlin-query\" " + args + " 2>&1";
  Result r{-1, {}};
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    r.status = pclose(p);
  }
  return r;
}

std::string fixture(const std::string& name) {
  // Read only: the tool opens files read only, so the shared original serves.
  return "'" + (std::filesystem::path(M2K_SHARED_DIR) / "fixtures" / "mdb" / name).string() + "'";
}

}  // namespace

TEST(MarlinQuery, PrintsCsvWithQuotedTextsIsoDatesAndEmptyNulls) {
  auto r = query(fixture("nwind.mdb") +
                 " \"SELECT OrderID, ShipName, ShipAddress, ShipRegion, OrderDate, Freight FROM Orders WHERE OrderID IN (10331, 10332) ORDER BY OrderID\"");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "OrderID,ShipName,ShipAddress,ShipRegion,OrderDate,Freight\n"
            "10331,Bon app',\"12, rue des Bouchers\",,1994-11-16 00:00:00,10.1900\n"
            "10332,Mère Paillarde,43 rue St. Laurent,Québec,1994-11-17 00:00:00,52.8400\n");
}

TEST(MarlinQuery, TableInStoredOrderAndLineBreaksQuoted) {
  auto r = query(fixture("DateTestDatabase.mdb") + " --table DateTest");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "IDCol,DateTimeCol,DateCol,TimeCol,LongTextCol,ShortTextCol");
  EXPECT_NE(r.out.find("\n2,9999-"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(",\"New line\r\nin field\",No new line\n"), std::string::npos) << r.out;
}

TEST(MarlinQuery, FailuresSayWhatIsWrong) {
  auto r = query(fixture("nwind.mdb") + " --table NoSuchTable");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("NoSuchTable"), std::string::npos) << r.out;
  // In French unless Dutch is asked for, one language at a time.
  r = query(fixture("nwind.mdb") + " 'SELEC nothing' --language N");
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out.rfind("Query geweigerd", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("Requête"), std::string::npos) << r.out;
  r = query("'" + std::string(M2K_SOURCE_DIR) + "/README.md' --tables");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("n'est pas une base de données Access"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Access-databank"), std::string::npos) << r.out;
  EXPECT_EQ(query("--language X " + fixture("nwind.mdb") + " --tables").status >> 8, 2);
}
