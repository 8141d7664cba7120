// The opening document: period "00" lines of the book year as OPDOUV 1.
#include <gtest/gtest.h>

#include "convert/entries/history_steps.h"
#include "support/history_dossier.h"
#include "support/scripted_source.h"

namespace {

using testing_support::decimal;
using testing_support::integer;
using testing_support::null;
using testing_support::Row;
using testing_support::text;

Row opening(int period, const std::string& account, const std::string& flag, const std::string& amount,
            int assocType = 0, base::Value checkId = null()) {
  return {{"PERIOD", integer(period)},           {"CHECKID", checkId},
          {"ACCTID", text(account)},         {"ASSOCACCTTYPE", integer(assocType)},
          {"ASSOCACCTID", assocType ? text("K1") : null()},
          {"DOCDATE", testing_support::dateValue(2024, 1, 1)}, {"VALUEDATE", text("2024-01-02")},
          {"DUEDATE", null()},               {"COMMENT", text("report")},
          {"FlagDC", text(flag)},            {"AmntBase", decimal(amount)}};
}

TEST(OpeningEntries, PeriodZeroLinesBecomeOneOpeningDocument) {
  testing_support::StepContext step;
  step.ctx.generalAccountLength = "6";
  const std::string prefix = testing_support::newYearDossier(step.folder.path(), 1);
  testing_support::MemoryRowSet rows(testing_support::tableOf({opening(0, "4000", "-1", "125.5", 10, integer(7)), opening(1, "6000", "-1", "3"),
                           opening(0, "1000", "1", "125.5", 20), opening(13, "7000", "1", "1"),
                           opening(0, "5500", "0", "-0.005")}));
  ASSERT_TRUE(convert::ImportOpeningEntries(step.ctx, rows, prefix));
  auto act = testing_support::readTable(prefix + "_ACT.DBF");
  ASSERT_EQ(act.size(), 3u);
  EXPECT_EQ(act[0].at("DOCORDER"), "001");
  EXPECT_EQ(act[2].at("DOCORDER"), "003");
  EXPECT_EQ(step.ctx.documentOrderCounter, "003");
  for (const auto& r : act) {
    EXPECT_EQ(r.at("DBKCODE"), "OPDOUV");
    EXPECT_EQ(r.at("DBKTYPE"), "5");
    EXPECT_EQ(r.at("DOCNUMBER"), "1");
    EXPECT_EQ(r.at("PERIOD"), "00");
    EXPECT_EQ(r.at("OPCODE"), "MAIN");
    EXPECT_EQ(r.at("BOOKYEAR"), "1");
  }
  EXPECT_EQ(act[0].at("ACCOUNTGL"), "400000");
  EXPECT_EQ(act[0].at("DOCTYPE"), "1");
  EXPECT_EQ(act[0].at("ACCOUNTRP"), "K1");
  EXPECT_EQ(act[0].at("MATCHNO"), "10000007");
  EXPECT_EQ(act[0].at("DATEDOC"), "01/01/2024");
  EXPECT_EQ(act[0].at("DATE"), "02/01/2024");
  EXPECT_EQ(act[0].at("DUEDATE"), "");
  EXPECT_EQ(testing_support::numberOf(act[0], "AMOUNTEUR"), 125.5);
  EXPECT_EQ(act[1].at("DOCTYPE"), "2");
  EXPECT_EQ(act[1].at("MATCHNO"), "");
  EXPECT_EQ(testing_support::numberOf(act[1], "AMOUNTEUR"), -125.5);
  // Flag other than -1 negates; half a cent rounds away from zero.
  EXPECT_EQ(act[2].at("DOCTYPE"), "3");
  EXPECT_EQ(testing_support::numberOf(act[2], "AMOUNTEUR"), 0.01);
}

TEST(OpeningEntries, RefusesADossierThatAlreadyHasEntries) {
  testing_support::StepContext step;
  const std::string prefix = testing_support::newYearDossier(step.folder.path(), 1);
  testing_support::appendRecords(prefix + "_ACT.DBF", {{{"DBKCODE", "X"}}});
  testing_support::MemoryRowSet rows(testing_support::tableOf({opening(0, "4000", "-1", "1")}));
  EXPECT_FALSE(convert::ImportOpeningEntries(step.ctx, rows, prefix));
  ASSERT_EQ(step.errors.size(), 1u);
  EXPECT_EQ(step.errors[0], "Des transactions existent déjà dans ce dossier Kestrel. Pas de récupération possible.");
  EXPECT_EQ(testing_support::readTable(prefix + "_ACT.DBF").size(), 1u);
}

TEST(OpeningEntries, MissingEntryTableIsReportedInDutch) {
  testing_support::StepContext step("N");
  testing_support::MemoryRowSet rows(testing_support::tableOf({}));
  EXPECT_FALSE(convert::ImportOpeningEntries(step.ctx, rows, "/nonexistent/VIDE01/VIDE01"));
  ASSERT_EQ(step.errors.size(), 1u);
  EXPECT_EQ(step.errors[0], "Het bestand /nonexistent/VIDE01/VIDE01 bestaat niet");
}

}  // namespace
