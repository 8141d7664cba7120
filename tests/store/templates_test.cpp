// The embedded templates checked byte by byte against the layouts Kestrel
// expects, read back by an independent DBF reader, and their indexes walked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <map>

#include "store/engine/cdx_file.h"
#include "store/engine/index_check.h"
#include "support/scratch_folder.h"
#include "store/templates/template_catalog.h"
#include "store/templates/template_resources.h"

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

TEST(Templates, CatalogueHasKestrelsRecordLengthsAndFieldCounts) {
  // Record lengths as Kestrel lays them out.
  std::map<std::string, int> lengths{{"ACF", 417}, {"ACT", 318}, {"CSF", 534}, {"DBK_01", 305}, {"PARAM", 544},
                                     {"TABLE", 51}, {"ZIPCODE", 42}, {"MEMO", 31}};
  for (const auto& [name, length] : lengths) EXPECT_EQ(store::templates::findTemplate(name)->recordLength(), length) << name;
  EXPECT_EQ(store::templates::findTemplate("ACF")->fields.size(), 35u);
  EXPECT_EQ(store::templates::findTemplate("ACT")->fields.size(), 38u);
  EXPECT_EQ(store::templates::findTemplate("CSF")->fields.size(), 40u);
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
  // Offsets Kestrel reads at fixed places.
  auto offsetOf = [](const std::string& table, size_t field) {
    return le32(resource("DBF", table), 32 + 32 * field + 12);
  };
  EXPECT_EQ(offsetOf("ACF", 34), 416u);
  EXPECT_EQ(offsetOf("ACT", 37), 315u);
  EXPECT_EQ(offsetOf("CSF", 39), 523u);
  EXPECT_EQ(offsetOf("PARAM", 4), 534u);
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
    std::string error;
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

// Reads every template with python3-dbfread and prints the rows the test looks at.
TEST_F(WrittenTemplates, IndependentReaderSeesTheRowsKestrelShips) {
  const fs::path script = folder->path() / "read.py", out = folder->path() / "read.txt";
  writeText(script, R"PY(
import sys, os
from dbfread import DBF
folder = sys.argv[1]
def show(*v): print('|'.join('' if x is None else str(x) for x in v))
for name in sorted(f for f in os.listdir(folder) if f.endswith('.DBF')):
    rows = list(DBF(os.path.join(folder, name), encoding='cp1252', char_decode_errors='strict'))
    show('COUNT', name[:-4], len(rows))
    t = name[:-4]
    for i, r in enumerate(rows):
        if t == 'PARAM': show(t, i + 1, r['ID'], r['VALUE'], r['VALUEEXT'])
        if t in ('TABLE', 'TABLENL') and i in (0, 1, 21, 26): show(t, i + 1, r['TTYPE'], r['TID'], r['TDESC'])
        if t in ('DBK_01', 'DBK_01NL'): show(t, i + 1, r['DBKID'], r['DBKDESC'], r['DBKTYPE'], r['DBKTYPE2'])
        if t in ('DICTREE', 'DICTREENL'): show(t, i + 1, r['LIB1'], r['LIBALT'], r['PARENTNDX'])
        if t in ('COUNTRY', 'COUNTRYNL') and r['COUNTRYID'] in ('BE', 'NL', 'FR', 'ME', 'RS'): show(t, r['COUNTRYID'], r['NAME'])
        if t in ('CURRENCY', 'CURRENCYNL') and (r['CURRINS'] or r['CURRENCYID'] == 'USD'):
            show(t, r['CURRENCYID'], r['DECNUM'], r['RATE_DATE'], r['RATE'], r['CURRINS'])
        if t == 'ZIPCODE' and (i < 2 or r['LANGUAGE']): show(t, i + 1, r['ZIPCODEID'], r['CITY'], r['LANGUAGE'])
        if t == 'CODEVAT' and r['CODE'] in ('144500', '244500', '144300', '244300', '121100', '113300', '111100'):
            show(t, r['CODE'], r['USRCODE1'], r['USRCODE2'], r['DATE_BEG'], r['DATE_END'])
        if t == 'CODEVAT': show('CODELEN', len(r['CODE']))
        if t == 'CODFOR': show(t, r['TYPE'], r['NUMBER'])
        if t == 'CODENAE' and i in (0, 18): show(t, r['CODE'])
)PY");
  // Debian's interpreter, where python3-dbfread is installed (a pyenv python3 may come first in PATH).
  const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  const std::string command = python + " \"" + script.string() + "\" \"" + folder->path().string() + "\" > \"" + out.string() + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0) << readText(out);
  std::map<std::string, int> counts;
  std::multiset<std::string> lines;
  std::stringstream in(readText(out));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("COUNT|", 0) == 0) {
      auto bar = line.rfind('|');
      counts[line.substr(6, bar - 6)] = std::stoi(line.substr(bar + 1));
    } else {
      lines.insert(line);
    }
  }
  for (const TemplateDef& t : templateCatalog()) EXPECT_EQ(counts[t.name], t.rowCount) << t.name;
  auto has = [&](const std::string& line) { return lines.count(line) > 0; };

  EXPECT_TRUE(has("PARAM|1|Socname|VIDE|"));
  EXPECT_TRUE(has("PARAM|16|BOOKYEAR1.LONGLABEL|Exercice 2008|"));
  EXPECT_TRUE(has("PARAM|20|BOOKYEAR1.PERLIB1|Rep 2008Jan 2008Fév 2008Mar 2008Avr 2008Mai 2008Jun 2008Jul 2008Aoû "
                  "2008Sep 2008Oct 2008Nov 2008Déc 2008Clô 2008|"));
  EXPECT_TRUE(has("PARAM|36|VatParam|VATNAMESOC=,VATNAMESIG1=,VATNAMESIG2=,TITSIG1=,TITSIG2=,ACCVATNBER=,CELNUMBER=,"
                  "TOBEFMIN=10084,98,TOEURMIN=250|"));
  EXPECT_TRUE(has("PARAM|41|SigCsParamZone6.Params|NAME=BICAUTO,TIT1=BIC,USRTYP=AL,OBJTYP=TextBox,SIGTYP=110,TAB=,"
                  "LEN=11,MSK=AAAAAAAAAAA,CUS-L1=5155,CUS-T1=820,CUS-S1=2,SUP-L1=4750,SUP-T1=820,SUP-S1=2,GEN-L1=,"
                  "GEN-T1=,GEN-S1=,GEN-L2=,GEN-T2=,GEN-S2=,TIT2=BIC,CUS-L2=100,CUS-T2=900,CUS-S2=6,SUP-L2=100,S|UP-T2="
                  "900,SUP-S2=6,ART-L1=,ART-T1=,ART-S1=,ART-L2=,ART-T2=,ART-S2=,AST-L1=,AST-T1=,AST-S1=,AST-L2=,"
                  "AST-T2=,AST-S2=,INCL=,EXCL="));

  EXPECT_TRUE(has("TABLE|1|LANGUAGE|F|Français"));
  EXPECT_TRUE(has("TABLE|2|LANGUAGE|N|Néérlandais"));
  EXPECT_TRUE(has("TABLE|22|PAYCODE|30F|30 jours à partir de la fin du mois"));
  EXPECT_TRUE(has("TABLENL|1|LANGUAGE|F|Frans"));
  EXPECT_TRUE(has("TABLENL|27|PAYCODE|90E|90 dagen einde v.d. maand"));

  EXPECT_TRUE(has("DBK_01|8|OPDCLO|OPERATIONS DE CLÔTURE DE L'EXERCICE|5|2"));
  EXPECT_TRUE(has("DBK_01|2|ACHATS|JOURNAL D'ACHATS|0|"));
  EXPECT_TRUE(has("DBK_01NL|9|REOPEN|OVERDRACHT VAN HET VORIGE BOEKJAAR|5|9"));
  EXPECT_TRUE(has("DICTREE|3|Financiers|Financiële|3"));
  EXPECT_TRUE(has("DICTREENL|4|Diverse posten|Opérations diverses|4"));

  EXPECT_TRUE(has("COUNTRY|BE|BELGIQUE"));
  EXPECT_TRUE(has("COUNTRY|NL|PAYS-BAS"));
  EXPECT_TRUE(has("COUNTRY|FR|FRANCE"));
  EXPECT_FALSE(has("COUNTRY|ME|MONTÉNÉGRO"));
  EXPECT_TRUE(has("COUNTRYNL|BE|BELGIË"));
  EXPECT_TRUE(has("COUNTRYNL|ME|MONTENEGRO"));
  EXPECT_TRUE(has("COUNTRYNL|RS|SERVIË"));

  EXPECT_TRUE(has("CURRENCY|EUR|2|1999-01-01|1.0|True"));
  EXPECT_TRUE(has("CURRENCY|BEF|0|1999-01-01|40.3399|True"));
  EXPECT_TRUE(has("CURRENCY|USD|2||0.0|"));
  EXPECT_TRUE(has("CURRENCYNL|BEF|0|1999-01-01|40.3399|True"));
  size_t fixed = 0;
  for (const auto& l : lines) fixed += l.rfind("CURRENCY|", 0) == 0 && l.size() > 5 && l.substr(l.size() - 5) == "|True";
  EXPECT_EQ(fixed, 14u);

  EXPECT_TRUE(has("ZIPCODE|1|BE-1000|BRUSSEL|N"));
  EXPECT_TRUE(has("ZIPCODE|2|BE-1000|BRUXELLES|F"));
  size_t french = 0, dutch = 0;
  for (const auto& l : lines) {
    french += l.rfind("ZIPCODE|", 0) == 0 && l.substr(l.size() - 2) == "|F";
    dutch += l.rfind("ZIPCODE|", 0) == 0 && l.substr(l.size() - 2) == "|N";
  }
  EXPECT_EQ(french, 48u);
  EXPECT_EQ(dutch, 52u);

  for (const char* code : {"144500", "244500", "144300", "244300", "121100", "113300"})
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.rfind(std::string("CODEVAT|") + code + "|", 0) == 0; }),
              1)
        << code;
  EXPECT_TRUE(has("CODEVAT|111100|M|H|1993-01-01|2099-12-31"));
  EXPECT_EQ(lines.count("CODELEN|2"), 104u);
  EXPECT_EQ(lines.count("CODELEN|4"), 7u);
  EXPECT_EQ(lines.count("CODELEN|3"), 2u);
  EXPECT_EQ(lines.count("CODELEN|6"), 451u);

  EXPECT_TRUE(has("CODFOR|1|SHA") && has("CODFOR|1|BEN") && has("CODFOR|1|OUR") && has("CODFOR|2|CHC"));
  size_t type3 = 0;
  for (const auto& l : lines) type3 += l.rfind("CODFOR|3|", 0) == 0;
  EXPECT_EQ(type3, 94u);
  EXPECT_TRUE(has("CODENAE|025") && has("CODENAE|043"));
}

}  // namespace
