// Conversion steps fed by real sources: small hand-made Marlin tables written
// as an Access file (read through mdbtools) and as SQL Server tables (the
// test server through ODBC). Every expected value is worked out by hand from
// the lines written here, and both editions must give it.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <tuple>

#include "convert/entries/history_queries.h"
#include "convert/entries/history_steps.h"
#include "convert/master/master_steps.h"
#include "jet4_writer.h"
#include "marlin_dossier.h"
#include "marlin_forms.h"
#include "run/access_source.h"
#include "support/history_dossier.h"
#include "support/sql_test_server.h"

namespace {

namespace fs = std::filesystem;
using marlin::Row;
using marlin::TableData;
using testing_support::numberOf;
using testing_support::Record;

enum class Edition { Access, Sql };

jet4::Value eur(const char* amount) { return jet4::Currency{std::llround(std::stod(amount) * 10000)}; }
jet4::Value text(const char* s) { return std::string(s); }
jet4::Value whole(int64_t n) { return n; }

// One line of A_01_Historic: the columns every line has, the others null.
struct Line {
  Row row = Row(marlin::Dossier::historicColumns().size());
  Line(int64_t record, const char* journal, int type, int64_t doc, int period, const char* account, int flag,
       const char* amount) {
    set("RecordTag", whole(0)).set("RecordID", whole(record)).set("JrnlID", text(journal)).set("JrnlType", whole(type));
    // Sales and purchases of subtype 1 are invoices; miscellaneous
    // operations of subtype 0 are general ones.
    set("JrnlSubType", whole(type == 3 ? 0 : 1)).set("Doc", whole(doc)).set("Period", whole(period)).set("AcctType", whole(1));
    set("AcctID", text(account)).set("FlagDC", whole(flag)).set("AmntBase", eur(amount)).set("ValidationType", whole(0));
    set("AssocAcctType", whole(0)).set("CompAcctType", whole(0));
    set("DocDate", jet4::DateTime{2024, 3, 15}).set("ValueDate", jet4::DateTime{2024, 3, 15});
  }
  Line& set(const char* column, jet4::Value v) {
    static const TableData historic{"Historic", marlin::Dossier::historicColumns(), {}};
    row.at(historic.column(column)) = std::move(v);
    return *this;
  }
  // A line of a foreign-currency bank: its amount in the currency too.
  Line& currency(const char* code, const char* amount) {
    return set("CrcyAcctID", text(code)).set("CrcyID", text(code)).set("AmntCrcy", eur(amount));
  }
  Line& vat(const char* code, int type) { return set("VATCode", text(code)).set("VATType", whole(type)); }
  Line& party(int kind, const char* id) { return set("AssocAcctType", whole(kind)).set("AssocAcctID", text(id)); }
};

Row journal(const char* code, int type, int subtype, const char* account) {
  return {text(code), whole(type), whole(subtype), text(code), account ? text(account) : jet4::Value(), {}, whole(0)};
}

class RealSourceSteps : public ::testing::TestWithParam<Edition> {
 protected:
  void SetUp() override {
    if (GetParam() == Edition::Sql) REQUIRE_SQL_SERVER();
    prefix = testing_support::newYearDossier(step.folder.path() / "kestrel", 1);
    folder = step.folder.path() / "marlin";
    step.ctx.bookYearIndex = 1;
    step.ctx.prefixedLayout = true;
    step.ctx.isVersionSql = GetParam() == Edition::Sql;
  }

