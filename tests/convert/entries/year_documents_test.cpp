// The document step on small hand-made documents: each expected ACT line is
// worked out by hand from the source lines below.
#include <gtest/gtest.h>

#include <numeric>

#include "convert/entries/history_queries.h"
#include "convert/entries/history_steps.h"
#include "convert/master/journal_registry.h"
#include "support/history_dossier.h"
#include "support/scripted_source.h"

namespace {

using testing_support::decimal;
using testing_support::integer;
using testing_support::null;
using testing_support::Record;
using testing_support::Row;
using testing_support::text;

// One source line of historic with the columns every path reads.
struct Line {
  Row row;
  Line(int recordId, const std::string& journal, int doc, int type, int period, const std::string& account, int flag,
       const std::string& amount) {
    row = {{"RecordID", integer(recordId)}, {"JrnlID", text(journal)},  {"Doc", integer(doc)},
           {"JrnlType", integer(type)},     {"Period", integer(period)},    {"AcctID", text(account)},
           {"FlagDC", integer(flag)},       {"AmntBase", decimal(amount)},  {"DocDate", testing_support::dateValue(2024, 3, 15)},
           {"ValueDate", testing_support::dateValue(2024, 3, 16)}, {"DueDate", testing_support::dateValue(2024, 4, 14)},
           {"AssocAcctType", integer(0)},   {"CompAcctType", integer(0)},   {"ValidationType", integer(0)},
           {"AssocAcctID", null()},     {"CompAcctID", null()},
           {"Comment", text("line " + std::to_string(recordId))}, {"CheckID", null()}, {"VATCode", null()}};
  }
  Line& set(const std::string& column, base::Value v) {
    for (auto& c : row)
      if (c.first == column) return c.second = v, *this;
    row.emplace_back(column, v);
    return *this;
  }
  operator Row() const { return row; }
};

// A row of the summed balance-line query, with exactly its columns; the
// amount is Sum(AmntBase x FlagDC), so a credit of 21 sums to 21.
Row balanceRow(const std::string& journal, int doc, int type, int period, const std::string& account, int compType,
               const std::string& compId, const std::string& sum) {
  return {{"Period", integer(period)},        {"JrnlID", text(journal)},     {"JrnlSubType", integer(1)},
          {"JrnlType", integer(type)},        {"Doc", integer(doc)},             {"DocDate", testing_support::dateValue(2024, 3, 15)},
          {"ValueDate", null()},          {"DueDate", null()},           {"AcctID", text(account)},
          {"CompAcctID", text(compId)},   {"AssocAcctID", null()},       {"CompAcctType", integer(compType)},
          {"AssocAcctType", integer(0)},      {"AmntBase", decimal(sum)}};
}

testing_support::Row documentRow(const std::string& journal, int doc, int type, int subtype, int period) {
  return {{"JrnlID", text(journal)}, {"JrnlType", integer(type)}, {"JrnlSubType", integer(subtype)},
          {"Doc", integer(doc)},         {"Period", integer(period)}, {"DocDate", testing_support::dateValue(2024, 3, 15)}};
}

class DocumentStep : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix = testing_support::newYearDossier(step.folder.path(), 1);
    step.ctx.source = &source;
    step.ctx.bookYearIndex = 1;
    step.ctx.prefixedLayout = true;
    // The registry as the journals step leaves it for the French template.
    for (auto [t, c] : std::vector<std::pair<std::string, std::string>>{
             {"2", "VENTES"}, {"0", "ACHATS"}, {"3", "NCVEN"}, {"1", "NCACHA"}, {"5", "OPDIV"}, {"5", "OPDOUV"}})
      step.ctx.journals.add(t, c);
  }
  void general(const std::string& j, int doc, int type, std::vector<Row> lines) {
    source.answer(convert::generalDocumentQuery(convert::formOf(step.ctx), "01"),
                  {j, std::to_string(doc), std::to_string(type)}, std::move(lines));
  }
  void vat(convert::VatQuery q, const std::string& j, int doc, int type, std::vector<Row> rows) {
    source.answer(convert::vatDocumentQuery(convert::formOf(step.ctx), "01", q),
                  {j, std::to_string(doc), std::to_string(type)}, std::move(rows));
  }
  // A sales invoice VEN `doc` of 10 in `period`: its main line (customer
  // C001) joined to the matching entries 1 and 2, and its revenue line.
  void twiceMatchedSale(int doc, int period) {
    Line main = Line(doc * 10, "VEN", doc, 1, period, "400000", -1, "10.00");
    main.set("ValidationType", integer(2)).set("AssocAcctType", integer(10)).set("AssocAcctID", text("C001"))
        .set("TurnOverBase", decimal("10")).set("VATAmntBase", decimal("0")).set("VATNDAmntBase", decimal("0"));
    Line second = main;
    vat(convert::VatQuery::MainLine, "VEN", doc, 1, {main.set("CheckID", integer(1)), second.set("CheckID", integer(2))});
    vat(convert::VatQuery::VatLines, "VEN", doc, 1,
        {Line(doc * 10 + 1, "VEN", doc, 1, period, "700000", 1, "10.00").set("VATCode", text("0"))
             .set("xVATCode", text("0")).set("VATType", integer(1))});
  }
  std::vector<Record> run(std::vector<Row> documents) {
    testing_support::MemoryRowSet list(testing_support::tableOf(std::move(documents)));
    EXPECT_TRUE(convert::importYearDocumentsPerDocument(step.ctx, list, prefix)) << ::testing::PrintToString(step.errors);
    return testing_support::readTable(prefix + "_ACT.DBF");
  }
  // The journal renames the report lists: "field old->new detail".
  std::vector<std::string> renames() const {
    std::vector<std::string> out;
    for (const base::ValueChange& c : step.ctx.report.changes())
      if (c.kind == base::ChangeKind::Renamed)
        out.push_back(c.field + " " + c.oldValue + "->" + c.newValue + (c.detail == "PERIOD=99" ? "" : " " + c.detail));
    return out;
  }
  static double total(const std::vector<Record>& lines) {
    return std::accumulate(lines.begin(), lines.end(), 0.0,
                           [](double s, const Record& r) { return s + testing_support::numberOf(r, "AMOUNTEUR"); });
  }

  testing_support::StepContext step;
  testing_support::ScriptedSource source;
  std::string prefix;
};

