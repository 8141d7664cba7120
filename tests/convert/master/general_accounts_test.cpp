// The chart of general accounts into ACF of a real template dossier.
#include <gtest/gtest.h>

#include "convert/master/master_steps.h"
#include "master_dossier.h"
#include "store/engine/sx.h"

using namespace master_test;
using testing_support::integer;
using testing_support::MemoryRowSet;
using testing_support::MemoryTable;
using testing_support::Row;
using testing_support::text;

namespace {

const std::vector<std::string> kAcfFields = {"TYPE",    "NUMBER",  "NAME11",    "NAME21",  "NAME12",
                                             "NAME22",  "ISINBY1", "ISINBY2",   "CENTRALID", "CURRENCY"};

MemoryTable accountTable(const std::vector<Row>& rows, bool withCurrency = true) {
  std::vector<std::string> columns = {"TYPE", "GENERALID", "WORDINGFR", "WORDINGNL", "FLAGDC"};
  if (withCurrency) columns.push_back("CRCYID");
  return testing_support::namedRows(columns, rows);
}

Row accountRow(int type, const std::string& id, const std::string& fr, const std::string& nl) {
  return {{"TYPE", integer(type)}, {"GENERALID", text(id)}, {"WORDINGFR", text(fr)}, {"WORDINGNL", text(nl)}};
}

class MasterGeneralAccounts : public MasterDossier {
 protected:
  std::map<std::string, Record> byNumber() {
    std::map<std::string, Record> out;
    for (const Record& r : rows("ACF", kAcfFields)) out.emplace(r.at("TYPE") + r.at("NUMBER"), r);
    return out;
  }
};

}  // namespace

TEST_F(MasterGeneralAccounts, SourceAccountsTypesNamesAndSpecialCodes) {
  makeDossier("F", "6");
  Row usd = accountRow(4, "5500", "Banque USD", "Bank USD");
  usd.push_back({"CRCYID", text(" USD ")});
  Row profit = accountRow(5, "754", "Gains de change", "Wisselwinst");
  profit.push_back({"FLAGDC", integer(1)});
  MemoryRowSet accounts(accountTable({
      accountRow(3, "61", "Services et biens divers", "Diensten en diverse goederen"),
      accountRow(0, "6100", "Loyers", "Huur"),
      accountRow(1, "400000", "Clients", "Klanten"),
      accountRow(1, "400100", "Clients douteux", "Dubieuze klanten"),
      accountRow(2, "440000", "Fournisseurs", "Leveranciers"),
      usd,
      accountRow(4, "5510", "Banque EUR", "Bank EUR"),
      profit,
      accountRow(5, "654", "Pertes de change", "Wisselverlies"),
      accountRow(6, "7541", "Gains euro", "Winst euro"),
      {{"TYPE", integer(0)}, {"GENERALID", text("6120000")}},
      {{"GENERALID", text("999")}},  // no type: skipped
      accountRow(3, "62", "Rémunérations", "Bezoldigingen"),
      accountRow(0, "620000", "Salaires", "Lonen"),
      // A heading whose number, brought to length, is an account already written.
      accountRow(3, "6200", "Titre qui renomme", "Titel"),
  }));
  ASSERT_TRUE(convert::ConvertGeneralAccounts(ctx, accounts, prefix));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(steps.front(), "General Ledgers");

  auto acf = byNumber();
  EXPECT_EQ(acf.at("961").at("NAME11"), "Services et biens divers");
  EXPECT_EQ(acf.at("961").at("NAME21"), "Diensten en diverse goederen");
  EXPECT_EQ(acf.at("3610000").at("NAME12"), "Loyers");
  EXPECT_EQ(acf.at("3610000").at("NAME22"), "Huur");
  EXPECT_EQ(acf.at("3610000").at("ISINBY1"), "T");
  EXPECT_EQ(acf.at("3610000").at("ISINBY2"), "T");
  EXPECT_EQ(acf.at("3610000").at("CENTRALID"), "");
  EXPECT_EQ(acf.at("3400000").at("CENTRALID"), "C1");
  EXPECT_EQ(acf.at("3400100").at("CENTRALID"), "C2");
  EXPECT_EQ(acf.at("3440000").at("CENTRALID"), "S1");
  EXPECT_EQ(acf.at("3550000").at("CURRENCY"), "USD");
  EXPECT_EQ(acf.at("3551000").at("CURRENCY"), "EUR");
  EXPECT_EQ(acf.at("3610000").at("CURRENCY"), "");
  EXPECT_EQ(acf.at("3754000").at("CENTRALID"), "PPROF");
  EXPECT_EQ(acf.at("3654000").at("CENTRALID"), "PLOSS");
  EXPECT_EQ(acf.at("3754100").at("CENTRALID"), "PLOSSE");
  // Both wordings absent: every name is the number.
  EXPECT_EQ(acf.at("3612000").at("NAME11"), "612000");
  EXPECT_EQ(acf.at("3612000").at("NAME22"), "612000");
  EXPECT_EQ(acf.count("3999000") + acf.count("3999"), 0u);
  // The heading 6200 found the account 620000: only its first-language names changed.
  EXPECT_EQ(acf.count("96200"), 0u);
  EXPECT_EQ(acf.at("3620000").at("NAME11"), "Titre qui renomme");
  EXPECT_EQ(acf.at("3620000").at("NAME12"), "Titre qui renomme");
  EXPECT_EQ(acf.at("3620000").at("NAME21"), "Lonen");
  EXPECT_EQ(acf.at("962").at("NAME11"), "Rémunérations");
  expectIndexesAgree("ACF");
}

