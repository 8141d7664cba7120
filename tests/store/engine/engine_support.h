// Helpers of the table engine tests: tables laid out as the dossier templates,
// and the index check every test runs on the tables it wrote.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "store/engine/index_check.h"
#include "store/engine/table.h"
#include "store/templates/template_catalog.h"
#include "support/bilingual_print.h"

namespace enginetest {

inline store::TableLayout layoutOf(const std::string& templateName) {
  const store::templates::TemplateDef* def = store::templates::findTemplate(templateName);
  EXPECT_NE(def, nullptr) << templateName;
  store::TableLayout layout;
  if (!def) return layout;
  for (const auto& f : def->fields)
    layout.fields.push_back(store::FieldDef{f.name, f.type, uint8_t(f.width), uint8_t(f.decimals), 0});
  for (const auto& t : def->tags) layout.tags.push_back(store::TagDef{t.name, t.keyExpr, "", t.unique, t.descending});
  layout.flags = def->flags;
  layout.codePage = def->codePage;
  return layout;
}

inline std::unique_ptr<store::Table> createTable(const std::filesystem::path& file, const store::TableLayout& layout) {
  base::Bilingual error;
  auto t = store::Table::create(file, layout, error);
  EXPECT_TRUE(t) << error;
  return t;
}

inline void closeTable(std::unique_ptr<store::Table>& t) {
  base::Bilingual error;
  EXPECT_TRUE(t->close(error)) << error;
  t.reset();
}

// Every tag of the table's CDX agrees with its records.
inline void expectIndexesAgree(const std::filesystem::path& dbf, size_t expectedTags) {
  auto checks = store::checkIndexes(dbf);
  EXPECT_EQ(checks.size(), expectedTags) << dbf;
  for (const auto& c : checks) EXPECT_TRUE(c.ok) << dbf << " tag " << c.tag << ": " << c.problem;
}

inline void set(store::Table& t, const char* field, const std::string& utf8) {
  int f = t.fieldIndex(field);
  ASSERT_GE(f, 0) << field;
  EXPECT_TRUE(t.setText(f, utf8)) << field << " = " << utf8;
}

inline std::string get(const store::Table& t, const char* field) {
  int f = t.fieldIndex(field);
  EXPECT_GE(f, 0) << field;
  return f < 0 ? std::string() : t.text(f);
}

}  // namespace enginetest