TEST_F(DocumentStep, SalesInvoiceWithVat) {
  vat(convert::VatQuery::MainLine, "VEN", 1, 1,
      {Line(1, "VEN", 1, 1, 3, "400000", -1, "121.00")
           .set("ValidationType", integer(2)).set("AssocAcctType", integer(10)).set("AssocAcctID", text("C001"))
           .set("TurnOverBase", decimal("100.00")).set("VATAmntBase", decimal("21.00")).set("VATNDAmntBase", decimal("0"))
           .set("CheckID", integer(55))});
  vat(convert::VatQuery::VatLines, "VEN", 1, 1,
      {Line(2, "VEN", 1, 1, 3, "700000", 1, "100.00")
           .set("CompAcctType", integer(10)).set("CompAcctID", text("C001")).set("VATCode", text("21"))
           .set("xVATCode", text("21")).set("VATType", integer(0))});
  // A balance line of class 6 or above is no VAT line: its VAT code goes to VATIMPUT.
  vat(convert::VatQuery::BalanceLines, "VEN", 1, 1,
      {balanceRow("VEN", 1, 1, 3, "451000", 10, "C001", "21.00"), balanceRow("VEN", 1, 1, 3, "640000", 10, "C001", "0")});
  vat(convert::VatQuery::VatTypes, "VEN", 1, 1, {{{"VATType", integer(0)}}});
  vat(convert::VatQuery::UncodedCount, "VEN", 1, 1, {{{"Nombre", integer(1)}}});

  auto act = run({documentRow("VEN", 1, 1, 1, 3)});
  ASSERT_EQ(act.size(), 4u);
  const Record& main = act[0];
  EXPECT_EQ(main.at("DOCTYPE"), "1");
  EXPECT_EQ(main.at("DBKCODE"), "VEN");
  EXPECT_EQ(main.at("DBKTYPE"), "2");
  EXPECT_EQ(main.at("DOCNUMBER"), "1");
  EXPECT_EQ(main.at("DOCORDER"), "");
  EXPECT_EQ(main.at("ACCOUNTGL"), "400000");
  EXPECT_EQ(main.at("ACCOUNTRP"), "C001");
  EXPECT_EQ(main.at("PERIOD"), "03");
  EXPECT_EQ(main.at("DATE"), "15/03/2024");
  EXPECT_EQ(main.at("DUEDATE"), "14/04/2024");
  EXPECT_EQ(main.at("MATCHNO"), "10000055");
  EXPECT_EQ(testing_support::numberOf(main, "AMOUNTEUR"), 121);
  EXPECT_EQ(testing_support::numberOf(main, "VATBASE"), 100);
  EXPECT_EQ(testing_support::numberOf(main, "VATTAX"), 21);
  EXPECT_EQ(main.at("ISIMPORTED"), "T");

  const Record& revenue = act[1];
  EXPECT_EQ(revenue.at("DOCTYPE"), "3");
  EXPECT_EQ(revenue.at("ACCOUNTGL"), "700000");
  EXPECT_EQ(revenue.at("ACCOUNTRP"), "C001");
  EXPECT_EQ(revenue.at("VATIMPUT"), "244500");
  EXPECT_EQ(testing_support::numberOf(revenue, "AMOUNTEUR"), -100);
  EXPECT_EQ(testing_support::numberOf(revenue, "VATBASE"), 0);

  const Record& vatLine = act[2];
  EXPECT_EQ(vatLine.at("DOCTYPE"), "4");
  EXPECT_EQ(vatLine.at("DOCORDER"), "VAT");
  EXPECT_EQ(vatLine.at("OPCODE"), "FIXED");
  EXPECT_EQ(vatLine.at("ACCOUNTGL"), "451000");
  EXPECT_EQ(vatLine.at("VATCODE"), "244500");
  EXPECT_EQ(testing_support::numberOf(vatLine, "AMOUNTEUR"), -21);
  EXPECT_EQ(testing_support::numberOf(vatLine, "VATBASE"), 100);
  EXPECT_EQ(act[3].at("DOCORDER") + act[3].at("OPCODE") + act[3].at("VATCODE"), "");
  EXPECT_EQ(act[3].at("VATIMPUT"), "244500");
  EXPECT_EQ(total(act), 0);
}

