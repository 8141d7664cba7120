#include "support/sql_test_server.h"

#include <cstdlib>
#include <fstream>
#include <random>

#include "run/odbc_source.h"

namespace testing_support {

const SqlTestServer& sqlTestServer() {
  static const SqlTestServer s = [] {
    SqlTestServer out;
    const char* dir = std::getenv("M2K_SQL_STATE_DIR");
    std::ifstream in(std::string(dir ? dir : M2K_BUILD_DIR "/sql-test-server") + "/env");
    for (std::string line; std::getline(in, line);) {
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      setenv(key.c_str(), value.c_str(), 1);
      out.env[key] = value;
    }
    out.host = out.env["M2K_SQL_SERVER"];
    out.admin = out.env["M2K_SQL_ADMIN"];
    out.adminPassword = out.env["M2K_SQL_ADMIN_PASSWORD"];
    out.running = !out.host.empty();
    return out;
  }();
  return s;
}

std::unique_ptr<base::Source> openAsAdmin(const std::string& database) {
  const SqlTestServer& s = sqlTestServer();
  return run::openSqlServerSource(s.host, s.admin, s.adminPassword, database);
}

void execSql(base::Source& s, const std::string& sql) { s.query(sql); }

std::string uniqueName(const std::string& stem) {
  std::random_device rd;
  return stem + std::to_string(rd() % 100000000);
}

TestDatabase::TestDatabase(std::string n) : name(std::move(n)) {
  auto admin = openAsAdmin("postgres");
  execSql(*admin, "DROP DATABASE IF EXISTS \"" + name + "\" WITH (FORCE)");
  execSql(*admin, "CREATE DATABASE \"" + name + "\"");
  auto db = openAsAdmin(name);
  execSql(*db, "CREATE SCHEMA sys");
  execSql(*db,
          "CREATE VIEW sys.sysobjects AS SELECT upper(c.relname)::varchar(128) AS name, 'U'::varchar(2) AS xtype "
          "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'public' AND c.relkind = 'r'");
  execSql(*db, "CREATE FUNCTION len(text) RETURNS integer LANGUAGE sql IMMUTABLE AS 'SELECT length(rtrim($1))'");
}

TestDatabase::~TestDatabase() {
  try {
    execSql(*openAsAdmin("postgres"), "DROP DATABASE IF EXISTS \"" + name + "\" WITH (FORCE)");
  } catch (...) {
  }
}

}  // namespace testing_support
