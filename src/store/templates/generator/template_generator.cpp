// Build-time program: writes every template of the catalogue as real table files
// through our table engine (rows from the data files, index tags kept by the
// engine), then emits those files as a C++ source of byte arrays that the
// program is compiled with.
//
//   m2k_template_generator DATA_DIR WORK_DIR OUTPUT.cpp
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "store/engine/field.h"
#include "store/engine/table.h"
#include "store/templates/template_catalog.h"

namespace fs = std::filesystem;
using store::templates::FieldDef;
using store::templates::TemplateDef;

namespace {

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The data files are CSV with "#" note lines before the header line.
std::vector<std::vector<std::string>> readCsv(const fs::path& file) {
  std::string text = readFile(file);
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false, atLineStart = true, comment = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (atLineStart) {
      atLineStart = false;
      comment = c == '#';
    }
    if (comment) {
      if (c == '\n') atLineStart = true;
      continue;
    }
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(cell);
      cell.clear();
    } else if (c == '\n') {
      row.push_back(cell);
      rows.push_back(row);
      row.clear();
      cell.clear();
      atLineStart = true;
    } else if (c != '\r') {
      cell += c;
    }
  }
  if (!cell.empty() || !row.empty()) {
    row.push_back(cell);
    rows.push_back(row);
  }
  return rows;
}

[[noreturn]] void die(const std::string& message) {
  std::cerr << "m2k_template_generator: " << message << "\n";
  std::exit(1);
}

int fieldNamed(const store::Table& table, const std::string& templateName, const std::string& name) {
  int index = table.fieldIndex(name);
  if (index < 0) die(templateName + ": data column " + name + " is not a field");
  return index;
}

// Data files hold values in their stored text form: numbers as written, dates
// as YYYYMMDD, logicals as T/F.
bool putValue(store::Table& table, int field, const std::string& value) {
  switch (table.fields()[field].type) {
    case 'C':
      return table.setText(field, value);
    case 'N':
      return table.setNumber(field, store::parseNumber(value));
    case 'D': {
      int32_t day = store::parseDateField(value);
      return day != 0 && table.setDate(field, day);
    }
    case 'L':
      return table.setLogical(field, value == "T");
    default:
      return false;
  }
}

store::TableLayout layoutOf(const TemplateDef& t) {
  store::TableLayout layout;
  for (const auto& f : t.fields) {
    store::FieldDef field;
    field.name = f.name;
    field.type = f.type;
    field.width = static_cast<uint8_t>(f.width);
    field.decimals = static_cast<uint8_t>(f.decimals);
    layout.fields.push_back(field);
  }
  layout.flags = t.flags;
  layout.codePage = t.codePage;
  for (const auto& tag : t.tags) {
    store::TagDef def;
    def.name = tag.name;
    def.keyExpr = tag.keyExpr;
    def.unique = tag.unique;
    def.descending = tag.descending;
    layout.tags.push_back(def);
  }
  return layout;
}

void writeTemplate(const TemplateDef& t, const fs::path& dataDir, const fs::path& workDir) {
  const fs::path dbf = workDir / (t.name + ".DBF");
  for (const char* ext : {".DBF", ".CDX", ".FPT"}) fs::remove(workDir / (t.name + ext));
  base::Bilingual error;
  std::unique_ptr<store::Table> table = store::Table::create(dbf, layoutOf(t), error);
  if (!table) die(t.name + ": " + error.french);

  int rows = 0;
  if (!t.dataFile.empty()) {
    auto csv = readCsv(dataDir / t.dataFile);
    if (csv.empty()) die(t.dataFile + " is empty");
    std::vector<int> columns;
    for (const std::string& name : csv[0]) columns.push_back(fieldNamed(*table, t.name, name));
    for (size_t r = 1; r < csv.size(); ++r) {
      if (csv[r].size() != columns.size()) die(t.dataFile + ": row " + std::to_string(r) + " has the wrong column count");
      table->appendBlank();
      for (size_t c = 0; c < columns.size(); ++c)
        if (!csv[r][c].empty() && !putValue(*table, columns[c], csv[r][c]))
          die(t.dataFile + ": row " + std::to_string(r) + ": bad value \"" + csv[r][c] + "\"");
      ++rows;
    }
  }
  if (rows != t.rowCount)
    die(t.name + ": " + std::to_string(rows) + " rows, the catalogue says " + std::to_string(t.rowCount));
  if (!table->close(error)) die(t.name + ": " + error.french);
  bool memo = std::any_of(t.fields.begin(), t.fields.end(), [](const auto& f) { return f.type == 'M'; });
  if (memo != (t.version == 0xF5) || table->version() != t.version)
    die(t.name + ": the version byte does not say whether the table has memo fields");
}

void emitArray(std::ostream& out, const std::string& id, const std::string& bytes) {
  out << "const unsigned char " << id << "[] = {";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 24 == 0) out << "\n";
    out << static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << ",";
  }
  out << "0};\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) die("usage: m2k_template_generator DATA_DIR WORK_DIR OUTPUT.cpp");
  const fs::path dataDir = argv[1], workDir = argv[2], output = argv[3];
  fs::create_directories(workDir);

  struct Entry {
    std::string type, name, id;
    size_t size;
  };
  std::vector<Entry> entries;
  std::ostringstream arrays;
  for (const TemplateDef& t : store::templates::templateCatalog()) {
    writeTemplate(t, dataDir, workDir);
    for (const char* type : {"DBF", "CDX", "FPT"}) {
      const fs::path file = workDir / (t.name + "." + type);
      bool wanted = std::string(type) == "DBF" || (std::string(type) == "CDX" ? t.hasCdx() : t.hasFpt());
      if (!wanted) continue;
      if (!fs::exists(file)) die(file.string() + " was not written");
      std::string id = "k" + std::string(type) + "_" + t.name;
      std::string bytes = readFile(file);
      emitArray(arrays, id, bytes);
      entries.push_back(Entry{type, t.name, id, bytes.size()});
    }
  }

  std::ofstream out(output.string() + ".tmp", std::ios::binary);
  out << "// Generated by m2k_template_generator from the template catalogue and its data files.\n"
         "#include \"store/templates/template_resources.h\"\n\nnamespace store::templates {\nnamespace {\n\n"
      << arrays.str()
      << "\nstruct Resource {\n  const char* type;\n  const char* name;\n  const unsigned char* bytes;\n"
         "  unsigned long size;\n};\n\nconst Resource kResources[] = {\n";
  for (const Entry& e : entries)
    out << "    {\"" << e.type << "\", \"" << e.name << "\", " << e.id << ", " << e.size << "UL},\n";
  out << "};\n\n}  // namespace\n\n"
         "std::optional<std::string_view> findResource(std::string_view type, std::string_view name) {\n"
         "  for (const Resource& r : kResources)\n"
         "    if (type == r.type && name == r.name)\n"
         "      return std::string_view(reinterpret_cast<const char*>(r.bytes), r.size);\n"
         "  return std::nullopt;\n}\n\n}  // namespace store::templates\n";
  out.close();
  if (!out) die("cannot write " + output.string());
  fs::rename(output.string() + ".tmp", output);
  return 0;
}
