// Customers and suppliers into CSF and ZIPCODE of a real template dossier.
#include <gtest/gtest.h>

#include <map>

#include "convert/master/master_steps.h"
#include "master_dossier.h"

using namespace master_test;
using testing_support::MemoryRowSet;
using testing_support::MemoryTable;
using testing_support::Row;
using testing_support::text;

namespace {

const std::vector<std::string> kPartyColumns = {
    "COMPANY", "LASTNAME", "ADDRESS", "COUNTRYID", "PHONEBUSINESS", "PHONEFAX", "VATNUM", "BANKNUM", "BANKFORMAT",
    "LANGID", "CITY", "ZIPCODEID", "PAYTYPE", "INPUTID", "CTRZACCTID"};

MemoryTable partyTable(const char* numberColumn, const std::vector<Row>& rows, bool withIban = true) {
  std::vector<std::string> columns = kPartyColumns;
  columns.push_back(numberColumn);
  if (withIban) {
    columns.push_back("IBAN1");
    columns.push_back("BIC1");
  }
  return testing_support::namedRows(columns, rows);
}

const std::vector<std::string> kCsfFields = {"NUMBER", "TYPE", "NAME1", "NAME2", "ADRESS1", "VATCAT", "COUNTRY",
                                             "VATNUMBER", "TELNUMBER", "BNKACCNT", "ZIPCODE", "CITY", "LANG",
                                             "DEFLTPOST", "CENTRAL", "PAYCODE", "IBANAUTO", "BICAUTO", "CATEGORY"};

class MasterCustomersSuppliers : public MasterDossier {};

}  // namespace