  // Writes the tables into the edition's store and opens it as the run does.
  void load(const std::vector<TableData>& tables) {
    step.ctx.source = nullptr;
    source.reset();
    if (GetParam() == Edition::Access) {
      fs::remove_all(folder);
      fs::create_directories(folder);
      const std::string file = (folder / "001Soc.MDB").string();
      {
        jet4::Database db(file);
        for (const TableData& t : tables) {
          jet4::Table& out = db.addTable(t.name, t.columns);
          for (const Row& r : t.rows) out.addRow(r);
        }
        db.close();
      }
      source = run::openAccessSource(file);
    } else {
      database = std::make_unique<testing_support::TestDatabase>(testing_support::uniqueName("PW0H") + "SOC");
      auto admin = testing_support::openAsAdmin(database->name);
      for (const TableData& t : tables) {
        testing_support::execSql(*admin, marlin::sqlCreateTable(t.name, t.columns));
        if (!t.rows.empty()) testing_support::execSql(*admin, marlin::sqlInsert(t.name, t.columns, t.rows));
      }
      source = testing_support::openAsAdmin(database->name);
    }
    step.ctx.source = source.get();
  }

  // Book year 01 from its journals and lines, through the steps the run
  // calls after the periods: journals, documents, then the two passes.
  std::vector<Record> importYear(const std::vector<Row>& journals, const std::vector<Line>& lines,
                                 const std::vector<Row>& checking = {}) {
    const marlin::Dossier model{marlin::Options{}};
    const auto year = model.yearTables(1);
    std::vector<Row> historic;
    for (const Line& l : lines) historic.push_back(l.row);
    load({{"A_01_journal", year[1].columns, journals},
          {"A_01_VATCode", year[2].columns,
           {{text("V21"), whole(0), 21.0, text("TVA 21 %")}, {text("A5"), whole(5), 21.0, text("Cocontractant")},
            {text("A6"), whole(6), 21.0, text("Importation")}}},
          {"A_01_Historic", marlin::Dossier::historicColumns(), historic},
          {"A_01_Checking", marlin::Dossier::checkingColumns(), checking}});
    testing_support::appendRecords(prefix + "_ACF.DBF", {{{"TYPE", "3"}, {"NUMBER", "550100"}, {"CURRENCY", "USD"}},
                                                         {{"TYPE", "3"}, {"NUMBER", "550300"}, {"CURRENCY", "GBP"}}});
    auto journalRows = source->query("SELECT * FROM A_01_journal");
    EXPECT_TRUE(convert::ConvertJournals(step.ctx, *journalRows, prefix)) << ::testing::PrintToString(step.errors);
    EXPECT_TRUE(convert::importOpeningEntriesFromSource(step.ctx, prefix)) << ::testing::PrintToString(step.errors);
    auto documents = source->query(convert::documentListQuery(convert::formOf(step.ctx), "01"));
    EXPECT_TRUE(convert::ImportYearDocuments(step.ctx, *documents, prefix)) << ::testing::PrintToString(step.errors);
    convert::CompleteDocumentAccounts(step.ctx, prefix);
    convert::CompleteCurrencyAmounts(step.ctx, prefix);
    return testing_support::readTable(prefix + "_ACT.DBF");
  }

