// The layouts of the tables every new Kestrel dossier is made of: fields, index
// tags and header marks of each template, and which data file fills it. The
// template generator builds the embedded files from this list; the tests check
// the embedded files against it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace store::templates {

struct FieldDef {
  std::string name;
  char type;  // C, N, D, L, M
  int width;
  int decimals;
};

struct TagDef {
  std::string name;
  std::string keyExpr;  // stored text, exactly as Kestrel expects it
  int keyLength;        // length of the evaluated key
  bool unique;
  bool descending;
};

struct TemplateDef {
  std::string name;      // resource name: table name, Dutch editions end in "NL"
  std::string table;     // table name in a dossier (the edition's plain name)
  uint8_t version;       // 0x03, or 0xF5 with an FPT memo file
  uint8_t flags;         // 0x01: structural CDX present
  uint8_t codePage;      // 0x03 Windows ANSI, 0x00 unmarked
  std::vector<FieldDef> fields;
  std::vector<TagDef> tags;  // empty: no CDX resource
  std::string dataFile;      // CSV file of the rows (under data/), empty for an empty table
  int rowCount;              // rows the data file holds

  bool hasCdx() const { return !tags.empty(); }
  bool hasFpt() const { return version == 0xF5; }
  int recordLength() const;
};

// Every template, French editions first in dossier order, then the Dutch editions.
const std::vector<TemplateDef>& templateCatalog();
const TemplateDef* findTemplate(const std::string& name);

}  // namespace store::templates
