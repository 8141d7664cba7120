// Categories and payment conditions into TABLE of a real template dossier.
#include <gtest/gtest.h>

#include <fstream>

#include "convert/master/master_steps.h"
#include "master_dossier.h"
#include "store/engine/sx.h"
#include "support/bilingual_print.h"

using namespace master_test;
using testing_support::namedRows;
using testing_support::Row;
using testing_support::Text;

namespace {

class MasterCodeLists : public MasterDossier {
 protected:
  std::vector<Record> tableRows(const std::string& type) {
    std::vector<Record> out;
    for (const Record& r : rows("TABLE", {"TTYPE", "TID", "TDESC"})) {
      if (r.at("TTYPE") == type) out.push_back(r);
    }
    return out;
  }
  bool temporaryFilesLeft() const {
    for (const char* name : {"VIDE01_TMPCAT.DBF", "VIDE01_TMPCAT.CDX", "VIDE01_TMPPAY.DBF", "VIDE01_TMPPAY.CDX"}) {
      if (std::filesystem::exists(root / "VIDE01" / name)) return true;
    }
    return false;
  }
};

}  // namespace

TEST_F(MasterCodeLists, CategoriesGetShortCodesFromDigitZero) {
  makeDossier("F");
  // A file left by an interrupted run is replaced, not appended to.
  std::filesystem::path stale = root / "VIDE01" / "VIDE01_TMPCAT.DBF";
  { std::ofstream(stale) << "left over"; }
  source.answers["select * from D_Category order by catID"] = namedRows({"CatID", "TypeID", "Wording"},
                              {{{"CatID", Text("GROSSISTES")}, {"TypeID", Text("10")}, {"Wording", Text("Grossistes")}},
                               {{"CatID", Text("GROSBOIS")}, {"TypeID", Text("20")}, {"Wording", Text("Bois en gros")}},
                               {{"CatID", Text("DETAIL")}, {"TypeID", Text("10")}, {"Wording", Text("Détaillants")}},
                               {{"CatID", Text("ABCDE")}, {"TypeID", Text("30")}, {"Wording", Text("Autres")}},
                               // Already written above: not added twice.
                               {{"CatID", Text("ABCDE")}, {"TypeID", Text("30")}, {"Wording", Text("Bis")}}});
  ASSERT_TRUE(convert::ConvertCategories(ctx, prefix)) << (errors.empty() ? store::sx_LastError().french : errors[0]);
  EXPECT_TRUE(errors.empty());
  std::vector<Record> customers = tableRows("CATCUS");
  ASSERT_EQ(customers.size(), 2u);
  EXPECT_EQ(customers[0].at("TID"), "GROS0");
  EXPECT_EQ(customers[0].at("TDESC"), "Grossistes");
  EXPECT_EQ(customers[1].at("TID"), "DETA0");
  std::vector<Record> suppliers = tableRows("CATSUP");
  ASSERT_EQ(suppliers.size(), 1u);
  EXPECT_EQ(suppliers[0].at("TID"), "GROS1");
  std::vector<Record> others = tableRows("30");
  ASSERT_EQ(others.size(), 1u);
  EXPECT_EQ(others[0].at("TID"), "ABCDE");
  EXPECT_EQ(others[0].at("TDESC"), "Autres");
  EXPECT_FALSE(temporaryFilesLeft());
  expectIndexesAgree("TABLE");
}

TEST_F(MasterCodeLists, PaymentCodesKeepTemplateRowsAndStartShortCodesAtOne) {
  makeDossier("N");
  size_t before = tableRows("PAYCODE").size();
  ctx.isVersionSql = true;
  source.answers["SELECT * FROM D_PayType ORDER BY PayType"] = namedRows({"PayType", "Wording"},
                              {{{"PayType", Text("30")}, {"Wording", Text("Changed?")}},
                               {{"PayType", Text("45")}, {"Wording", Text("45 dagen")}},
                               {{"PayType", Text("CASHONLY")}, {"Wording", Text("Contant")}},
                               {{"PayType", Text("CASHBACK")}, {"Wording", Text("Terugbetaling")}}});
  ASSERT_TRUE(convert::ConvertPaymentCodes(ctx, prefix));
  std::vector<Record> codes = tableRows("PAYCODE");
  ASSERT_EQ(codes.size(), before + 3);
  for (const Record& r : codes) {
    if (r.at("TID") == "30") EXPECT_NE(r.at("TDESC"), "Changed?");
  }
  EXPECT_EQ(codes[before].at("TID"), "45");
  EXPECT_EQ(codes[before].at("TDESC"), "45 dagen");
  EXPECT_EQ(codes[before + 1].at("TID"), "CASH1");
  EXPECT_EQ(codes[before + 2].at("TID"), "CASH2");
  EXPECT_FALSE(temporaryFilesLeft());
  expectIndexesAgree("TABLE");
}

TEST_F(MasterCodeLists, CodesWithoutAUniqueShortCodeStopTheStep) {
  makeDossier("F");
  ctx.prefixedLayout = false;
  std::vector<Row> codes;
  for (int i = 0; i < 10; ++i) codes.push_back({{"PayType", Text("CASHX" + std::to_string(i))}});
  source.answers["select * from PayType order by paytype"] = namedRows({"PayType", "Wording"}, codes);
  EXPECT_FALSE(convert::ConvertPaymentCodes(ctx, prefix));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Impossible de créer un code court pour le code CASHX9");
  EXPECT_FALSE(temporaryFilesLeft());

  // Two codes alike in their first nine characters would share one row.
  source.answers["select * from Category order by catID"] = namedRows({"CatID", "TypeID", "Wording"},
                              {{{"CatID", Text("GROSSISTES1")}, {"TypeID", Text("10")}},
                               {{"CatID", Text("GROSSISTES2")}, {"TypeID", Text("10")}}});
  EXPECT_FALSE(convert::ConvertCategories(ctx, prefix));
  EXPECT_EQ(errors.back(), "Impossible de créer un code court pour le code GROSSISTES2");
  for (const Record& r : tableRows("PAYCODE")) EXPECT_NE(r.at("TID").substr(0, 4), "CASH");
  EXPECT_TRUE(tableRows("CATCUS").empty());
}

TEST_F(MasterCodeLists, MissingTableFileIsReported) {
  makeDossier("N");
  std::filesystem::remove(root / "VIDE01" / "VIDE01_TABLE.DBF");
  source.answers["select * from D_Category order by catID"] = namedRows({"CatID", "TypeID", "Wording"}, {});
  EXPECT_FALSE(convert::ConvertCategories(ctx, prefix));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Onmogelijk om het bestand TABLE van Kestrel te openen.");
}