TEST_F(DocumentStep, PurchaseCreditNoteWithNonDeductibleVat) {
  vat(convert::VatQuery::MainLine, "ACH", 7, 2,
      {Line(1, "ACH", 7, 2, 5, "440000", -1, "121.00")
           .set("ValidationType", integer(2)).set("AssocAcctType", integer(20)).set("AssocAcctID", text("S100"))
           .set("TurnOverBase", decimal("100.00")).set("VATAmntBase", decimal("21.00")).set("VATNDAmntBase", decimal("5.00"))});
  vat(convert::VatQuery::VatLines, "ACH", 7, 2,
      {Line(2, "ACH", 7, 2, 5, "610000", 1, "100.00").set("VATCode", text("21")).set("xVATCode", text("21"))
           .set("VATType", integer(0))});
  vat(convert::VatQuery::BalanceLines, "ACH", 7, 2, {balanceRow("ACH", 7, 2, 5, "411000", 20, "S100", "21.00")});
  vat(convert::VatQuery::VatTypes, "ACH", 7, 2, {{{"VATType", integer(0)}}});
  vat(convert::VatQuery::UncodedCount, "ACH", 7, 2, {{{"Nombre", integer(1)}}});

  auto act = run({documentRow("ACH", 7, 2, 2, 5)});
  ASSERT_EQ(act.size(), 3u);
  EXPECT_EQ(act[0].at("DBKTYPE"), "1");
  EXPECT_EQ(act[0].at("DOCTYPE"), "2");
  EXPECT_EQ(testing_support::numberOf(act[0], "VATBASE"), -100);
  // VAT 21 negated on a purchase debit line: -21; with 5 non-deductible:
  // -5 - (-21) = 16.
  EXPECT_EQ(testing_support::numberOf(act[0], "VATTAX"), 16);
  EXPECT_EQ(act[1].at("VATIMPUT"), "144500");
  EXPECT_EQ(act[2].at("VATCODE"), "144500");
  EXPECT_EQ(act[2].at("ACCOUNTRP"), "S100");
  EXPECT_EQ(testing_support::numberOf(act[2], "VATBASE"), -100);
  EXPECT_EQ(testing_support::numberOf(act[2], "AMOUNTEUR"), -21);
  EXPECT_EQ(total(act), 0);
}