  testing_support::StepContext step;
  std::string prefix;
  fs::path folder;
  std::unique_ptr<testing_support::TestDatabase> database;
  std::unique_ptr<base::Source> source;
};

// The lines of one document, in the order they were written.
std::vector<Record> document(const std::vector<Record>& act, const std::string& journal, const std::string& number) {
  std::vector<Record> out;
  for (const Record& r : act)
    if (r.at("DBKCODE") == journal && r.at("DOCNUMBER") == number) out.push_back(r);
  return out;
}

double sum(const std::vector<Record>& lines, const char* field) {
  double s = 0;
  for (const Record& r : lines) s += numberOf(r, field);
  return std::round(s * 100) / 100;
}

TEST_P(RealSourceSteps, ForeignBankLinesTakeTheRateOfTheirOwnDocument) {
  const auto act = importYear(
      {journal("BQ2", 4, 1, "550100"), journal("OPDIV", 4, 1, "550300")},
      {// BQ2 1: the bank line first, 110 dollars for 100 euro.
       Line(1, "BQ2", 4, 1, 3, "550100", -1, "100.00").currency("USD", "110.00"),
       Line(2, "BQ2", 4, 1, 3, "400000", 1, "100.00").party(10, "C1").set("CrcyAcctID", text("EUR")),
       // BQ2 2: the counterpart stored before the bank line; 728.73 dollars
       // for 635.34 euro is a rate of 1.146993..., 1.14699 to five decimals.
       Line(3, "BQ2", 4, 2, 3, "499000", 1, "635.34"),
       Line(4, "BQ2", 4, 2, 3, "550100", -1, "635.34").currency("USD", "728.73"),
       // BQ2 3: 21,160 dollars for 20,000 euro (1.058) split over two
       // counterparts: 6356.81 x 1.058 = 6725.50498, one rounding gives
       // 6725.50 (two would give 6725.51); 13643.19 x 1.058 = 14434.49502.
       Line(5, "BQ2", 4, 3, 3, "550100", -1, "20000.00").currency("USD", "21160.00"),
       Line(6, "BQ2", 4, 3, 3, "499000", 1, "6356.81"),
       Line(7, "BQ2", 4, 3, 3, "400000", 1, "13643.19").party(10, "C2"),
       // OPDIV is a miscellaneous journal of the French template: the pound
       // bank is renamed OPDIV4 and completed under that code.
       Line(8, "OPDIV", 4, 1, 3, "550300", -1, "200.00").currency("GBP", "170.00"),
       Line(9, "OPDIV", 4, 1, 3, "499000", 1, "200.00")});

  const auto first = document(act, "BQ2", "1");
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1].at("CURRCODE"), "USD");
  EXPECT_EQ(numberOf(first[1], "CURRAMOUNT"), -110);
  EXPECT_EQ(numberOf(first[1], "CURRATE"), 1.1);

  const auto second = document(act, "BQ2", "2");
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].at("ACCOUNTGL"), "499000");
  EXPECT_EQ(second[0].at("CURRCODE"), "USD");
  EXPECT_EQ(numberOf(second[0], "CURRAMOUNT"), -728.73);
  EXPECT_EQ(numberOf(second[0], "CURRATE"), 1.14699);
  EXPECT_EQ(numberOf(second[1], "CURRATE"), 1.14699);
  EXPECT_EQ(numberOf(second[1], "CURRAMOUNT"), 728.73);

  const auto third = document(act, "BQ2", "3");
  ASSERT_EQ(third.size(), 3u);
  EXPECT_EQ(numberOf(third[1], "CURRAMOUNT"), -6725.50);
  EXPECT_EQ(numberOf(third[2], "CURRAMOUNT"), -14434.50);
  EXPECT_EQ(numberOf(third[2], "CURRATE"), 1.058);

  const auto pounds = document(act, "OPDIV4", "1");
  ASSERT_EQ(pounds.size(), 2u);
  EXPECT_EQ(pounds[1].at("CURRCODE"), "GBP");
  EXPECT_EQ(numberOf(pounds[1], "CURRAMOUNT"), -170);
  EXPECT_EQ(numberOf(pounds[1], "CURRATE"), 0.85);
  for (const auto* doc : {&first, &second, &third, &pounds}) {
    EXPECT_EQ(sum(*doc, "AMOUNTEUR"), 0);
    EXPECT_EQ(sum(*doc, "CURRAMOUNT"), 0);
  }
}

