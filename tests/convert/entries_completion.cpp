// The passes over ACT after the documents: customer or supplier of an
// invoice on all its lines, currency of foreign financial journals.
#include <gtest/gtest.h>

#include "convert/entries/history_steps.h"
#include "support/history_dossier.h"

namespace {

using testing_support::Number;
using testing_support::Record;

Record line(const std::string& dbkType, const std::string& code, const std::string& doc, const std::string& docType,
            const std::string& accountRp) {
  return {{"DBKTYPE", dbkType}, {"DBKCODE", code},         {"DOCNUMBER", doc}, {"BOOKYEAR", "1"},
          {"PERIOD", "03"},     {"DOCTYPE", docType},      {"ACCOUNTRP", accountRp}};
}

TEST(DocumentAccounts, MainLineAccountReachesTheOtherLinesOfItsDocumentOnly) {
  testing_support::StepContext step;
  const std::string prefix = testing_support::NewYearDossier(step.folder.path(), 1);
  testing_support::AppendRecords(prefix + "_ACT.DBF",
                                 {line("0", "ACH", "7", "2", "S100"), line("0", "ACH", "7", "3", ""),
                                  line("0", "ACH", "7", "4", ""), line("0", "ACH", "8", "3", "S200"),
                                  line("5", "OD", "7", "1", "C1"), line("5", "OD", "7", "3", "")});
  convert::CompleteDocumentAccounts(step.ctx, prefix);
  auto act = testing_support::ReadTable(prefix + "_ACT.DBF");
  ASSERT_EQ(act.size(), 6u);
  EXPECT_EQ(act[1].at("ACCOUNTRP"), "S100");
  EXPECT_EQ(act[2].at("ACCOUNTRP"), "S100");
  EXPECT_EQ(act[3].at("ACCOUNTRP"), "S200");  // another document number
  EXPECT_EQ(act[5].at("ACCOUNTRP"), "");      // general journals are left alone
}

Record bankLine(const std::string& code, const std::string& currency, const std::string& euro,
                const std::string& rate, const std::string& currencyAmount) {
  return {{"DBKTYPE", "4"}, {"DBKCODE", code}, {"CURRCODE", currency}, {"AMOUNTEUR", euro},
          {"CURRATE", rate}, {"CURRAMOUNT", currencyAmount}};
}

TEST(CurrencyAmounts, LinesOfAForeignJournalTakeItsCurrencyAndLastRate) {
  testing_support::StepContext step;
  step.ctx.foreignCurrencyJournalList = "|BQ2|";
  const std::string prefix = testing_support::NewYearDossier(step.folder.path(), 1);
  testing_support::AppendRecords(prefix + "_ACT.DBF",
                                 {bankLine("BQ2", "USD", "100", "1.1", "110"),
                                  bankLine("BQ2", "", "50", "0", "0"),
                                  bankLine("BQ2", "USD", "-20", "0", "0"),
                                  bankLine("BQ2", "USD", "0", "0", "3.5"),
                                  bankLine("BQ2", "USD", "10", "1.2", "12"),
                                  bankLine("BQ2", "", "33.33", "0", "0"),
                                  bankLine("BQ1", "", "40", "0", "0")});
  convert::CompleteCurrencyAmounts(step.ctx, prefix);
  auto act = testing_support::ReadTable(prefix + "_ACT.DBF");
  ASSERT_EQ(act.size(), 7u);
  EXPECT_EQ(act[1].at("CURRCODE"), "USD");
  EXPECT_EQ(Number(act[1], "CURRAMOUNT"), 55);
  EXPECT_DOUBLE_EQ(Number(act[1], "CURRATE"), 1.1);
  EXPECT_EQ(Number(act[2], "CURRAMOUNT"), -22);
  EXPECT_DOUBLE_EQ(Number(act[2], "CURRATE"), 1.1);
  // An exchange difference (0 euro) keeps its own currency amount.
  EXPECT_EQ(Number(act[3], "CURRAMOUNT"), 3.5);
  EXPECT_DOUBLE_EQ(Number(act[3], "CURRATE"), 1.1);
  // A newer rate of the journal applies from its line on: 33.33 x 1.2 = 39.996.
  EXPECT_EQ(Number(act[5], "CURRAMOUNT"), 40);
  EXPECT_DOUBLE_EQ(Number(act[5], "CURRATE"), 1.2);
  // A euro journal is not touched.
  EXPECT_EQ(act[6].at("CURRCODE"), "");
}

}  // namespace