TEST_F(MasterGeneralAccounts, StandardAccountsFollowTheLengthAndKeepExistingNames) {
  for (const char* length : {"4", "6", "8"}) {
    SCOPED_TRACE(length);
    makeDossier("N", length);
    MemoryRowSet accounts(accountTable({accountRow(0, "451000", "TVA à payer (source)", "Te betalen btw (bron)")}, false));
    ASSERT_TRUE(convert::ConvertGeneralAccounts(ctx, accounts, prefix));
    auto acf = byNumber();
    std::string vat = std::string("4510000000").substr(0, std::stoi(length));
    EXPECT_EQ(acf.at("3" + vat).at("CENTRALID"), "V03");
    EXPECT_EQ(acf.at("3" + vat).at("NAME11"), "Te betalen btw (bron)");
    std::string transfer = std::string("5810000000").substr(0, std::stoi(length));
    EXPECT_EQ(acf.at("3" + transfer).at("CENTRALID"), "BTRSF");
    EXPECT_EQ(acf.at("3" + transfer).at("NAME11"), "UITGESCHREVEN OVERSCHRIJVINGEN");
    EXPECT_EQ(acf.at("3" + transfer).at("NAME21"), "VIREMENTS EMIS");
    std::string internal = std::string("49999900").substr(0, std::stoi(length));
    EXPECT_EQ(acf.at("3" + internal).at("CENTRALID"), "WAIT1");
    // 18 standard accounts, one of them the source's own.
    EXPECT_EQ(acf.size(), 18u);
    expectIndexesAgree("ACF");
    TearDown();
  }
}

TEST_F(MasterGeneralAccounts, DossierLengthIsRewrittenOnceAtTheFirstAccount) {
  makeDossier("F", "7");
  ASSERT_NE(convert::readGeneralAccountLength(ctx, prefix), "7");
  MemoryRowSet accounts(accountTable({accountRow(3, "1", "Titre", "Titel"), accountRow(0, "100", "Capital", "Kapitaal")}));
  ASSERT_TRUE(convert::ConvertGeneralAccounts(ctx, accounts, prefix));
  EXPECT_EQ(convert::readGeneralAccountLength(ctx, prefix), "7");
  EXPECT_EQ(byNumber().count("31000000"), 1u);
  EXPECT_TRUE(errors.empty());
}

// With the longest length an account of eight digits is kept whole; a ninth
// digit is dropped.
TEST_F(MasterGeneralAccounts, EightDigitAccountsKeepEveryDigit) {
  makeDossier("F", "8");
  MemoryRowSet accounts(accountTable({accountRow(0, "12345678", "Huit", "Acht"), accountRow(0, "234567891", "Neuf", "Negen")}));
  ASSERT_TRUE(convert::ConvertGeneralAccounts(ctx, accounts, prefix));
  auto acf = byNumber();
  EXPECT_EQ(acf.count("312345678"), 1u);
  EXPECT_EQ(acf.count("323456789"), 1u);
}

TEST_F(MasterGeneralAccounts, MissingChartIsReported) {
  makeDossier("N");
  std::filesystem::remove(root / "VIDE01" / "VIDE01_ACF.DBF");
  MemoryRowSet accounts(accountTable({}));
  EXPECT_FALSE(convert::ConvertGeneralAccounts(ctx, accounts, prefix));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Het bestand " + prefix + "_ACF.DBF bestaat niet");
}

// A chart that already holds rows: the account found is the first TYPE "3" row
// of that number in record order, as a scan from the top would find it.
TEST_F(MasterGeneralAccounts, ExistingRowsAreFoundFirstMatchFromTheTop) {
  makeDossier("F", "6");
  int16_t area = store::sx_Use((root / "VIDE01" / "VIDE01_ACF.DBF").string(), "ACF", 2, 2);
  ASSERT_NE(area, 0);
  for (auto [type, name] : {std::pair{"9", "heading"}, std::pair{"3", "first"}, std::pair{"3", "second"}}) {
    store::sx_AppendBlank();
    store::sx_Replace("TYPE", store::SX_TEXT, std::string(type));
    store::sx_Replace("NUMBER", store::SX_TEXT, std::string("610000"));
    store::sx_Replace("NAME21", store::SX_TEXT, std::string(name));
  }
  store::sx_Close();
  MemoryRowSet accounts(accountTable({accountRow(0, "61", "Renommé", "Hernoemd")}));
  ASSERT_TRUE(convert::ConvertGeneralAccounts(ctx, accounts, prefix));
  std::vector<Record> acf = rows("ACF", {"TYPE", "NAME11", "NAME21"});
  ASSERT_GE(acf.size(), 3u);
  EXPECT_EQ(acf[0].at("NAME11"), "");
  EXPECT_EQ(acf[1].at("NAME11"), "Renommé");
  EXPECT_EQ(acf[1].at("NAME21"), "first");
  EXPECT_EQ(acf[2].at("NAME11"), "");
  EXPECT_EQ(acf.size(), 3u + 18u);  // no new row for 610000; the standard accounts added
  expectIndexesAgree("ACF");
}