TEST_F(MasterCustomersSuppliers, ConvertsEveryValueAndSkipsNumbersAlreadyPresent) {
  makeDossier("F", "6");
  size_t zipRows = rows("ZIPCODE", {"ZIPCODEID"}).size();
  MemoryRowSet customers(partyTable(
      "CustID",
      {{{"CustID", text("C1")}, {"COMPANY", text("  Brasserie du Coin  ")}, {"LASTNAME", text("Dupont")},
        {"ADDRESS", text("Rue Haute 1")}, {"VATNUM", text("0123456789")}, {"BANKNUM", text("123456789002")},
        {"BANKFORMAT", text("BE")}, {"LANGID", text("1")}, {"CITY", text("Bruxelles")}, {"ZIPCODEID", text("1000")},
        {"PAYTYPE", text("30FDM")}, {"INPUTID", text("700000")}, {"CTRZACCTID", text("40001")},
        {"IBAN1", text("BE68539007547034")}, {"BIC1", text("GKCCBEBB")}},
       // Same number again: skipped, even with other values.
       {{"CustID", text("C1")}, {"COMPANY", text("Autre")}},
       {{"CustID", text("C2")}, {"COMPANY", text("Lux SA")}, {"COUNTRYID", text("LU")},
        {"VATNUM", text(" LU12345678 ")}, {"BANKNUM", text("123456789003")}, {"BANKFORMAT", text("BE")},
        {"LANGID", text("7")}, {"CITY", text("Wasserbillig")}, {"ZIPCODEID", text("9999")},
        {"PHONEBUSINESS", text("+352 12 34 56 78 90 12")}},
       {{"CustID", text("C3")}, {"COUNTRYID", text("  ")}, {"BANKNUM", text("NL91ABNA0417164300")}},
       {{"CustID", text("C4")}, {"BANKNUM", text("DE1234567")}, {"COMPANY", text(std::string(45, 'x'))}},
       // Without a number: written once with an empty NUMBER.
       {{"COMPANY", text("Sans numéro")}},
       {{"COMPANY", text("Sans numéro bis")}}}));
  ASSERT_TRUE(convert::ConvertCustomers(ctx, customers, prefix));

  MemoryRowSet suppliers(partyTable(
      "SUPPID",
      {{{"SUPPID", text("C1")}, {"COMPANY", text("Fournisseur homonyme")}, {"CITY", text("Autre ville")},
        {"COUNTRYID", text("LU")}, {"ZIPCODEID", text("9999")}, {"LANGID", text("0")}}},
      false));
  ASSERT_TRUE(convert::ConvertSuppliers(ctx, suppliers, prefix));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(steps, (std::vector<std::string>{"Customers", "Suppliers"}));

  std::vector<Record> csf = rows("CSF", kCsfFields);
  ASSERT_EQ(csf.size(), 6u);
  const Record& c1 = csf[0];
  EXPECT_EQ(c1.at("NUMBER"), "C1");
  EXPECT_EQ(c1.at("TYPE"), "1");
  EXPECT_EQ(c1.at("NAME1"), "  Brasserie du Coin");  // fits: kept as read
  EXPECT_EQ(c1.at("VATCAT"), "1");
  EXPECT_EQ(c1.at("COUNTRY"), "BE");
  EXPECT_EQ(c1.at("VATNUMBER"), "123.456.789");
  EXPECT_EQ(c1.at("BNKACCNT"), "123-4567890-02");
  EXPECT_EQ(c1.at("LANG"), "N");
  EXPECT_EQ(c1.at("ZIPCODE"), "BE-1000");
  EXPECT_EQ(c1.at("PAYCODE"), "30FD");
  EXPECT_EQ(c1.at("DEFLTPOST"), "700000");
  EXPECT_EQ(c1.at("CENTRAL"), "400010");
  EXPECT_EQ(c1.at("IBANAUTO"), "BE68539007547034");
  EXPECT_EQ(c1.at("BICAUTO"), "GKCCBEBB");
  EXPECT_EQ(c1.at("CATEGORY"), "");

  const Record& c2 = csf[1];
  EXPECT_EQ(c2.at("VATNUMBER"), "LU12345678");
  EXPECT_EQ(c2.at("BNKACCNT"), "");  // wrong check digits
  EXPECT_EQ(c2.at("LANG"), "7");
  EXPECT_EQ(c2.at("ZIPCODE"), "LU-9999");
  EXPECT_EQ(c2.at("TELNUMBER"), "+352 12 34 56 78");
  EXPECT_EQ(c2.at("CENTRAL"), "400000");

  EXPECT_EQ(csf[2].at("COUNTRY"), "");  // two blanks are a present value
  EXPECT_EQ(csf[2].at("BNKACCNT"), "NL91ABNA041716");
  EXPECT_EQ(csf[2].at("VATCAT"), "3");
  EXPECT_EQ(csf[3].at("BNKACCNT"), "");
  EXPECT_EQ(csf[3].at("NAME1"), std::string(40, 'x'));
  EXPECT_EQ(csf[4].at("NUMBER"), "");
  EXPECT_EQ(csf[4].at("NAME1"), "Sans numéro");

  const Record& s1 = csf[5];
  EXPECT_EQ(s1.at("NUMBER"), "C1");
  EXPECT_EQ(s1.at("TYPE"), "2");
  EXPECT_EQ(s1.at("CENTRAL"), "440000");
  EXPECT_EQ(s1.at("IBANAUTO"), "");

  // BE-1000 is in the template; LU-9999 is added once, by the first that brings it.
  std::vector<Record> zips = rows("ZIPCODE", {"ZIPCODEID", "CITY", "LANGUAGE"});
  ASSERT_EQ(zips.size(), zipRows + 1);
  EXPECT_EQ(zips.back().at("ZIPCODEID"), "LU-9999");
  EXPECT_EQ(zips.back().at("CITY"), "Wasserbillig");
  EXPECT_EQ(zips.back().at("LANGUAGE"), "7");
  expectIndexesAgree("CSF");
  expectIndexesAgree("ZIPCODE");
  std::vector<std::string> independent = readIndependently("CSF", {"NUMBER", "TYPE", "NAME1", "BNKACCNT"});
  ASSERT_EQ(independent.size(), csf.size());
  for (size_t i = 0; i < csf.size(); ++i) {
    EXPECT_EQ(independent[i], csf[i].at("NUMBER") + "|" + csf[i].at("TYPE") + "|" + csf[i].at("NAME1") + "|" +
                                  csf[i].at("BNKACCNT"));
  }
}

// A Belgian VAT number keeps its last nine digits: what is cut before them is
// a change of form when it is "0", "BE" or "BE0" (in any case), a loss otherwise.
TEST_F(MasterCustomersSuppliers, VatNumberCutsAreReformatsOrLosses) {
  makeDossier("F", "6");
  MemoryRowSet customers(partyTable("CustID", {{{"CustID", text("V1")}, {"VATNUM", text("BE0123456789")}},
                                               {{"CustID", text("V2")}, {"VATNUM", text("be123456789")}},
                                               {{"CustID", text("V3")}, {"VATNUM", text("0123456789")}},
                                               {{"CustID", text("V4")}, {"VATNUM", text("100123456789")}}}));
  ASSERT_TRUE(convert::ConvertCustomers(ctx, customers, prefix));
  std::map<std::string, base::ChangeKind> kinds;
  for (const base::ValueChange& c : ctx.report.changes())
    if (c.field == "CSF.VATNUMBER") kinds[c.key] = c.kind;
  using K = base::ChangeKind;
  EXPECT_EQ(kinds, (std::map<std::string, base::ChangeKind>{
                       {"V1", K::Reformatted}, {"V2", K::Reformatted}, {"V3", K::Reformatted}, {"V4", K::Shortened}}));
}

