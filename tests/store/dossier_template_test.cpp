// The template dossier and the working dossiers built from it, on disk.
#include "store/dossier_template.h"

#include <gtest/gtest.h>

#include "store/engine/sx.h"
#include "store/templates/template_resources.h"
#include "support/scratch_folder.h"
#include "support/bilingual_print.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::set<std::string> kTables{"ACF", "ACT",  "BPAYBENEF", "CODENAE", "CODEVAT", "CODFOR", "COUNTRY", "CSF",
                                    "CURRENCY", "DBK_01", "DIC", "DICTREE", "MEMO", "PARAM", "TABLE", "ZIPCODE"};

// The 32 file names of a dossier named `prefix`.
std::set<std::string> dossierFiles(const std::string& prefix) {
  std::set<std::string> names;
  for (const std::string& t : kTables) {
    names.insert(prefix + "_" + t + ".DBF");
    if (t != "DIC") names.insert(prefix + "_" + t + ".CDX");
  }
  names.insert(prefix + "_MEMO.FPT");
  return names;
}

// The embedded template of that name, byte for byte.
std::string templateBytes(const std::string& type, const std::string& name) {
  return std::string(store::templates::findResource(type, name).value_or(std::string_view()));
}

class DossierTemplate : public ::testing::Test {
 protected:
  ScratchFolder d;
  // What the store reported, in order.
  std::vector<std::string> reported;
  store::FailureReport report = [this](const std::string& message) { reported.push_back(message); };
  ScratchFolder data;
  ScopedEnv xdg{"XDG_DATA_HOME", data.path().string()};
  void TearDown() override { store::sx_CloseAll(); }
};

TEST_F(DossierTemplate, FrenchTemplateDossierHoldsThe32Files) {
  ASSERT_TRUE(store::CreateTemplateDossier(report, d.text(), "F"));
  EXPECT_EQ(namesIn(d.path() / "VIDE"), dossierFiles("VIDE"));
  EXPECT_EQ(readText(d.path() / "VIDE" / "VIDE_COUNTRY.DBF"), templateBytes("DBF", "COUNTRY"));
  EXPECT_NE(readText(d.path() / "VIDE" / "VIDE_TABLE.DBF").find("Fran\xE7" "ais"), std::string::npos);
  EXPECT_TRUE(reported.empty());
}

TEST_F(DossierTemplate, DutchTemplateDossierUsesTheDutchEditionsUnderPlainNames) {
  ASSERT_TRUE(store::CreateTemplateDossier(report, d.text() + "\\", "N"));
  std::set<std::string> names = namesIn(d.path() / "VIDE");
  EXPECT_EQ(names, dossierFiles("VIDE"));
  for (const std::string& n : names) EXPECT_EQ(n.find("NL"), std::string::npos) << n;
  EXPECT_EQ(readText(d.path() / "VIDE" / "VIDE_COUNTRY.DBF"), templateBytes("DBF", "COUNTRYNL"));
  EXPECT_EQ(readText(d.path() / "VIDE" / "VIDE_COUNTRY.CDX"), templateBytes("CDX", "COUNTRYNL"));
  EXPECT_NE(readText(d.path() / "VIDE" / "VIDE_COUNTRY.DBF").find("BELGI\xCB"), std::string::npos);
  EXPECT_NE(readText(d.path() / "VIDE" / "VIDE_DBK_01.DBF").find("VERKOOPDAGBOEK"), std::string::npos);
  EXPECT_TRUE(reported.empty());
}

TEST_F(DossierTemplate, OtherLanguagesKeepTheDutchEditionNames) {
  ASSERT_TRUE(store::CreateTemplateDossier(report, d.text(), "E"));
  std::set<std::string> names = namesIn(d.path() / "VIDE");
  EXPECT_EQ(names.size(), 32u);
  EXPECT_TRUE(names.count("VIDE_COUNTRYNL.DBF") && names.count("VIDE_TABLENL.CDX"));
  EXPECT_FALSE(names.count("VIDE_COUNTRY.DBF"));
}

TEST_F(DossierTemplate, ParameterKeysAreFoundThroughTheIdTagInAnyCase) {
  ASSERT_TRUE(store::CreateTemplateDossier(report, d.text(), "F"));
  int16_t area = store::sx_Use((d.path() / "VIDE" / "vide_param.dbf").string(), "PARAM", 2, 2);
  ASSERT_NE(area, 0) << store::sx_LastError();
  store::sx_SetOrder(store::sx_TagArea("ID"));
  for (const char* key : {"SOCNAME", "BOOKYEAR1.LONGLABEL", "SIGCSPARAMZONE2.PARAMS"}) {
    EXPECT_TRUE(store::sx_Seek(key)) << key;
  }
  store::sx_Seek("BOOKYEAR1.LONGLABEL");
  EXPECT_EQ(store::sx_RecNo(), 16);
  EXPECT_EQ(store::sx_GetString("value").substr(0, 13), "Exercice 2008");
  EXPECT_FALSE(store::sx_Seek("Socname"));  // keys are held in upper case

  // A long value fills VALUE to its 250 characters; the 251st starts VALUEEXT.
  store::sx_Seek("SIGCSPARAMZONE2.PARAMS");
  std::string value = store::sx_GetString("VALUE"), ext = store::sx_GetString("VALUEEXT");
  ASSERT_EQ(value.size(), 250u);
  EXPECT_EQ(value.back(), '0');  // "...CUS-T2=410"
  EXPECT_EQ(ext.substr(0, 10), ",CUS-S2=3,");
  store::sx_Close();
}

