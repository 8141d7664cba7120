// The private SQL test server of scripts/sql-test-server.sh as tests reach it:
// its address and administrator from the file the start script writes (put
// into this process's environment, so that the ODBC layer finds the driver
// and the port), connections as administrator, and databases made for one
// test.
#pragma once
#include <map>
#include <memory>
#include <string>

#include "base/source.h"

namespace testing_support {

struct SqlTestServer {
  bool running = false;
  std::string host, admin, adminPassword;
  std::map<std::string, std::string> env;  // the start script's assignments
};
const SqlTestServer& sqlTestServer();

#define REQUIRE_SQL_SERVER()                 \
  if (!testing_support::sqlTestServer().running) \
  GTEST_SKIP() << "SQL test server not running: start it with scripts/sql-test-server.sh start"

std::unique_ptr<base::Source> openAsAdmin(const std::string& database);
void execSql(base::Source& s, const std::string& sql);
// A name no other test uses at the same time: `stem` and a random number.
std::string uniqueName(const std::string& stem);

// A database made for one test, with the SQL Server objects Marlin's queries
// use (sys.sysobjects, LEN); dropped after.
struct TestDatabase {
  std::string name;
  explicit TestDatabase(std::string n);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;
};

}  // namespace testing_support
