// Company identity, dossier languages and LENGEN in PARAM of a real template dossier.
#include <gtest/gtest.h>

#include "convert/master/master_steps.h"
#include "master_dossier.h"
#include "store/engine/sx.h"

using namespace master_test;
using testing_support::MemoryRowSet;
using testing_support::namedRows;
using testing_support::text;

namespace {

const std::vector<std::string> kParamColumns = {"NAME", "ADDRESS", "ZIPCODEID", "CITY", "CountryID", "VATFORMAT", "VATNUM"};

class MasterCompanyParameters : public MasterDossier {
 protected:
  size_t count(const std::string& id) {
    size_t n = 0;
    for (const Record& r : rows("PARAM", {"ID"})) n += r.at("ID") == id;
    return n;
  }
};

}  // namespace

TEST_F(MasterCompanyParameters, IdentityRowsAndTheMigrationMarks) {
  makeDossier("F");
  ctx.sourceVersion = "2.10.5";
  MemoryRowSet company(namedRows(kParamColumns,
                                   {{{"NAME", text("Garage Lambert SPRL")}, {"ADDRESS", text("Chaussée de Mons 12")},
                                     {"ZIPCODEID", text("1070")}, {"CITY", text("Anderlecht")},
                                     {"CountryID", text("BE")}, {"VATFORMAT", text("BE")},
                                     {"VATNUM", text("123456789")}}}));
  ASSERT_TRUE(convert::writeCompanyIdentity(ctx, company, prefix + "_PARAM.DBF"));
  EXPECT_EQ(param("SocName"), "Garage Lambert SPRL");
  EXPECT_EQ(param("SocAdr1"), "Chaussée de Mons 12");
  EXPECT_EQ(param("SocZip"), "BE-1070");
  EXPECT_EQ(param("SocCountry"), "BE");
  EXPECT_EQ(param("SocCity"), "Anderlecht");
  EXPECT_EQ(param("SocVatno"), "BE0123.456.789");
  EXPECT_EQ(param("VerMarlin2Ks"), "2.10.5");
  EXPECT_EQ(param("RECOVERED"), "Marlin");

  // A second pass appends the marks again; they are never looked up.
  ctx.isVersionSql = true;
  MemoryRowSet bare(namedRows(kParamColumns, {{{"NAME", text("X")}, {"ZIPCODEID", text("1000")},
                                                 {"VATNUM", text("12345678901")}}}));
  ASSERT_TRUE(convert::writeCompanyIdentity(ctx, bare, prefix + "_PARAM.DBF"));
  EXPECT_EQ(param("SocAdr1"), "Non définie");
  EXPECT_EQ(param("SocCity"), "Non définie");
  EXPECT_EQ(param("SocCountry"), "BE");
  EXPECT_EQ(param("SocZip"), "-1000");  // a postcode alone still makes a key
  EXPECT_EQ(param("SocVatno"), "12345678901");
  EXPECT_EQ(count("VerMarlin2Ks"), 2u);
  EXPECT_EQ(count("RECOVERED"), 2u);
  std::vector<Record> all = rows("PARAM", {"ID", "VALUE"});
  EXPECT_EQ(all.back().at("VALUE"), "Marlin Sql");
  EXPECT_EQ(all[all.size() - 2].at("VALUE"), "Sql 2.10.5");
  expectIndexesAgree("PARAM");
}

TEST_F(MasterCompanyParameters, DossierLanguagesFollowTheLanguage) {
  makeDossier("N");
  // The second language rewrites the rows the first one wrote.
  for (auto [language, order] : {std::pair{"N", "NFE"}, std::pair{"F", "FNE"}}) {
    ctx.language = language;
    convert::writeDossierLanguages(ctx, prefix);
    EXPECT_EQ(param("LangCreation"), language);
    EXPECT_EQ(param("OrderLanguage"), order);
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(MasterCompanyParameters, GeneralAccountLengthIsReadAndReplacedInPlace) {
  makeDossier("F");
  std::string picture = param("AccountPicture");
  ASSERT_NE(picture.find("LENGEN="), std::string::npos);
  std::string before = convert::readGeneralAccountLength(ctx, prefix);
  convert::writeGeneralAccountLength(ctx, prefix, "7");
  EXPECT_EQ(convert::readGeneralAccountLength(ctx, prefix), "7");
  std::string after = param("AccountPicture");
  EXPECT_EQ(after.size(), picture.size() - before.size() + 1);
  EXPECT_EQ(after.substr(0, after.find("LENGEN=")), picture.substr(0, picture.find("LENGEN=")));
  EXPECT_TRUE(errors.empty());
}

TEST_F(MasterCompanyParameters, EmptyAccountPictureAndMissingTableAreReported) {
  makeDossier("N");
  int16_t area = store::sx_Use((root / "VIDE01" / "VIDE01_PARAM.DBF").string(), "PARAM", 2, 2);
  ASSERT_NE(area, 0);
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    if (store::sx_GetString("ID").rfind("AccountPicture", 0) == 0) store::sx_Replace("VALUE", store::SX_TEXT, "  ");
  }
  store::sx_Close();
  EXPECT_EQ(convert::readGeneralAccountLength(ctx, prefix), "");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Probleem in het bestand PARAM in dit Kestrel dossier.");

  ctx.language = "F";
  std::filesystem::remove(root / "VIDE01" / "VIDE01_PARAM.DBF");
  MemoryRowSet company(namedRows(kParamColumns, {{{"NAME", text("X")}}}));
  EXPECT_FALSE(convert::writeCompanyIdentity(ctx, company, prefix + "_PARAM.DBF"));
  EXPECT_EQ(errors.back(), "Impossible d 'ouvrir le fichier PARAM du dossier Kestrel");
}