TEST_F(DocumentStep, SalesLineWithoutVatCodeGetsItsOwnVatLine) {
  // Sales credit note: customer credited 50, revenue without VAT code debited.
  vat(convert::VatQuery::MainLine, "NCV", 3, 1,
      {Line(1, "NCV", 3, 1, 2, "400000", 1, "50.00").set("ValidationType", integer(2)).set("AssocAcctType", integer(10))
           .set("AssocAcctID", text("C002")).set("TurnOverBase", decimal("50.00")).set("VATAmntBase", decimal("0"))
           .set("VATNDAmntBase", decimal("0"))});
  vat(convert::VatQuery::VatLines, "NCV", 3, 1, {Line(2, "NCV", 3, 1, 2, "700000", -1, "50.00")});
  auto act = run({documentRow("NCV", 3, 1, 2, 2)});
  // Main line, VAT line for the uncoded revenue line, the revenue line, and
  // (no uncoded balance line) the document's own VAT line.
  ASSERT_EQ(act.size(), 4u);
  EXPECT_EQ(act[0].at("DBKTYPE"), "3");
  EXPECT_EQ(testing_support::numberOf(act[0], "VATBASE"), -50);
  EXPECT_EQ(act[1].at("DOCORDER"), "VAT");
  EXPECT_EQ(act[1].at("VATCODE"), "244300");
  EXPECT_EQ(act[1].at("ACCOUNTRP"), "C002");
  EXPECT_EQ(testing_support::numberOf(act[1], "VATBASE"), -50);
  EXPECT_EQ(act[2].at("VATIMPUT"), "244300");
  EXPECT_EQ(testing_support::numberOf(act[2], "AMOUNTEUR"), 50);
  EXPECT_EQ(act[3].at("DOCORDER"), "VAT");
  EXPECT_EQ(act[3].at("ACCOUNTGL"), "");
  EXPECT_EQ(total(act), 0);
}

TEST_F(DocumentStep, GeneralOperationNumbersItsLinesInItsLaterPeriod) {
  general("OD", 5, 3,
          {Line(1, "OD", 5, 3, 4, "600000", -1, "50.00"), Line(2, "OD", 5, 3, 0, "100000", -1, "9.00"),
           Line(3, "OD", 5, 3, 4, "550000", 1, "59.00").set("CheckID", integer(12))});
  auto act = run({documentRow("OD", 5, 3, 0, 4), documentRow("OD", 5, 3, 0, 0)});
  // The opening-period line belongs to a document of period 4: written
  // with it, not left to the opening document.
  ASSERT_EQ(act.size(), 3u);
  EXPECT_EQ(act[0].at("DOCORDER"), "001");
  EXPECT_EQ(act[1].at("DOCORDER"), "002");
  EXPECT_EQ(act[1].at("PERIOD"), "04");
  EXPECT_EQ(act[2].at("DOCORDER"), "003");
  EXPECT_EQ(act[0].at("DBKTYPE"), "5");
  EXPECT_EQ(act[0].at("OPCODE"), "MAIN");
  EXPECT_EQ(act[2].at("MATCHNO"), "10000012");
  EXPECT_EQ(testing_support::numberOf(act[2], "AMOUNTEUR"), -59);
  EXPECT_EQ(act[0].at("COMMENT"), "line 1");
  EXPECT_EQ(total(act), 0);
}

TEST_F(DocumentStep, FinancialLineInUsdAndItsCurrencyCompletion) {
  step.ctx.journals.financialAccounts = {"550000"};
  step.ctx.journals.foreignCurrency = {"BQ1"};
  general("BQ1", 9, 4,
          {Line(1, "BQ1", 9, 4, 3, "400000", 1, "100.00").set("AssocAcctType", integer(10)).set("AssocAcctID", text("C001")),
           Line(2, "BQ1", 9, 4, 3, "550000", -1, "100.00").set("CrcyAcctID", text("USD"))
               .set("AmntCrcy", decimal("110.00")).set("AssocAcctType", integer(10)).set("AssocAcctID", text("C001"))});
  auto act = run({documentRow("BQ1", 9, 4, 0, 3)});
  ASSERT_EQ(act.size(), 2u);
  EXPECT_EQ(act[0].at("DOCORDER"), "001");
  EXPECT_EQ(act[0].at("OPCODE"), "MAIN");
  EXPECT_EQ(act[0].at("CURRCODE"), "");
  EXPECT_EQ(act[1].at("DOCORDER"), "999");
  EXPECT_EQ(act[1].at("ACCOUNTRP"), "");
  EXPECT_EQ(act[1].at("OPCODE"), "");
  EXPECT_EQ(act[1].at("CURRCODE"), "USD");
  EXPECT_EQ(testing_support::numberOf(act[1], "CURRAMOUNT"), 110);
  EXPECT_DOUBLE_EQ(testing_support::numberOf(act[1], "CURRATE"), 1.1);

  // The euro line stored before the bank line takes the rate of its own
  // document's bank line.
  convert::CompleteCurrencyAmounts(step.ctx, prefix);
  act = testing_support::readTable(prefix + "_ACT.DBF");
  EXPECT_EQ(act[0].at("CURRCODE"), "USD");
  EXPECT_EQ(testing_support::numberOf(act[0], "CURRAMOUNT"), -110);
}

