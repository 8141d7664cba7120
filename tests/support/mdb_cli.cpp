#include "mdb_cli.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "support/scratch_folder.h"

namespace mdbcli {
namespace {

constexpr const char* kNull = "~NULL~";

}  // namespace

std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string run(const std::string& command) {
  static const testing_support::ScratchFolder folder("mdb-cli");
  static int count = 0;
  const auto out = folder.path() / ("command" + std::to_string(++count) + ".out");
  int rc = std::system((command + " > " + shellQuoted(out.string())).c_str());
  std::ifstream in(out, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  std::filesystem::remove(out);
  if (rc != 0) throw std::runtime_error("command failed: " + command);
  return text.str();
}

int Table::column(const std::string& name) const {
  for (size_t i = 0; i < header.size(); ++i)
    if (header[i] == name) return int(i);
  return -1;
}

Table exportTable(const std::string& file, const std::string& table) {
  std::string csv = run("mdb-export -0 '" + std::string(kNull) + "' -T '%Y-%m-%d %H:%M:%S' -D '%Y-%m-%d %H:%M:%S' " +
                        shellQuoted(file) + " " + shellQuoted(table));
  // Comma-separated, text in double quotes with doubled inner quotes; quoted
  // text may hold line breaks.
  std::vector<std::vector<std::optional<std::string>>> records;
  std::vector<std::optional<std::string>> record;
  std::string field;
  bool quoted = false, inQuotes = false;
  auto endField = [&] {
    if (!quoted && field == kNull) record.push_back(std::nullopt);
    else record.push_back(field);
    field.clear();
    quoted = false;
  };
  for (size_t i = 0; i < csv.size(); ++i) {
    char c = csv[i];
    if (inQuotes) {
      if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') { field += '"'; ++i; }
      else if (c == '"') inQuotes = false;
      else field += c;
    } else if (c == '"') { inQuotes = quoted = true; }
    else if (c == ',') endField();
    else if (c == '\n') { endField(); records.push_back(std::move(record)); record.clear(); }
    else field += c;
  }
  if (!field.empty() || !record.empty()) { endField(); records.push_back(std::move(record)); }
  Table t;
  if (records.empty()) throw std::runtime_error("no header from mdb-export for " + table);
  for (auto& h : records[0]) t.header.push_back(h.value_or(""));
  t.rows.assign(records.begin() + 1, records.end());
  return t;
}

std::vector<std::string> tables(const std::string& file) {
  std::istringstream in(run("mdb-tables -1 " + shellQuoted(file)));
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

std::string version(const std::string& file) {
  std::string v = run("mdb-ver " + shellQuoted(file));
  while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
  return v;
}

std::string schema(const std::string& file) { return run("mdb-schema " + shellQuoted(file) + " access"); }

}  // namespace mdbcli
