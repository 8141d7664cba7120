// The passes over ACT after the documents: customer or supplier of an
// invoice on all its lines, currency of foreign financial journals.
#include <gtest/gtest.h>

#include "convert/entries/history_steps.h"
#include "support/history_dossier.h"

namespace {

using testing_support::numberOf;
using testing_support::Record;

Record line(const std::string& dbkType, const std::string& code, const std::string& doc, const std::string& docType,
            const std::string& accountRp) {
  return {{"DBKTYPE", dbkType}, {"DBKCODE", code},         {"DOCNUMBER", doc}, {"BOOKYEAR", "1"},
          {"PERIOD", "03"},     {"DOCTYPE", docType},      {"ACCOUNTRP", accountRp}};
}

TEST(DocumentAccounts, MainLineAccountReachesTheOtherLinesOfItsDocumentOnly) {
  testing_support::StepContext step;
  const std::string prefix = testing_support::newYearDossier(step.folder.path(), 1);
  testing_support::appendRecords(prefix + "_ACT.DBF",
                                 {line("0", "ACH", "7", "2", "S100"), line("0", "ACH", "7", "3", ""),
                                  line("0", "ACH", "7", "4", ""), line("0", "ACH", "8", "3", "S200"),
                                  line("5", "OD", "7", "1", "C1"), line("5", "OD", "7", "3", ""),
                                  line("4", "BQ1", "9", "1", "C7"), line("4", "BQ1", "9", "3", "")});
  convert::CompleteDocumentAccounts(step.ctx, prefix);
  auto act = testing_support::readTable(prefix + "_ACT.DBF");
  ASSERT_EQ(act.size(), 8u);
  EXPECT_EQ(act[1].at("ACCOUNTRP"), "S100");
  EXPECT_EQ(act[2].at("ACCOUNTRP"), "S100");
  EXPECT_EQ(act[3].at("ACCOUNTRP"), "S200");  // another document number
  EXPECT_EQ(act[5].at("ACCOUNTRP"), "");      // general and financial journals are left alone
  EXPECT_EQ(act[7].at("ACCOUNTRP"), "");
}

Record bankLine(const std::string& code, const std::string& doc, const std::string& currency, const std::string& euro,
                const std::string& rate, const std::string& currencyAmount) {
  return {{"DBKTYPE", "4"},   {"DBKCODE", code},     {"DOCNUMBER", doc},        {"BOOKYEAR", "1"}, {"PERIOD", "03"},
          {"CURRCODE", currency}, {"AMOUNTEUR", euro}, {"CURRATE", rate}, {"CURRAMOUNT", currencyAmount}};
}

TEST(CurrencyAmounts, LinesOfAForeignJournalTakeTheRateOfTheirDocument) {
  testing_support::StepContext step;
  step.ctx.journals.foreignCurrency = {"BQ2"};
  const std::string prefix = testing_support::newYearDossier(step.folder.path(), 1);
  testing_support::appendRecords(prefix + "_ACT.DBF",
                                 {bankLine("BQ2", "1", "USD", "100", "1.1", "110"),
                                  bankLine("BQ2", "1", "", "-50", "0", "0"),
                                  bankLine("BQ2", "1", "USD", "-20", "0", "0"),
                                  bankLine("BQ2", "1", "USD", "0", "0", "3.5"),
                                  bankLine("BQ2", "1", "EUR", "-30", "0", "0"),
                                  // 116.67 dollars for 100 euro over three lines of a
                                  // third each: 38.89, 38.89 and 38.90 (33.34 x 1.1667 =
                                  // 38.8978), one cent too many, which the largest line gives back.
                                  bankLine("BQ2", "2", "", "33.33", "0", "0"),
                                  bankLine("BQ2", "2", "", "33.33", "0", "0"),
                                  bankLine("BQ2", "2", "", "33.34", "0", "0"),
                                  bankLine("BQ2", "2", "USD", "-100", "1.1667", "-116.67"),
                                  // A document without a line in the currency has no rate.
                                  bankLine("BQ2", "3", "", "40", "0", "0"),
                                  bankLine("BQ2", "3", "", "-40", "0", "0"),
                                  bankLine("BQ1", "1", "", "40", "0", "0"),
                                  // 110.005 dollars: the one line rounded to 110.01 is
                                  // half a cent off, still rounding's, and gives it back.
                                  bankLine("BQ2", "4", "USD", "-100", "1.10005", "-110.005"),
                                  bankLine("BQ2", "4", "", "100", "0", "0"),
                                 // A cent off is the source's own: 99.99 euro give 109.99
                                 // dollars against 110 and keep them.
                                 bankLine("BQ2", "5", "USD", "-100", "1.1", "-110"),
                                 bankLine("BQ2", "5", "", "99.99", "0", "0"),
                                 // A line in another currency, even of nothing: the total is
                                 // not in one currency and nothing is given back.
                                 bankLine("BQ2", "6", "GBP", "0", "0.9", "0"),
                                 bankLine("BQ2", "6", "USD", "-100", "1.10005", "-110.005"),
                                 bankLine("BQ2", "6", "", "100", "0", "0")});
  convert::CompleteCurrencyAmounts(step.ctx, prefix);
  auto act = testing_support::readTable(prefix + "_ACT.DBF");
  ASSERT_EQ(act.size(), 19u);
  EXPECT_EQ(act[1].at("CURRCODE"), "USD");
  EXPECT_EQ(numberOf(act[1], "CURRAMOUNT"), -55);
  EXPECT_DOUBLE_EQ(numberOf(act[1], "CURRATE"), 1.1);
  EXPECT_EQ(numberOf(act[2], "CURRAMOUNT"), -22);
  EXPECT_DOUBLE_EQ(numberOf(act[2], "CURRATE"), 1.1);
  // An exchange difference (0 euro) keeps its own currency amount; the
  // document is then 3.5 dollars off, which is the source's and stays.
  EXPECT_EQ(numberOf(act[3], "CURRAMOUNT"), 3.5);
  EXPECT_DOUBLE_EQ(numberOf(act[3], "CURRATE"), 1.1);
  EXPECT_EQ(act[4].at("CURRCODE"), "USD");
  EXPECT_EQ(numberOf(act[4], "CURRAMOUNT"), -33);

  EXPECT_EQ(numberOf(act[5], "CURRAMOUNT"), 38.89);
  EXPECT_EQ(numberOf(act[6], "CURRAMOUNT"), 38.89);
  EXPECT_EQ(numberOf(act[7], "CURRAMOUNT"), 38.89);
  EXPECT_DOUBLE_EQ(numberOf(act[7], "CURRATE"), 1.1667);

  EXPECT_EQ(act[9].at("CURRCODE"), "");
  EXPECT_EQ(numberOf(act[9], "CURRATE"), 0);
  EXPECT_EQ(act[11].at("CURRCODE"), "") << "a euro journal is not touched";
  EXPECT_EQ(numberOf(act[13], "CURRAMOUNT"), 110.005);
  EXPECT_EQ(numberOf(act[15], "CURRAMOUNT"), 109.99);
  EXPECT_EQ(numberOf(act[18], "CURRAMOUNT"), 110.01);
}

}  // namespace
