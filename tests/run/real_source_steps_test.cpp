// Conversion steps fed by real sources: small hand-made Marlin tables written
// as an Access file (read through mdbtools) and as SQL Server tables (the
// test server through ODBC). Every expected value is worked out by hand from
// the lines written here, and both editions must give it.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "convert/entries/history_queries.h"
#include "convert/steps.h"
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
using testing_support::Number;
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
    set("JrnlSubType", whole(1)).set("Doc", whole(doc)).set("Period", whole(period)).set("AcctType", whole(1));
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
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) c = c == '/' ? '.' : c;
    prefix = testing_support::NewYearDossier("real-source." + name, 1);
    folder = fs::path(M2K_BUILD_DIR) / "test_dossiers" / ("real-source-mdb." + name);
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
  std::vector<Record> importYear(const std::vector<Row>& journals, const std::vector<Line>& lines) {
    const marlin::Dossier model{marlin::Options{}};
    const auto year = model.yearTables(1);
    std::vector<Row> historic;
    for (const Line& l : lines) historic.push_back(l.row);
    load({{"A_01_journal", year[1].columns, journals},
          {"A_01_VATCode", year[2].columns,
           {{text("V21"), whole(0), 21.0, text("TVA 21 %")}, {text("A5"), whole(5), 21.0, text("Cocontractant")},
            {text("A6"), whole(6), 21.0, text("Importation")}}},
          {"A_01_Historic", marlin::Dossier::historicColumns(), historic},
          {"A_01_Checking", marlin::Dossier::checkingColumns(), {}}});
    testing_support::AppendRecords(prefix + "_ACF.DBF", {{{"TYPE", "3"}, {"NUMBER", "550100"}, {"CURRENCY", "USD"}},
                                                         {{"TYPE", "3"}, {"NUMBER", "550300"}, {"CURRENCY", "GBP"}}});
    auto journalRows = source->query("SELECT * FROM A_01_journal");
    EXPECT_TRUE(convert::ConvertJournals(step.ctx, *journalRows, prefix)) << ::testing::PrintToString(step.errors);
    auto documents = source->query(convert::DocumentListQuery(convert::FormOf(step.ctx), "01"));
    EXPECT_TRUE(convert::ImportYearDocuments(step.ctx, *documents, prefix)) << ::testing::PrintToString(step.errors);
    convert::CompleteDocumentAccounts(step.ctx, prefix);
    convert::CompleteCurrencyAmounts(step.ctx, prefix);
    return testing_support::ReadTable(prefix + "_ACT.DBF");
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
  for (const Record& r : lines) s += Number(r, field);
  return std::round(s * 100) / 100;
}

TEST_P(RealSourceSteps, CustomerNumbersPaddedByTheirColumnFitTheTenCharacterField) {
  // The generator's customer table; on SQL Server its numbers sit in a
  // CHAR(12) column and come back padded with blanks.
  TableData customers = marlin::Dossier(marlin::Options{}).companyTables()[2];
  customers.name = "D_AcctCustomer";
  customers.rows.resize(2);
  const int number = customers.column("CustID");
  customers.columns[number].size = 12;
  customers.rows[0][number] = text("C1");
  customers.rows[1][number] = text("ABCDEFGHIJ");
  load({customers});
  auto rows = source->query("SELECT * FROM D_AcctCustomer");
  ASSERT_TRUE(convert::ConvertCustomers(step.ctx, *rows, prefix)) << ::testing::PrintToString(step.errors);
  const auto csf = testing_support::ReadTable(prefix + "_CSF.DBF");
  EXPECT_TRUE(testing_support::FindRecord(csf, "NUMBER", "C1"));
  EXPECT_TRUE(testing_support::FindRecord(csf, "NUMBER", "ABCDEFGHIJ"));

  // Eleven characters are still too many for the field.
  customers.rows.resize(1);
  customers.rows[0][number] = text("ABCDEFGHIJK");
  load({customers});
  rows = source->query("SELECT * FROM D_AcctCustomer");
  EXPECT_FALSE(convert::ConvertCustomers(step.ctx, *rows, prefix));
  ASSERT_EQ(step.errors.size(), 1u);
  EXPECT_NE(step.errors[0].find("ABCDEFGHIJK"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Editions, RealSourceSteps, ::testing::Values(Edition::Access, Edition::Sql),
                         [](const auto& info) { return info.param == Edition::Access ? "Access" : "Sql"; });

}  // namespace
