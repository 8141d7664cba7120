// The embedded templates checked byte by byte against the layouts Kestrel
// expects, read back by an independent DBF reader, and their indexes walked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "store/engine/cdx_file.h"
#include "store/engine/index_check.h"
#include "store/templates/template_catalog.h"
#include "store/templates/template_resources.h"
#include "support/dbf_reader.h"
#include "support/scratch_folder.h"
#include "support/bilingual_print.h"

namespace fs = std::filesystem;
using store::templates::findResource;
using store::templates::TemplateDef;
using store::templates::templateCatalog;
using namespace testing_support;

namespace {

uint32_t le32(std::string_view b, size_t at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t le16(std::string_view b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

std::string_view resource(const char* type, const std::string& name) {
  auto r = findResource(type, name);
  return r ? *r : std::string_view();
}

TEST(Templates, HeadersAndFieldDescriptorsMatchTheLayouts) {
  for (const TemplateDef& t : templateCatalog()) {
    SCOPED_TRACE(t.name);
    std::string_view dbf = resource("DBF", t.name);
    const size_t n = t.fields.size(), headerLength = 32 + 32 * n + 2, recordLength = t.recordLength();
    ASSERT_GE(dbf.size(), headerLength + 1);
    EXPECT_EQ(uint8_t(dbf[0]), t.version);
    EXPECT_EQ(le32(dbf, 4), uint32_t(t.rowCount));
    EXPECT_EQ(le16(dbf, 8), headerLength);
    EXPECT_EQ(le16(dbf, 10), recordLength);
    EXPECT_EQ(dbf.substr(12, 16), std::string(16, '\0'));
    EXPECT_EQ(uint8_t(dbf[28]), t.name == "CSF" ? 0x00 : 0x01);
    const bool ansi = t.table == "CSF" || t.table == "DBK_01" || t.table == "COUNTRY";
    EXPECT_EQ(uint8_t(dbf[29]), ansi ? 0x03 : 0x00);
    EXPECT_EQ(dbf.substr(30, 2), std::string(2, '\0'));
    uint32_t offset = 1;
    for (size_t i = 0; i < n; ++i) {
      std::string_view d = dbf.substr(32 + 32 * i, 32);
      const std::string& name = t.fields[i].name;
      EXPECT_EQ(d.substr(0, 11), name + std::string(11 - name.size(), '\0'));
      EXPECT_EQ(d[11], t.fields[i].type) << name;
      EXPECT_EQ(le32(d, 12), offset) << name;
      EXPECT_EQ(uint8_t(d[16]), t.fields[i].width) << name;
      EXPECT_EQ(uint8_t(d[17]), t.fields[i].decimals) << name;
      EXPECT_EQ(d.substr(18), std::string(14, '\0')) << name;
      offset += t.fields[i].width;
    }
    EXPECT_EQ(dbf.substr(32 + 32 * n, 2), std::string("\x0D\0", 2));
    EXPECT_EQ(dbf.size(), headerLength + recordLength * t.rowCount + 1);
    EXPECT_EQ(dbf.back(), '\x1A');
    // Every pre-filled record is live.
    for (int r = 0; r < t.rowCount; ++r) ASSERT_EQ(dbf[headerLength + r * recordLength], ' ') << "record " << r + 1;
  }
}

TEST(Templates, IndexAndMemoResourcesExistExactlyWhereKestrelHasThem) {
  for (const TemplateDef& t : templateCatalog()) {
    SCOPED_TRACE(t.name);
    EXPECT_EQ(findResource("CDX", t.name).has_value(), t.name != "DIC");
    EXPECT_EQ(findResource("FPT", t.name).has_value(), t.name == "MEMO");
  }
  std::string_view fpt = resource("FPT", "MEMO");
  ASSERT_EQ(fpt.size(), 512u);
  EXPECT_EQ(fpt.substr(0, 4), std::string("\0\0\0\x01", 4));
  EXPECT_EQ(fpt.substr(4, 4), std::string("\0\0\x04\0", 4));
  EXPECT_EQ(fpt.substr(8), std::string(504, '\0'));
  EXPECT_FALSE(findResource("DBF", "NOSUCH").has_value());
  EXPECT_FALSE(findResource("dbf", "ACF").has_value());
}

class WrittenTemplates : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new ScratchFolder;
    for (const TemplateDef& t : templateCatalog())
      for (const char* type : {"DBF", "CDX", "FPT"})
        if (auto bytes = findResource(type, t.name)) writeText(folder->path() / (t.name + "." + type), std::string(*bytes));
  }
  static void TearDownTestSuite() { delete folder; }
  static ScratchFolder* folder;
};
ScratchFolder* WrittenTemplates::folder = nullptr;

TEST_F(WrittenTemplates, EveryTagHasItsKeyExpressionFlagsAndLength) {
  for (const TemplateDef& t : templateCatalog()) {
    if (!t.hasCdx()) continue;
    SCOPED_TRACE(t.name);
    std::vector<store::cdx::TagSpec> stored;
    base::Bilingual error;
    ASSERT_TRUE(store::cdx::readCdxSpecs(folder->path() / (t.name + ".CDX"), stored, error)) << error;
    ASSERT_EQ(stored.size(), t.tags.size());
    for (const auto& tag : t.tags) {
      auto it = std::find_if(stored.begin(), stored.end(), [&](const auto& s) { return s.name == tag.name; });
      ASSERT_NE(it, stored.end()) << tag.name;
      EXPECT_EQ(it->keyExpr, tag.keyExpr) << tag.name;
      EXPECT_EQ(it->forExpr, "") << tag.name;
      EXPECT_EQ(it->unique, tag.unique) << tag.name;
      EXPECT_EQ(it->descending, tag.descending) << tag.name;
      EXPECT_EQ(it->keyLength, tag.keyLength) << tag.name;
    }
  }
}

TEST_F(WrittenTemplates, IndexCheckerPassesOnEveryIndex) {
  for (const TemplateDef& t : templateCatalog()) {
    if (!t.hasCdx()) continue;
    auto checks = store::checkIndexes(folder->path() / (t.name + ".DBF"));
    EXPECT_EQ(checks.size(), t.tags.size()) << t.name;
    for (const auto& c : checks) {
      EXPECT_TRUE(c.ok) << t.name << " " << c.tag << ": " << c.problem;
      EXPECT_EQ(c.keyCount, size_t(t.rowCount)) << t.name << " " << c.tag;
    }
  }
}

// An independent reader opens every template, decoding its text strictly as
// Windows-1252, and finds the rows the catalogue holds; the values that need
// the writer's care read back as Kestrel ships them: accented text, a parameter
// continued in VALUEEXT, numbers, dates, logicals and nulls.
TEST_F(WrittenTemplates, IndependentReaderSeesTheRowsKestrelShips) {
  const std::map<std::string, long> counts = testing_support::dbfreadCounts(folder->path());
  for (const TemplateDef& t : templateCatalog()) {
    auto it = counts.find(t.name + ".DBF");
    ASSERT_NE(it, counts.end()) << t.name;
    EXPECT_EQ(it->second, t.rowCount) << t.name;
  }
  auto has = [](const std::string& table, const std::vector<std::string>& fields, const std::string& row) {
    const std::vector<std::string> rows = testing_support::dbfreadRows(folder->path() / (table + ".DBF"), fields);
    return std::find(rows.begin(), rows.end(), row) != rows.end();
  };
  EXPECT_TRUE(has("PARAM", {"ID", "VALUE", "VALUEEXT"},
                  "SigCsParamZone6.Params|NAME=BICAUTO,TIT1=BIC,USRTYP=AL,OBJTYP=TextBox,SIGTYP=110,TAB=,"
                  "LEN=11,MSK=AAAAAAAAAAA,CUS-L1=5155,CUS-T1=820,CUS-S1=2,SUP-L1=4750,SUP-T1=820,SUP-S1=2,GEN-L1=,"
                  "GEN-T1=,GEN-S1=,GEN-L2=,GEN-T2=,GEN-S2=,TIT2=BIC,CUS-L2=100,CUS-T2=900,CUS-S2=6,SUP-L2=100,S|UP-T2="
                  "900,SUP-S2=6,ART-L1=,ART-T1=,ART-S1=,ART-L2=,ART-T2=,ART-S2=,AST-L1=,AST-T1=,AST-S1=,AST-L2=,"
                  "AST-T2=,AST-S2=,INCL=,EXCL="));
  EXPECT_TRUE(has("TABLE", {"TTYPE", "TID", "TDESC"}, "LANGUAGE|F|Français"));
  EXPECT_TRUE(has("DBK_01", {"DBKID", "DBKDESC", "DBKTYPE", "DBKTYPE2"}, "OPDCLO|OPERATIONS DE CLÔTURE DE L'EXERCICE|5|2"));
  EXPECT_TRUE(has("DICTREENL", {"LIB1", "LIBALT", "PARENTNDX"}, "Diverse posten|Opérations diverses|4"));
  EXPECT_TRUE(has("COUNTRYNL", {"COUNTRYID", "NAME"}, "BE|BELGIË"));
  EXPECT_TRUE(has("CURRENCY", {"CURRENCYID", "DECNUM", "RATE_DATE", "RATE", "CURRINS"}, "BEF|0|1999-01-01|40.3399|True"));
  EXPECT_TRUE(has("CURRENCY", {"CURRENCYID", "DECNUM", "RATE_DATE", "RATE", "CURRINS"}, "USD|2||0.0|"));
  EXPECT_TRUE(has("CODEVAT", {"CODE", "USRCODE1", "USRCODE2", "DATE_BEG", "DATE_END"}, "111100|M|H|1993-01-01|2099-12-31"));
}

}  // namespace
