// Two year dossiers merged into one: accounts once, year-2 entries and
// parameters, the second journal table.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "run/year_merge.h"
#include "store/engine/index_check.h"
#include "store/file_operations.h"
#include "support/history_dossier.h"

namespace {

using testing_support::Record;

using testing_support::fieldOf;
using testing_support::findRecord;

TEST(YearMerge, NewerYearJoinsTheOlderDossier) {
  const testing_support::ScratchFolder folder;
  const std::string first = testing_support::newYearDossier(folder.path(), 3);
  const std::string second = testing_support::newYearDossier(folder.path(), 4);

  testing_support::appendRecords(first + "_ACF.DBF", {{{"TYPE", "3"}, {"NUMBER", "400000"}, {"CENTRALID", "C"}},
                                           {{"TYPE", "3"}, {"NUMBER", "550000"}, {"CENTRALID", "FBQ1"}},
                                           {{"TYPE", "3"}, {"NUMBER", "600000"}}});
  testing_support::appendRecords(second + "_ACF.DBF", {{{"TYPE", "3"}, {"NUMBER", "400000"}, {"CENTRALID", ""}},
                                            {{"TYPE", "3"}, {"NUMBER", "600000"}, {"CENTRALID", "X"}},
                                            {{"TYPE", "9"}, {"NUMBER", "600000"}},
                                            {{"TYPE", "3"}, {"NUMBER", "700000"}}});
  const size_t accounts1 = testing_support::readTable(first + "_ACF.DBF").size();
  const size_t accounts2 = testing_support::readTable(second + "_ACF.DBF").size();
  testing_support::appendRecords(first + "_ACT.DBF", {{{"PERIOD", "00"}, {"MATCHNO", "10000001"}, {"BOOKYEAR", "1"}}});
  testing_support::appendRecords(second + "_ACT.DBF", {{{"PERIOD", "00"}, {"MATCHNO", ""}, {"BOOKYEAR", "1"}},
                                            {{"PERIOD", "03"}, {"MATCHNO", "10000001"}, {"BOOKYEAR", "1"},
                                             {"REMINDLEV", "2"}, {"AMOUNTEUR", "-12.5"}},
                                            {{"PERIOD", "04"}, {"MATCHNO", ""}, {"BOOKYEAR", "1"}}});
  testing_support::appendRecords(second + "_PARAM.DBF", {{{"ID", "BOOKYEAR1.LASTDOC"}, {"VALUE", "42"}},
                                                      {{"ID", "COMPANYNAME"}, {"VALUE", "newer"}}});
  const auto params1 = testing_support::readTable(first + "_PARAM.DBF");
  const auto params2 = testing_support::readTable(second + "_PARAM.DBF");
  const auto dbk2 = testing_support::readTable(second + "_DBK_01.DBF");

  base::RunContext ctx;
  ASSERT_TRUE(run::mergeBookYears(ctx, folder.path().string(), 3, 4));

  auto acf = testing_support::readTable(first + "_ACF.DBF");
  // Matched on number and type: 400000 and type-3 600000 merge, type-9
  // 600000 and 700000 are added.
  EXPECT_EQ(acf.size(), accounts1 + accounts2 - 2);
  EXPECT_EQ(std::count_if(acf.begin(), acf.end(), [](const Record& r) { return r.at("NUMBER") == "400000"; }), 1);
  EXPECT_EQ(fieldOf(acf, "NUMBER", "400000", "CENTRALID"), "C");
  auto it = std::find_if(acf.begin(), acf.end(),
                         [](const Record& r) { return r.at("NUMBER") == "600000" && r.at("TYPE") == "3"; });
  ASSERT_NE(it, acf.end());
  EXPECT_EQ(it->at("CENTRALID"), "X");
  EXPECT_TRUE(std::any_of(acf.begin(), acf.end(),
                          [](const Record& r) { return r.at("NUMBER") == "600000" && r.at("TYPE") == "9"; }));
  EXPECT_TRUE(findRecord(acf, "NUMBER", "700000"));

  auto act = testing_support::readTable(first + "_ACT.DBF");
  ASSERT_EQ(act.size(), 3u);
  EXPECT_EQ(act[0].at("BOOKYEAR"), "1");
  EXPECT_EQ(act[0].at("MATCHNO"), "10000001");
  EXPECT_EQ(act[1].at("PERIOD"), "03");
  EXPECT_EQ(act[1].at("BOOKYEAR"), "2");
  EXPECT_EQ(act[1].at("MATCHNO"), "20000001");
  EXPECT_EQ(act[2].at("MATCHNO"), "");
  // Every other field as the newer year held it, a blank number included.
  EXPECT_EQ(act[1].at("REMINDLEV"), "2");
  EXPECT_EQ(act[1].at("AMOUNTEUR"), "-12.500");
  EXPECT_EQ(act[2].at("REMINDLEV"), "");
  EXPECT_EQ(act[2].at("AMOUNTEUR"), "");

  auto params = testing_support::readTable(first + "_PARAM.DBF");
  const size_t year1Params = std::count_if(params2.begin(), params2.end(), [](const Record& r) {
    return r.at("ID").rfind("BOOKYEAR1.", 0) == 0;
  });
  EXPECT_EQ(params.size(), params1.size() + year1Params);
  EXPECT_EQ(fieldOf(params, "ID", "BOOKYEARCOUNT", "VALUE"), "2");
  // The template's matching counter 10000001 continues in series 2.
  EXPECT_EQ(fieldOf(params, "ID", "BOOKYEAR2.MATCHNUMBER", "VALUE"), "20000001");
  EXPECT_EQ(fieldOf(params, "ID", "BOOKYEAR2.LASTDOC", "VALUE"), "42");
  // Of the newer year's other rows none is carried.
  ASSERT_FALSE(findRecord(params1, "ID", "COMPANYNAME"));
  EXPECT_FALSE(findRecord(params, "ID", "COMPANYNAME"));
  for (const auto& r : params2)
    if (r.at("ID").rfind("BOOKYEAR1.", 0) == 0) EXPECT_TRUE(findRecord(params, "ID", "BOOKYEAR2." + r.at("ID").substr(10)));

  EXPECT_EQ(testing_support::readTable(first + "_DBK_02.DBF").size(), dbk2.size());
  for (const char* table : {"_ACF.DBF", "_ACT.DBF", "_PARAM.DBF", "_DBK_02.DBF"})
    for (const store::TagCheck& check : store::checkIndexes(store::nativePath(first + table)))
      EXPECT_TRUE(check.ok) << table << " " << check.tag << ": " << check.problem.french;
  EXPECT_FALSE(std::filesystem::exists(first + "_ACTTEMP.DBF"));
  EXPECT_FALSE(std::filesystem::exists(first + "_ACFTEMP.DBF"));
  EXPECT_FALSE(std::filesystem::exists(first + "_PARAMTEMP.DBF"));
  // The newer dossier is only read.
  EXPECT_EQ(testing_support::readTable(second + "_ACT.DBF").size(), 3u);
  EXPECT_EQ(testing_support::readTable(second + "_ACT.DBF")[1].at("BOOKYEAR"), "1");
}

// A table the merge cannot open or write stops it with a message naming the
// table, where the original went on to its success message over a dossier
// without the newer year.
TEST(YearMerge, TableThatCannotBeOpenedFailsTheMerge) {
  const testing_support::ScratchFolder scratch;
  const std::string folder = scratch.path().string();
  const std::string first = testing_support::newYearDossier(folder, 0);
  const std::string second = testing_support::newYearDossier(folder, 1);
  std::filesystem::remove(store::nativePath(second + "_ACT.DBF"));
  std::vector<std::string> shown;
  base::RunContext ctx;
  ctx.language = "N";
  ctx.showImportError = [&](const std::string& message) { shown.push_back(message); };
  EXPECT_FALSE(run::mergeBookYears(ctx, folder, 0, 1));
  EXPECT_EQ(shown, std::vector<std::string>{"Onmogelijk om het bestand ACT van Kestrel te openen."});
  EXPECT_FALSE(std::filesystem::exists(store::nativePath(first + "_DBK_02.DBF"))) << "the merge stopped there";

  // The second journal table that cannot be copied.
  testing_support::newYearDossier(folder, 2);
  const std::string fourth = testing_support::newYearDossier(folder, 3);
  std::filesystem::remove(store::nativePath(fourth + "_DBK_01.CDX"));
  shown.clear();
  EXPECT_FALSE(run::mergeBookYears(ctx, folder, 2, 3));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("_DBK_01.CDX kan niet gekopieerd worden: het bestand bestaat niet."), std::string::npos) << shown[0];
}

}  // namespace