TEST_F(DossierTemplate, LeftoverTemplateFolderLosesItsFilesButKeepsItsFolders) {
  writeText(d.path() / "VIDE" / "FOREIGN.TXT", "old");
  writeText(d.path() / "VIDE" / "VIDE_ACF.DBF", "stale");
  writeText(d.path() / "VIDE" / "backup" / "keep.txt", "kept");
  ASSERT_TRUE(store::CreateTemplateDossier(report, d.text(), "F"));
  std::set<std::string> expected = dossierFiles("VIDE");
  expected.insert("backup");
  EXPECT_EQ(namesIn(d.path() / "VIDE"), expected);
  EXPECT_EQ(readText(d.path() / "VIDE" / "backup" / "keep.txt"), "kept");
  EXPECT_NE(readText(d.path() / "VIDE" / "VIDE_ACF.DBF"), "stale");
}

TEST_F(DossierTemplate, TemplateThatCannotBeWrittenStopsWithAMessageInTheDossierLanguage) {
  // A folder where a template file should go.
  fs::create_directories(d.path() / "VIDE" / "VIDE_ACF.CDX");
  EXPECT_FALSE(store::CreateTemplateDossier(report, d.text(), "F"));
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "Impossible d'écrire le fichier " + (d.path() / "VIDE" / "VIDE_ACF.CDX").string() +
                            " du dossier modèle : un fichier ou un dossier du même nom est dans le chemin");

  // The Kestrel data folder is a file: no template folder can be made.
  writeText(d.path() / "file", "x");
  EXPECT_FALSE(store::CreateTemplateDossier(report, d.text() + "\\file", "N"));
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[1],
            "Onmogelijk om het sjabloondossier " + (d.path() / "file" / "VIDE").string() + " voor te bereiden");
}

TEST_F(DossierTemplate, WorkingDossierIsRebuiltWholeFromTheTemplate) {
  ASSERT_TRUE(store::CreateTemplateDossier(report, d.text(), "F"));
  fs::create_directories(data.path() / "Trash");
  writeText(d.path() / "VIDE02" / "FOREIGN.TXT", "old");
  writeText(d.path() / "VIDE02" / "VIDE02_ACF.DBF", "stale");
  writeText(d.path() / "VIDE02" / "sub" / "x.txt", "old");

  ASSERT_TRUE(store::PrepareWorkingDossier(report, d.text(), 2, "F"));
  store::WorkingDossier w = store::workingDossier(d.text(), 2);
  EXPECT_EQ(w.name, "VIDE02");
  // Given with backslashes, the strings come back in this platform's form.
  EXPECT_EQ(w.folder, (d.path() / "VIDE02").string());
  EXPECT_EQ(w.prefix, (d.path() / "VIDE02" / "VIDE02").string());
  EXPECT_EQ(w.paramFile, (d.path() / "VIDE02" / "VIDE02_PARAM.DBF").string());
  EXPECT_EQ(namesIn(d.path() / "VIDE02"), dossierFiles("VIDE02"));
  EXPECT_EQ(readText(d.path() / "VIDE02" / "VIDE02_ACF.DBF"), readText(d.path() / "VIDE" / "VIDE_ACF.DBF"));
  // The old folder went to the trash as a whole.
  EXPECT_EQ(readText(data.path() / "Trash" / "files" / "VIDE02" / "sub" / "x.txt"), "old");
  EXPECT_TRUE(reported.empty());

  // The steps open the tables through the prefix text.
  ASSERT_NE(store::sx_Use(w.prefix + "_dbk_01.DBF", "DBK", 2, 2), 0) << store::sx_LastError();
  EXPECT_EQ(store::sx_QueryRecCount(), 9);
}

TEST_F(DossierTemplate, SecondJournalTableOfATwoYearDossier) {
  ASSERT_TRUE(store::CreateTemplateDossier(report, d.text(), "F"));
  ASSERT_TRUE(store::PrepareWorkingDossier(report, d.text(), 0, "F"));
  ASSERT_TRUE(store::PrepareWorkingDossier(report, d.text(), 1, "F"));
  writeText(d.path() / "VIDE01" / "VIDE01_DBK_01.DBF", "journals of year 1");
  ASSERT_TRUE(store::CopySecondJournalTable(report, d.text(), 1, "F"));
  EXPECT_EQ(readText(d.path() / "VIDE00" / "VIDE00_DBK_02.DBF"), "journals of year 1");
  EXPECT_TRUE(fs::exists(d.path() / "VIDE00" / "VIDE00_DBK_02.CDX"));
  std::set<std::string> twoYears = dossierFiles("VIDE00");
  twoYears.insert({"VIDE00_DBK_02.DBF", "VIDE00_DBK_02.CDX"});
  EXPECT_EQ(namesIn(d.path() / "VIDE00"), twoYears);
  const auto listed = store::dossierFileNames("VIDE00", true);
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), twoYears);
  EXPECT_TRUE(reported.empty());

  // A copy that fails names the file and the reason, in the dossier language.
  fs::remove(d.path() / "VIDE01" / "VIDE01_DBK_01.CDX");
  EXPECT_FALSE(store::CopySecondJournalTable(report, d.text(), 1, "N"));
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "Het bestand " + (d.path() / "VIDE01" / "VIDE01_DBK_01.CDX").string() +
                             " kan niet gekopieerd worden: het bestand bestaat niet.");
}

}  // namespace