// On the financial path the account decides: the journal's own bank account
// closes the document (999), other bank (55) and cash (57) accounts carry no
// operation code, every other account is a main line.
TEST_F(DocumentStep, FinancialLinesTakeOrderAndOperationCodeFromTheirAccountClass) {
  step.ctx.journals.financialAccounts = {"550000"};
  general("CAI", 4, 4,
          {Line(1, "CAI", 4, 4, 3, "400000", 1, "30.00"), Line(2, "CAI", 4, 4, 3, "570000", -1, "10.00"),
           Line(3, "CAI", 4, 4, 3, "551000", -1, "15.00"), Line(4, "CAI", 4, 4, 3, "550000", -1, "5.00")});
  auto act = run({documentRow("CAI", 4, 4, 0, 3)});
  ASSERT_EQ(act.size(), 4u);
  const char* want[][3] = {{"400000", "001", "MAIN"}, {"570000", "002", ""}, {"551000", "003", ""}, {"550000", "999", ""}};
  for (size_t i = 0; i < act.size(); ++i) {
    EXPECT_EQ(act[i].at("ACCOUNTGL"), want[i][0]);
    EXPECT_EQ(act[i].at("DOCORDER"), want[i][1]) << want[i][0];
    EXPECT_EQ(act[i].at("OPCODE"), want[i][2]) << want[i][0];
  }
  EXPECT_EQ(total(act), 0);
}

TEST_F(DocumentStep, ClosingPeriodLinesGoToOneClosingJournalPerSourceJournal) {
  general("J1", 1, 3, {Line(1, "J1", 1, 3, 13, "600000", -1, "10.00"), Line(2, "J1", 1, 3, 13, "550000", 1, "10.00")});
  general("J2", 2, 3, {Line(3, "J2", 2, 3, 13, "600000", -1, "20.00")});
  general("J1", 3, 3, {Line(4, "J1", 3, 3, 13, "550000", 1, "20.00")});
  auto act = run({documentRow("J1", 1, 3, 0, 13), documentRow("J2", 2, 3, 0, 13), documentRow("J1", 3, 3, 0, 13)});
  ASSERT_EQ(act.size(), 4u);
  EXPECT_EQ(act[0].at("PERIOD"), "99");
  EXPECT_EQ(act[0].at("DBKCODE"), "KSCLO1");
  EXPECT_EQ(act[2].at("DBKCODE"), "KSCLO2");
  EXPECT_EQ(act[3].at("DBKCODE"), "KSCLO1");
  EXPECT_EQ(step.ctx.journals.closing, (std::vector<std::string>{"J1", "J2"}));
  EXPECT_EQ(renames(), (std::vector<std::string>{"ACT.DBKCODE J1->KSCLO1", "ACT.DBKCODE J2->KSCLO2"}));
  auto dbk = testing_support::readTable(prefix + "_DBK_01.DBF");
  const Record* journal = testing_support::findRecord(dbk, "DBKID", "KSCLO2");
  ASSERT_TRUE(journal);
  EXPECT_EQ(journal->at("DBKDESC"), "J2 - PERIOD 99");
  EXPECT_EQ(journal->at("DBKTYPE"), "5");
  EXPECT_EQ(journal->at("DBKTYPE2"), "2");
}

TEST_F(DocumentStep, LineWithTwoMatchingEntriesIsWrittenOnceInTheSqlEdition) {
  step.ctx.isVersionSql = true;
  general("OD", 8, 3,
          {Line(1, "OD", 8, 3, 3, "400000", -1, "10.00").set("CheckID", integer(1)),
           Line(1, "OD", 8, 3, 3, "400000", -1, "10.00").set("CheckID", integer(2)),
           Line(2, "OD", 8, 3, 3, "700000", 1, "10.00")});
  auto act = run({documentRow("OD", 8, 3, 0, 3)});
  ASSERT_EQ(act.size(), 2u);
  EXPECT_EQ(act[0].at("MATCHNO"), "10000001");
  EXPECT_EQ(act[1].at("DOCORDER"), "002");
  EXPECT_TRUE(step.ui.messages.empty());
  // The matching entry left out is in the report.
  ASSERT_EQ(step.ctx.report.changes().size(), 1u);
  const base::ValueChange& dropped = step.ctx.report.changes()[0];
  EXPECT_EQ(dropped.kind, base::ChangeKind::Dropped);
  EXPECT_EQ(dropped.key, "OD 8");
  EXPECT_EQ(dropped.oldValue, "10000002");
}

