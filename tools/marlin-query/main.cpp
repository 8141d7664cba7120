// marlin-query: runs a query text (or opens a table) on a Marlin source through
// the same source layer the import uses, and prints the rows as CSV.
//
//   marlin-query FILE.mdb 'QUERY TEXT'
//   marlin-query FILE.mdb --table NAME
//   marlin-query FILE.mdb --tables
//   marlin-query --odbc 'CONNECTION TEXT' 'QUERY TEXT' | --table NAME | --tables
// Faults are told in French, or in Dutch with --language N.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/language_option.h"
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
  std::cerr << "Usage / Gebruik:\n"
               "  marlin-query [--language F|N] FILE.mdb 'QUERY TEXT' | --table NAME | --tables\n"
               "  marlin-query [--language F|N] --odbc 'CONNECTION TEXT' 'QUERY TEXT' | --table NAME | --tables\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::optional<std::string> language = tools::takeLanguage(args);
  if (!language) return usage();
  const bool french = *language != "N";
  if (args.size() < 2 || args.size() > 4) return usage();
  size_t a = 0;
  std::unique_ptr<base::Source> source;
  try {
    if (args[a] == "--odbc") {
      if (args.size() < 3) return usage();
      source = run::openOdbcSource(args[a + 1]);
      a += 2;
    } else {
      source = run::openAccessSource(args[a]);
      a += 1;
    }
    const std::string& what = args[a];
    if (what == "--tables") {
      for (const auto& name : source->tableNames()) std::cout << name << "\n";
      return 0;
    }
    std::unique_ptr<base::RowSet> rows;
    if (what == "--table") {
      if (a + 1 >= args.size()) return usage();
      rows = source->openTable(args[a + 1]);
    } else {
      if (a + 1 != args.size()) return usage();
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
    std::cerr << base::errorText(e, french) << "\n";
    return 1;
  }
  return 0;
}
