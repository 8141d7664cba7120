// Writes a sample dossier in one of the three forms Marlin keeps a company in:
// - Access, prefixed layout: Common.mdb and {code}Soc.MDB holding the "D_"
//   tables and, per book year nn, the "A_nn_" tables;
// - Access, older layout: Common.mdb, {code}Soc.MDB with bare table names and
//   one {code}Aii.mdb per book year;
// - SQL Server edition: SQL scripts that create and fill the databases
//   PWCOMMON and "PW0" + code + "SOC" on the PostgreSQL test server that
//   stands in for SQL Server. Load them in the order of databases.txt:
//     psql -d postgres -f <db>.create.sql && psql -d <db> -f <db>.sql
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "marlin_dossier.h"

namespace marlin {

enum class Form { AccessPrefixed, AccessOlder, Sql };

// "access-prefixed", "access-older", "sql"; throws std::invalid_argument.
Form parseForm(const std::string& name);

struct WrittenTable {
  std::string name;  // as stored in the file or database
  int64_t rows = 0;
};
struct WrittenFile {
  std::filesystem::path path;
  std::string database;  // SQL form: the database the script fills
  std::vector<WrittenTable> tables;
};

// Table names as each form stores them.
std::string companyTableName(Form form, const std::string& bare);
std::string yearTableName(Form form, int year, const std::string& bare);
std::string companyFileName(const Dossier& d);           // {code}Soc.MDB
std::string yearFileName(const Dossier& d, int year);    // {code}Aii.mdb
std::string sqlDatabaseName(const Dossier& d);           // PW0{code}SOC

// The SQL edition's statements that create one table and fill it with rows
// (at least one), as the scripts hold them; tests build small hand-made
// sources with them.
std::string sqlCreateTable(const std::string& name, const std::vector<jet4::Column>& columns);
std::string sqlInsert(const std::string& name, const std::vector<jet4::Column>& columns, const std::vector<Row>& rows);

// Creates `dir` when needed and writes the form's files into it, replacing
// files of the same names. Throws jet4::Error or std::runtime_error.
std::vector<WrittenFile> writeDossier(const Dossier& d, Form form, const std::filesystem::path& dir);

}  // namespace marlin