TEST_P(RealSourceSteps, EveryLineOfADocumentTakesThePeriodOfItsMainLine) {
  const auto act = importYear(
      {journal("ACH", 2, 1, nullptr), journal("OD", 3, 0, nullptr)},
      {// A purchase whose main line lies in period 3 and the rest in 4.
       Line(1, "ACH", 2, 2024000007, 3, "440000", 1, "121.00").party(20, "F1").set("ValidationType", whole(2))
           .set("TurnOverBase", eur("100.00")).set("VATAmntBase", eur("21.00")).set("VATNDAmntBase", eur("0")),
       Line(2, "ACH", 2, 2024000007, 4, "600000", -1, "100.00").vat("V21", 0),
       Line(3, "ACH", 2, 2024000007, 4, "411000", -1, "21.00"),
       // A general operation has no main line: its first line gives period 5.
       Line(4, "OD", 3, 8, 5, "612000", -1, "10.00"), Line(5, "OD", 3, 8, 4, "499000", 1, "10.00")});

  const auto purchase = document(act, "ACH", "94000007");
  ASSERT_EQ(purchase.size(), 3u);
  for (const Record& r : purchase) {
    EXPECT_EQ(r.at("PERIOD"), "03") << r.at("ACCOUNTGL");
    EXPECT_EQ(r.at("ACCOUNTRP"), "F1") << r.at("ACCOUNTGL");
  }
  EXPECT_EQ(sum(purchase, "AMOUNTEUR"), 0);
  const auto general = document(act, "OD", "8");
  ASSERT_EQ(general.size(), 2u);
  EXPECT_EQ(general[0].at("PERIOD"), "05");
  EXPECT_EQ(general[1].at("PERIOD"), "05");
}

TEST_P(RealSourceSteps, ADocumentWithOpeningLinesIsWrittenWholeInItsLaterPeriod) {
  const auto act = importYear(
      {journal("OUV", 3, 1, nullptr), journal("OD", 3, 0, nullptr), journal("ACH", 2, 1, nullptr)},
      {// The opening balances: period 0 alone.
       Line(1, "OUV", 3, 1, 0, "100000", 1, "500.00"), Line(2, "OUV", 3, 1, 0, "550000", -1, "450.00"),
       Line(3, "OUV", 3, 1, 0, "400000", -1, "50.00"),
       // A general operation with one line in period 0 and one in 4.
       Line(4, "OD", 3, 5, 0, "499000", -1, "40.00"), Line(5, "OD", 3, 5, 4, "612000", 1, "40.00"),
       // A purchase whose main line lies in period 0, the rest in 2.
       Line(6, "ACH", 2, 7, 0, "440000", 1, "121.00").party(20, "F1").set("ValidationType", whole(2))
           .set("TurnOverBase", eur("100.00")).set("VATAmntBase", eur("21.00")).set("VATNDAmntBase", eur("0")),
       Line(7, "ACH", 2, 7, 2, "600000", -1, "100.00").vat("V21", 0),
       Line(8, "ACH", 2, 7, 2, "411000", -1, "21.00")},
      // Line 1 has two matching entries stored highest first, line 3 two
      // stored lowest first: each takes its lowest, in every edition.
      {{whole(1), whole(9), eur("500.00")}, {whole(1), whole(3), eur("500.00")},
       {whole(3), whole(4), eur("50.00")}, {whole(3), whole(8), eur("50.00")}});

  const auto opening = document(act, "OPDOUV", "1");
  ASSERT_EQ(opening.size(), 3u);
  EXPECT_EQ(opening[0].at("ACCOUNTGL"), "100000");
  EXPECT_EQ(opening[0].at("MATCHNO"), "10000003");
  EXPECT_EQ(opening[2].at("MATCHNO"), "10000004");
  EXPECT_EQ(opening[2].at("DOCORDER"), "003");
  EXPECT_EQ(sum(opening, "AMOUNTEUR"), 0);

  // Each mixed document whole in its later period, balanced, the opening
  // line in its place among the others.
  for (const auto& [journal, number, lines, period, first] :
       {std::tuple{"OD", "5", 2u, "04", "499000"}, std::tuple{"ACH", "7", 3u, "02", "440000"}}) {
    const auto written = document(act, journal, number);
    ASSERT_EQ(written.size(), lines) << journal;
    EXPECT_EQ(written[0].at("ACCOUNTGL"), first);
    for (const Record& r : written) EXPECT_EQ(r.at("PERIOD"), period) << journal;
    EXPECT_EQ(sum(written, "AMOUNTEUR"), 0) << journal;
  }
}