// The case goes to the report; the run shows one box for all of them at the
// end of the step.
TEST_F(DocumentStep, MainLineWithTwoMatchingEntriesIsReportedInTheAccessEdition) {
  twiceMatchedSale(4, 3);
  auto act = run({documentRow("VEN", 4, 1, 1, 3)});
  ASSERT_EQ(act.size(), 3u);  // main, revenue, the document's VAT line
  EXPECT_EQ(act[0].at("MATCHNO"), "10000001");
  EXPECT_TRUE(step.ui.messages.empty());
  ASSERT_EQ(step.ctx.report.repeats().size(), 1u);
  const base::RepeatedMessage& repeated = step.ctx.report.repeats()[0];
  EXPECT_EQ(repeated.id, "several-matching-entries");
  EXPECT_EQ(repeated.cases, std::vector<std::string>{"VEN 4"});
  EXPECT_EQ(repeated.title, "Kestrel - Importation d'un dossier Marlin");
  EXPECT_NE(repeated.summary.find("%n"), std::string::npos);
  EXPECT_EQ(total(act), 0);
}

// The opening step writes an opening-period document; this one neither writes
// a line of it (not even the document's own VAT line) nor warns about its
// matching entries.
TEST_F(DocumentStep, OpeningPeriodVatDocumentIsLeftAloneAndWarningsNameTheWrittenJournal) {
  twiceMatchedSale(5, 0);
  EXPECT_TRUE(run({documentRow("VEN", 5, 1, 1, 0)}).empty());
  EXPECT_TRUE(step.ctx.report.repeats().empty());

  // A document listed first under the opening period whose lines lie in a
  // later one is written, and the warning names the journal it went to.
  twiceMatchedSale(6, 3);
  auto act = run({documentRow("VEN", 6, 1, 1, 0), documentRow("VEN", 6, 1, 1, 3)});
  ASSERT_EQ(act.size(), 3u);
  EXPECT_EQ(act[2].at("DBKCODE"), "VEN");
  ASSERT_EQ(step.ctx.report.repeats().size(), 1u);
  EXPECT_EQ(step.ctx.report.repeats()[0].cases, std::vector<std::string>{"VEN 6"});
}

TEST_F(DocumentStep, SourceJournalUsedForTwoKindsIsSplit) {
  general("MIX", 1, 3, {Line(1, "MIX", 1, 3, 3, "600000", -1, "10.00"), Line(2, "MIX", 1, 3, 3, "550000", 1, "10.00")});
  general("MIX", 2, 4, {Line(3, "MIX", 2, 4, 3, "600000", -1, "10.00"), Line(4, "MIX", 2, 4, 3, "550000", 1, "10.00")});
  auto act = run({documentRow("MIX", 1, 3, 0, 3), documentRow("MIX", 2, 4, 0, 3)});
  ASSERT_EQ(act.size(), 4u);
  EXPECT_EQ(act[0].at("DBKCODE"), "MIX");
  EXPECT_EQ(act[2].at("DBKCODE"), "MIX4");
  EXPECT_EQ(renames(), std::vector<std::string>{"DBK.DBKID MIX->MIX4 DBKTYPE=4"});
  auto dbk = testing_support::readTable(prefix + "_DBK_01.DBF");
  const Record* journal = testing_support::findRecord(dbk, "DBKID", "MIX4");
  ASSERT_TRUE(journal);
  EXPECT_EQ(journal->at("DBKTYPE"), "4");
}

TEST_F(DocumentStep, CodesWithQuotesReachTheSourceAsValues) {
  general("O'D", 1, 3, {Line(1, "O'D", 1, 3, 3, "600000", -1, "10.00")});
  auto act = run({documentRow("O'D", 1, 3, 0, 3)});
  ASSERT_EQ(act.size(), 1u);
  for (const auto& call : source.calls()) EXPECT_EQ(call.sql.find("O'D"), std::string::npos);
}

}  // namespace