TEST_F(MasterCustomersSuppliers, GeneralAccountLengthShapesCentralAccounts) {
  makeDossier("N", "4");
  MemoryRowSet customers(partyTable("CustID", {{{"CustID", text("A")}}, {{"CustID", text("B")}, {"CTRZACCTID", text(" 400123 ")}}}));
  ASSERT_TRUE(convert::ConvertCustomers(ctx, customers, prefix));
  ctx.generalAccountLength = "8";
  MemoryRowSet suppliers(partyTable("SUPPID", {{{"SUPPID", text("A")}}}));
  ASSERT_TRUE(convert::ConvertSuppliers(ctx, suppliers, prefix));
  std::vector<Record> csf = rows("CSF", {"CENTRAL"});
  ASSERT_EQ(csf.size(), 3u);
  EXPECT_EQ(csf[0].at("CENTRAL"), "4000");
  EXPECT_EQ(csf[1].at("CENTRAL"), "4001");
  EXPECT_EQ(csf[2].at("CENTRAL"), "44000000");
}

TEST_F(MasterCustomersSuppliers, MissingTablesAndOverlongNumbersStopWithTheirMessage) {
  makeDossier("N");
  std::filesystem::remove(root / "VIDE01" / "VIDE01_ZIPCODE.DBF");
  MemoryRowSet none(partyTable("CustID", {}));
  EXPECT_FALSE(convert::ConvertCustomers(ctx, none, prefix));
  MemoryRowSet noSuppliers(partyTable("SUPPID", {}));
  EXPECT_FALSE(convert::ConvertSuppliers(ctx, noSuppliers, prefix));
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "Het bestand " + prefix + "_ZIPCODE.DBF bestaat niet.");
  EXPECT_EQ(errors[1], "Het bestand " + prefix + "_ZIPCODE.DBF bestaat niet");

  ctx.language = "F";
  std::filesystem::remove(root / "VIDE01" / "VIDE01_CSF.DBF");
  MemoryRowSet again(partyTable("CustID", {}));
  EXPECT_FALSE(convert::ConvertCustomers(ctx, again, prefix));
  EXPECT_EQ(errors.back(), "Le fichier " + prefix + "_CSF.DBF n'existe pas");
}

// CSF.NUMBER and ZIPCODE.ZIPCODEID hold 10 characters: a number of 10 is
// taken, one of 11 stops the step; a postcode key of 10 is kept whole and a
// longer one cut to the same 10, so it is not added twice.
TEST_F(MasterCustomersSuppliers, ValuesAtTheFieldWidthFitAndOneMoreDoesNot) {
  makeDossier("F");
  size_t zipRows = rows("ZIPCODE", {"ZIPCODEID"}).size();
  MemoryRowSet customers(partyTable("CustID", {{{"CustID", text("1234567890")}, {"ZIPCODEID", text("1234567")}},
                                            {{"CustID", text("ABCDEFGHIJ")}, {"ZIPCODEID", text("12345678")}},
                                            {{"CustID", text("12345678901")}}}));
  EXPECT_FALSE(convert::ConvertCustomers(ctx, customers, prefix));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("12345678901"), std::string::npos);
  std::vector<Record> csf = rows("CSF", {"NUMBER", "ZIPCODE"});
  ASSERT_EQ(csf.size(), 2u);
  EXPECT_EQ(csf[0].at("NUMBER"), "1234567890");
  EXPECT_EQ(csf[0].at("ZIPCODE"), "BE-1234567");
  EXPECT_EQ(csf[1].at("ZIPCODE"), "BE-1234567");
  std::vector<Record> zips = rows("ZIPCODE", {"ZIPCODEID"});
  ASSERT_EQ(zips.size(), zipRows + 1);
  EXPECT_EQ(zips.back().at("ZIPCODEID"), "BE-1234567");
}