TEST_P(RealSourceSteps, VatTypesFiveAndSixAndABalanceLineOnAnExpenseAccount) {
  // A purchase of 500 under VAT type 5 (co-contractor) and 500 under type 6
  // (import), their 105 of VAT on 411000, and a charge without VAT code on
  // an expense account keyed " 612000": its text sorts before "6", so the
  // source lists it among the balance lines.
  const auto act = importYear(
      {journal("ACH", 2, 1, nullptr)},
      {Line(1, "ACH", 2, 9, 3, "440000", 1, "1365.00").party(20, "F1").set("ValidationType", whole(2))
           .set("TurnOverBase", eur("1000.00")).set("VATAmntBase", eur("0")).set("VATNDAmntBase", eur("0")),
       Line(2, "ACH", 2, 9, 3, "600000", -1, "500.00").vat("A5", 5),
       Line(3, "ACH", 2, 9, 3, "612000", -1, "500.00").vat("A6", 6),
       Line(4, "ACH", 2, 9, 3, "411000", -1, "105.00"),
       Line(5, "ACH", 2, 9, 3, " 612000", -1, "260.00"),
       // A charge without VAT code on the account "6" itself.
       Line(6, "ACH", 2, 10, 3, "440000", 1, "50.00").party(20, "F1").set("ValidationType", whole(2))
           .set("TurnOverBase", eur("50.00")).set("VATAmntBase", eur("0")).set("VATNDAmntBase", eur("0")),
       Line(7, "ACH", 2, 10, 3, "6", -1, "50.00")});

  const auto lines = document(act, "ACH", "9");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].at("ACCOUNTGL"), "440000");
  EXPECT_EQ(numberOf(lines[0], "VATBASE"), 1000);
  EXPECT_EQ(lines[1].at("VATIMPUT"), "121100");
  EXPECT_EQ(lines[2].at("VATIMPUT"), "113300");
  // The balance lines take the VAT types present in turn: 411000 the first
  // (5); the expense account gets the document's purchase VAT code as its
  // imputation instead of a VAT code, and no line order or operation code.
  const Record& vat = lines[3];
  EXPECT_EQ(vat.at("ACCOUNTGL"), "411000");
  EXPECT_EQ(vat.at("VATCODE"), "121100");
  EXPECT_EQ(vat.at("DOCORDER"), "VAT");
  EXPECT_EQ(numberOf(vat, "AMOUNTEUR"), 105);
  const Record& expense = lines[4];
  EXPECT_EQ(expense.at("ACCOUNTGL"), "612000");
  EXPECT_EQ(expense.at("VATIMPUT"), "144500");
  EXPECT_EQ(expense.at("VATCODE"), "");
  EXPECT_EQ(expense.at("DOCORDER"), "");
  EXPECT_EQ(expense.at("OPCODE"), "");
  EXPECT_EQ(expense.at("DOCTYPE"), "4");
  EXPECT_EQ(numberOf(expense, "AMOUNTEUR"), 260);
  EXPECT_EQ(numberOf(expense, "VATBASE"), 1000);
  EXPECT_EQ(sum(lines, "AMOUNTEUR"), 0);

  // It is written like the other expense lines, after a VAT line of its base.
  const auto six = document(act, "ACH", "10");
  ASSERT_EQ(six.size(), 3u);
  EXPECT_EQ(six[1].at("DOCORDER"), "VAT");
  EXPECT_EQ(six[2].at("ACCOUNTGL") + " " + six[2].at("VATIMPUT"), "600000 144300");
  EXPECT_EQ(numberOf(six[1], "VATBASE"), 50);
  EXPECT_EQ(sum(six, "AMOUNTEUR"), 0);
}

