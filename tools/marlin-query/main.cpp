// marlin-query: runs a query text (or opens a table) on a Marlin source through
// the same source layer the import uses, and prints the rows as CSV.
//
//   marlin-query FILE.mdb 'QUERY TEXT'
//   marlin-query FILE.mdb --table NAME
//   marlin-query FILE.mdb --tables
//   marlin-query --odbc 'CONNECTION TEXT' 'QUERY TEXT' | --table NAME | --tables
#include <iostream>
#include <memory>
#include <string>

#include "run/access_source.h"
#include "run/date_text.h"
#include "run/odbc_source.h"

namespace {

std::string csvField(const base::Value& v) {
  std::string s;
  switch (v.kind) {
    case base::Value::Kind::Null: return "";
    case base::Value::Kind::Decimal: return v.text;
    case base::Value::Kind::DateTime: return run::isoText(v.date);
    default: s = v.asText();
  }
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    q += c;
    if (c == '"') q += '"';
  }
  return q + "\"";
}

int usage() {
  std::cerr << "usage: marlin-query FILE.mdb 'QUERY TEXT' | --table NAME | --tables\n"
               "       marlin-query --odbc 'CONNECTION TEXT' 'QUERY TEXT' | --table NAME | --tables\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4 && argc != 5) return usage();
  int a = 1;
  std::unique_ptr<base::Source> source;
  try {
    if (std::string(argv[a]) == "--odbc") {
      if (argc < 4) return usage();
      source = run::openOdbcSource(argv[a + 1]);
      a += 2;
    } else {
      source = run::openAccessSource(argv[a]);
      a += 1;
    }
    std::string what = argv[a];
    if (what == "--tables") {
      for (const auto& name : source->tableNames()) std::cout << name << "\n";
      return 0;
    }
    std::unique_ptr<base::RowSet> rows;
    if (what == "--table") {
      if (a + 1 >= argc) return usage();
      rows = source->openTable(argv[a + 1]);
    } else {
      if (a + 1 != argc) return usage();
      rows = source->query(what);
    }
    auto cols = rows->columns();
    std::string line;
    for (size_t i = 0; i < cols.size(); ++i) line += (i ? "," : "") + csvField(base::Value::ofText(cols[i]));
    std::cout << line << "\n";
    for (; !rows->eof(); rows->moveNext()) {
      line.clear();
      for (size_t i = 0; i < cols.size(); ++i) line += (i ? "," : "") + csvField(rows->field(cols[i]));
      std::cout << line << "\n";
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