TEST_P(RealSourceSteps, CustomerNumbersPaddedByTheirColumnFitTheTenCharacterField) {
  // The generator's customer table; on SQL Server its numbers sit in a
  // CHAR(12) column and come back padded with blanks.
  TableData customers = marlin::Dossier(marlin::Options{}).companyTables()[2];
  customers.name = "D_AcctCustomer";
  customers.rows.resize(2);
  const int number = customers.column("CustID");
  customers.columns[number].size = 12;
  customers.columns[number].size = 12;
  customers.rows[0][number] = text("C1");
  customers.rows[1][number] = text("ABCDEFGHIJ");
  load({customers});
  auto rows = source->query("SELECT * FROM D_AcctCustomer");
  ASSERT_TRUE(convert::ConvertCustomers(step.ctx, *rows, prefix)) << ::testing::PrintToString(step.errors);
  const auto csf = testing_support::readTable(prefix + "_CSF.DBF");
  EXPECT_TRUE(testing_support::findRecord(csf, "NUMBER", "C1"));
  EXPECT_TRUE(testing_support::findRecord(csf, "NUMBER", "ABCDEFGHIJ"));

  // Eleven characters are still too many for the field.
  customers.rows.resize(1);
  customers.rows[0][number] = text("ABCDEFGHIJK");
  load({customers});
  rows = source->query("SELECT * FROM D_AcctCustomer");
  EXPECT_FALSE(convert::ConvertCustomers(step.ctx, *rows, prefix));
  ASSERT_EQ(step.errors.size(), 1u);
  EXPECT_NE(step.errors[0].find("ABCDEFGHIJK"), std::string::npos);
}

TEST_P(RealSourceSteps, TheYearReadWholeGivesWhatThePerDocumentQueriesGive) {
  // A generated book year: every kind of document, lines in two periods,
  // several matching entries, foreign banks, the closing period.
  marlin::Options options;
  options.years = 2;
  options.lines = 1500;
  const marlin::Dossier model(options);
  struct Sink : marlin::EntrySink {
    std::vector<Row> lines, matches;
    void historic(const Row& row) override { lines.push_back(row); }
    void checking(const Row& row) override { matches.push_back(row); }
  } entries;
  model.generateEntries(1, entries);
  std::vector<TableData> tables = model.yearTables(1);
  tables.push_back({"Historic", marlin::Dossier::historicColumns(), entries.lines});
  tables.push_back({"Checking", marlin::Dossier::checkingColumns(), entries.matches});
  for (TableData& t : tables) t.name = "A_01_" + t.name;
  load(tables);

  using Import = bool (*)(base::RunContext&, base::RowSet&, const std::string&);
  auto importWith = [&](Import documents, const std::string& name) {
    testing_support::StepContext year;
    year.ctx = step.ctx;
    const std::string dossier = testing_support::newYearDossier(year.folder.path() / name, 1);
    auto journals = source->query("SELECT * FROM A_01_journal");
    EXPECT_TRUE(convert::ConvertJournals(year.ctx, *journals, dossier));
    EXPECT_TRUE(convert::importOpeningEntriesFromSource(year.ctx, dossier));
    auto list = source->query(convert::documentListQuery(convert::formOf(year.ctx), "01"));
    EXPECT_TRUE(documents(year.ctx, *list, dossier));
    return std::pair(testing_support::readTable(dossier + "_ACT.DBF"), testing_support::readTable(dossier + "_DBK_01.DBF"));
  };
  const auto whole = importWith(convert::ImportYearDocuments, "whole");
  const auto perDocument = importWith(convert::importYearDocumentsPerDocument, "per-document");
  ASSERT_GT(whole.first.size(), 1000u);
  EXPECT_TRUE(whole.first == perDocument.first);
  EXPECT_TRUE(whole.second == perDocument.second);
}

INSTANTIATE_TEST_SUITE_P(Editions, RealSourceSteps, ::testing::Values(Edition::Access, Edition::Sql),
                         [](const auto& info) { return info.param == Edition::Access ? "Access" : "Sql"; });

}  // namespace
