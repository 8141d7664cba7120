// Marlin-shaped Access files (written with the Jet 4 writer): layout and
// book-year discovery, company lists, and the query texts the conversion steps
// run, exactly as they are written there.
#include <gtest/gtest.h>

#include <fstream>

#include "jet4_writer.h"
#include "run/access_source.h"
#include "run/source_discovery.h"
#include "source_test_support.h"

using namespace source_test;
using jet4::Type;

namespace {

void writeTables(const std::string& path, const std::vector<std::pair<std::string, std::vector<jet4::Column>>>& tables) {
  jet4::Database db(path);
  for (const auto& [name, cols] : tables) db.addTable(name, cols);
  db.close();
}

void touch(const std::string& path) { std::ofstream(path) << ""; }

const std::vector<jet4::Column> kAccountColumns{{"Type", Type::Integer}, {"GeneralID", Type::Text, 20}};

}  // namespace

TEST(MarlinSource, LayoutAndBookYearsOfThePrefixedAccessLayout) {
  ScratchFolder dir;
  // Both D_AcctGeneral and AcctGeneral: still the prefixed layout.
  writeTables(dir.file("01Soc.MDB"), {{"version", {{"Major", Type::Integer}, {"Minor", Type::Integer}}},
                                      {"AcctGeneral", kAccountColumns},
                                      {"D_AcctGeneral", kAccountColumns},
                                      {"A_03_Period", {{"BeginDate", Type::DateTime}}},
                                      {"A_10_journal", {{"JrnlID", Type::Text, 10}}}});
  auto src = run::openAccessSource(dir.file("01soc.mdb"));
  EXPECT_TRUE(run::CheckVersionSe(*src));
  EXPECT_EQ(run::lastBookYearIndexPrefixed(src->tableNames()), 10);
  EXPECT_EQ(run::lastBookYearIndexPrefixed({"A_1X_Period", "A_02Period", "D_Version"}), 2);
  EXPECT_EQ(run::lastBookYearIndexPrefixed({"AcctGeneral"}), 0);

  writeTables(dir.file("02Soc.mdb"), {{"AcctGeneral", kAccountColumns}, {"dParam", kAccountColumns}});
  EXPECT_FALSE(run::CheckVersionSe(*run::openAccessSource(dir.file("02Soc.mdb"))));
}

TEST(MarlinSource, BookYearsOfTheOlderAccessLayoutAreFoundByFileInAnyLetterCase) {
  ScratchFolder dir;
  const std::string key = dir.path().string() + "\\01";
  EXPECT_EQ(run::lastBookYearIndexOlder(key), 0);
  EXPECT_EQ(run::perYearDatabasePath(key, 0), "");
  touch(dir.file("01A00.mdb"));
  touch(dir.file("01a01.MDB"));
  touch(dir.file("01A05.mdb"));
  touch(dir.file("02A07.mdb"));
  EXPECT_EQ(run::lastBookYearIndexOlder(key), 5);
  EXPECT_EQ(run::perYearDatabasePath(key, 4), "");
  EXPECT_EQ(run::perYearDatabasePath(key, 5), key + "A05.mdb");
  EXPECT_NE(run::perYearDatabasePath(key, 1), "");
  touch(dir.file("01A12.mdb"));
  touch(dir.file("01A012.mdb"));  // not a name the layout uses
  EXPECT_EQ(run::lastBookYearIndexOlder(key), 12);
  EXPECT_EQ(run::perYearDatabasePath(key, 12), key + "A12.mdb");
}

TEST(MarlinSource, AccessCompanyListItemsAndCodes) {
  ScratchFolder dir;
  {
    jet4::Database db(dir.file("COMMON.MDB"));
    auto& t = db.addTable("SOCIETYLIST", {{"SOCIETYID", Type::Long}, {"NAME", Type::Text, 60}});
    t.addRow({int64_t{1234}, std::string("Acme")});
    t.addRow({int64_t{7}, std::string("Acme")});
    t.addRow({int64_t{10}, std::string("Société Générale")});
    t.addRow({int64_t{150}, std::string()});   // empty name: left out
    t.addRow({std::monostate{}, std::string("Nobody")});
    t.addRow({int64_t{999}, std::string("Zeta")});
    db.close();
  }
  auto items = run::companyListItems(*run::openAccessSource(dir.file("Common.mdb")));
  EXPECT_EQ(items, (std::vector<std::string>{"007 - Acme", "010 - Société Générale", "999 - Zeta", "1234Acme"}));
  EXPECT_EQ(run::companyCodeOfItem(items.back()), "123");
  EXPECT_EQ(run::companyCodeOfItem("  010 - Société Générale"), "010");
  EXPECT_EQ(run::companyItemText(base::Value::ofText("7"), base::Value::ofText("Acme")), "007 - Acme");
  EXPECT_EQ(run::companyItemText(base::Value::ofInt(0), base::Value::ofText("Acme")), "0Acme");
}

namespace {

// The 39 entry-line columns the opening-entries query names, in its order.
const std::vector<jet4::Column> kHistoricColumns{
    {"RecordTag", Type::Integer},      {"RecordID", Type::Long},          {"Period", Type::Text, 2},
    {"JrnlType", Type::Integer},       {"JrnlID", Type::Text, 10},        {"JrnlSubType", Type::Integer},
    {"Doc", Type::Long},               {"ValidationType", Type::Integer}, {"DocDate", Type::DateTime},
    {"ValueDate", Type::DateTime},     {"DueDate", Type::DateTime},       {"AcctType", Type::Integer},
    {"AcctID", Type::Text, 20},        {"CompAcctType", Type::Integer},   {"CompAcctID", Type::Text, 20},
    {"AssocAcctType", Type::Integer},  {"AssocAcctID", Type::Text, 20},   {"Comment", Type::Text, 60},
    {"CrcyID", Type::Text, 3},         {"CrcyAcctID", Type::Text, 3},     {"CrcyAssocAcctID", Type::Text, 3},
    {"CrcyChecking", Type::Text, 3},   {"FlagDC", Type::Integer},         {"AmntBase", Type::Currency},
    {"AmntBase2", Type::Currency},     {"AmntCrcy", Type::Currency},      {"AmntAssocAcctID", Type::Currency},
    {"TurnOverBase", Type::Currency},  {"VATAmntBase", Type::Currency},   {"VATAmntBase2", Type::Currency},
    {"VATAmntCrcy", Type::Currency},   {"VATNDAmntBase", Type::Currency}, {"VATNDAmntBase2", Type::Currency},
    {"VATNDAmntCrcy", Type::Currency}, {"VCS", Type::Text, 20},           {"Piece", Type::Text, 20},
    {"VATCode", Type::Text, 10},       {"VATType", Type::Integer}};

struct Line {
  int64_t id;
  std::string jrnl;
  int type;
  int64_t doc;
  int validation;
  int acctType;
  std::string acct;
  int flag;
  int64_t cents;
  std::string vat;  // "" stands for null
};

std::vector<jet4::Value> historicRow(const Line& l) {
  std::vector<jet4::Value> row(kHistoricColumns.size());
  auto set = [&](const char* name, jet4::Value v) {
    for (size_t i = 0; i < kHistoricColumns.size(); ++i)
      if (kHistoricColumns[i].name == name) row[i] = std::move(v);
  };
  set("RecordTag", int64_t{0});
  set("RecordID", l.id);
  set("Period", std::string("03"));
  set("JrnlType", int64_t{l.type});
  set("JrnlID", l.jrnl);
  set("JrnlSubType", int64_t{0});
  set("Doc", l.doc);
  set("ValidationType", int64_t{l.validation});
  set("DocDate", jet4::DateTime{2024, 3, 15});
  set("AcctType", int64_t{l.acctType});
  set("AcctID", l.acct);
  set("CompAcctID", std::string("C001"));
  set("FlagDC", int64_t{l.flag});
  set("AmntBase", jet4::Currency::ofCents(l.cents));
  set("TurnOverBase", jet4::Currency::ofCents(0));
  if (!l.vat.empty()) set("VATCode", l.vat);
  return row;
}

const std::vector<Line> kLines{
    {1, "VEN", 2, 1, 2, 1, "400000", 1, 12100, ""},   {2, "VEN", 2, 1, 0, 1, "700000", -1, 10000, "21"},
    {3, "VEN", 2, 1, 0, 1, "451000", -1, 2000, ""},   {4, "VEN", 2, 1, 0, 1, "451000", -1, 100, ""},
    {5, "VEN", 2, 1, 0, 1, "604000", -1, 0, ""},      {6, "VEN", 2, 1, 0, 0, "499000", 1, 999, ""},
    {7, "VEN", 2, 2, 2, 1, "400001", 1, 5000, ""},    {8, "VEN", 2, 2, 0, 1, "700000", -1, 5000, "06"},
    {9, "OD", 5, 1, 0, 1, "550000", 1, 333, ""},      {10, "OD", 5, 1, 0, 1, "499000", -1, 333, ""},
};

std::string writeYear(const ScratchFolder& dir) {
  std::string path = dir.file("03Soc.mdb");
  jet4::Database db(path);
  auto& h = db.addTable("A_01_Historic", kHistoricColumns);
  for (const auto& l : kLines) h.addRow(historicRow(l));
  auto& c = db.addTable("A_01_Checking", {{"HistoRecordID", Type::Long}, {"CheckID", Type::Long}, {"AmntBase", Type::Currency}});
  c.addRow({int64_t{1}, int64_t{501}, jet4::Currency::ofCents(12100)});
  c.addRow({int64_t{1}, int64_t{502}, jet4::Currency::ofCents(0)});
  c.addRow({int64_t{7}, int64_t{503}, jet4::Currency::ofCents(1000)});
  c.addRow({int64_t{7}, int64_t{504}, jet4::Currency::ofCents(4000)});
  auto& v = db.addTable("A_01_VATCode", {{"VATCode", Type::Text, 10}, {"VATType", Type::Integer}});
  v.addRow({std::string("21"), int64_t{1}});
  v.addRow({std::string("06"), int64_t{5}});
  auto& g = db.addTable("D_AcctGeneral", kAccountColumns);
  for (const char* id : {"400000", "6040001", "55"}) g.addRow({int64_t{0}, std::string(id)});
  g.addRow({int64_t{3}, std::string("123456789")});
  db.close();
  return path;
}

std::string selectList() {
  return "SELECT historic.RecordTag, historic.RecordID, historic.Period, historic.JrnlType, historic.JrnlID, "
         "historic.JrnlSubType, historic.Doc, historic.ValidationType, historic.DocDate, historic.ValueDate, "
         "historic.DueDate, historic.AcctType, historic.AcctID, historic.CompAcctType, historic.CompAcctID, "
         "historic.AssocAcctType, historic.AssocAcctID, historic.Comment, historic.CrcyID, historic.CrcyAcctID, "
         "historic.CrcyAssocAcctID, historic.CrcyChecking, historic.FlagDC, historic.AmntBase, historic.AmntBase2, "
         "historic.AmntCrcy, historic.AmntBase AS AmntAcctID, historic.AmntAssocAcctID, historic.TurnOverBase, "
         "historic.VATAmntBase, historic.VATAmntBase2, historic.VATAmntCrcy, historic.VATNDAmntBase, "
         "historic.VATNDAmntBase2, historic.VATNDAmntCrcy, historic.VCS, historic.Piece, historic.VATCode, "
         "historic.VATType, ";
}

std::string groupList() {
  std::string g = selectList().substr(7);
  const std::string alias = "historic.AmntBase AS AmntAcctID";
  g.replace(g.find(alias), alias.size(), "historic.AmntBase");
  return g.substr(0, g.size() - 2);
}

}  // namespace

TEST(MarlinSource, QueryTextsOfTheConversionStepsRunUnchanged) {
  ScratchFolder dir;
  auto src = run::openAccessSource(writeYear(dir));
  const std::string nn = "01";

  auto len = src->query("SELECT Max(Len([GeneralID])) AS xLenGen, Max(generalID) AS Expr1 From D_AcctGeneral WHERE (((D_AcctGeneral.Type)=0))");
  EXPECT_EQ(len->field("xLenGen").asText(), "7");
  EXPECT_EQ(len->field("Expr1").asText(), "6040001");  // text maximum, not numeric

  auto docs = src->query("SELECT Historic.JrnlID, Historic.JrnlType, Historic.JrnlSubType, Historic.Doc, Historic.Period, "
                         "Historic.DocDate From A_" + nn + "_Historic AS Historic GROUP BY Historic.JrnlID, Historic.JrnlType, "
                         "Historic.JrnlSubType, Historic.Doc, Historic.Period, Historic.DocDate");
  EXPECT_EQ(docs->recordCount(), 3);

  // Opening entries: one row per line of an account, the first matching number
  // of the line among its checking rows of a non-zero amount.
  auto opening = src->query(selectList() + "First(test.CheckID) AS CheckID FROM A_" + nn +
                            "_historic AS historic LEFT JOIN (SELECT Checking.HistoRecordID, Checking.CheckID, "
                            "Checking.AmntBase From A_" + nn + "_Checking AS Checking WHERE (((Checking.AmntBase)<>0)))  "
                            "AS test ON historic.RecordID = test.HistoRecordID  WHERE historic.AcctType > 0 GROUP BY " + groupList());
  std::map<int64_t, std::string> checks;
  for (; !opening->eof(); opening->moveNext())
    checks[opening->field("RecordID").asInt()] = opening->field("CheckID").asText();
  EXPECT_EQ(checks.size(), 9u);  // line 6 has no account type
  EXPECT_EQ(checks[1], "501");
  EXPECT_EQ(checks[7], "503");
  EXPECT_EQ(checks[2], "");

  auto detail = [&](const std::string& j, int d, int t, const std::string& tail) {
    return "FROM A_" + nn + "_historic AS historic LEFT JOIN [SELECT Checking.HistoRecordID, Checking.CheckID, "
           "Checking.AmntBase From A_" + nn + "_Checking AS Checking WHERE (((Checking.AmntBase)<>0))]. AS test ON "
           "historic.RecordID = test.HistoRecordID Where (((historic.JrnlID) = '" + j + "') And ((historic.Doc) = " +
           std::to_string(d) + tail + std::to_string(t) + ")and (historic.accttype > 0))";
  };
  // VAT document, query 1: the main line, once per matching number.
  auto main = src->query("SELECT historic.*, test.CheckID AS CheckID, historic.ValidationType " +
                         detail("VEN", 2, 2, ") And ((historic.ValidationType) = 2) And ((historic.JrnlType) = "));
  EXPECT_EQ(main->recordCount(), 2);
  EXPECT_EQ(main->field("AcctID").asText(), "400001");
  EXPECT_EQ(main->field("AmntBase").text, "50.0000");

  // Query 2: lines with a VAT code, and lines of class 6 and 7 without one.
  auto vatLines = src->query(
      "SELECT historic.*, test.CheckID AS CheckID, historic.VATCode AS xVATCode FROM A_" + nn + "_historic AS historic "
      "LEFT JOIN [SELECT Checking.HistoRecordID, Checking.CheckID, Checking.AmntBase From A_" + nn + "_Checking AS Checking WHERE "
      "(((Checking.AmntBase)<>0))]. AS test ON historic.RecordID = test.HistoRecordID Where (((historic.JrnlID) = 'VEN') "
      "And ((historic.Doc) = 1 )) And (((historic.VATCode) Is Not Null) OR ((historic.AcctID)>'6') AND ((historic.VATCode) Is Null) "
      "and ((historic.JrnlType) = 2)and (historic.accttype > 0))");
  std::vector<std::string> accounts;
  for (; !vatLines->eof(); vatLines->moveNext()) accounts.push_back(vatLines->field("AcctID").asText());
  EXPECT_EQ(accounts, (std::vector<std::string>{"700000", "604000"}));

  // Query 3: balance lines without VAT code, summed per account.
  auto sums = src->query(
      "SELECT historic.Period, historic.JrnlID, historic.JrnlSubType, historic.JrnlType, historic.Doc, historic.DocDate, "
      "historic.ValueDate, historic.DueDate, historic.AcctID, historic.CompAcctID, historic.AssocAcctID, historic.CompAcctType, "
      "historic.AssocAcctType, Sum([historic].[AmntBase]*[historic].[flagdc]) AS AmntBase From A_" + nn + "_historic AS historic "
      "where (historic.accttype > 0) GROUP BY historic.Period, historic.JrnlID, historic.JrnlSubType, historic.JrnlType, "
      "historic.Doc, historic.DocDate, historic.ValueDate, historic.DueDate, historic.AcctID, historic.CompAcctID, "
      "historic.AssocAcctID, historic.CompAcctTYpe, historic.AssocAcctType, historic.VATCode, historic.ValidationType, "
      "historic.JrnlID, historic.Doc HAVING (((historic.JrnlID)='VEN') AND ((historic.Doc)=1) AND ((historic.AcctID)<'6') "
      "AND ((historic.VATCode) Is Null) AND ((historic.ValidationType)=0) AND ((historic.JrnlType) = 2))");
  ASSERT_EQ(sums->recordCount(), 1);
  EXPECT_EQ(sums->field("AcctID").asText(), "451000");
  EXPECT_DOUBLE_EQ(sums->field("AmntBase").asDouble(), -21.0);
  EXPECT_EQ(sums->field("AmntBase").asText(), "-21");

  // Query 4: VAT types present in a document.
  auto types = src->query("SELECT Historic.JrnlID, Historic.Doc, Historic.JrnlType, VATCode.VATType FROM A_" + nn +
                          "_Historic AS historic  LEFT JOIN A_" + nn + "_VATCode AS VATCode ON Historic.VATCode = VATCode.VATCode "
                          "where (historic.accttype > 0) GROUP BY Historic.JrnlID, Historic.Doc, VATCode.VATType, historic.JrnlType "
                          "HAVING (((historic.JrnlID)='VEN')) AND ((historic.Doc)=2) AND (((VATCode.VATType) Is Not Null) AND "
                          "((historic.JrnlType) = 2))");
  ASSERT_FALSE(types->eof());
  EXPECT_EQ(types->field("VATType").asInt(), 5);
  EXPECT_EQ(types->recordCount(), 1);

  // Query 5: counterpart accounts of the lines without VAT code.
  auto count = src->query("SELECT historic.JrnlID, historic.Doc, historic.Jrnltype, Count(historic.CompAcctID) AS Nombre "
                          "From A_" + nn + "_historic AS historic  where (historic.accttype > 0) GROUP BY historic.JrnlID, "
                          "historic.Doc, historic.VATCode, historic.ValidationType, historic.JrnlType HAVING "
                          "(((historic.JrnlID)='ven') AND ((historic.Doc)=1) AND ((historic.VATCode) Is Null) AND "
                          "((historic.ValidationType)=0) AND ((historic.JrnlType) = 2))");
  ASSERT_EQ(count->recordCount(), 1);
  EXPECT_EQ(count->field("Nombre").asInt(), 3);
}

TEST(MarlinSource, MemosComeBackWholeWhateverTheirLength) {
  ScratchFolder dir;
  std::string big;
  for (int i = 0; big.size() < 1200000; ++i) big += "Ligne " + std::to_string(i) + " : état réglé 100 € — ";
  const std::string onePage(1500, 'x');
  {
    jet4::Database db(dir.file("memo.mdb"));
    auto& t = db.addTable("Notes", {{"ID", Type::Long}, {"Body", Type::Memo}});
    t.addRow({int64_t{1}, big});
    t.addRow({int64_t{2}, std::string("court")});
    t.addRow({int64_t{3}, onePage});
    t.addRow({int64_t{4}, std::monostate{}});
    db.close();
  }
  auto rows = run::openAccessSource(dir.file("memo.mdb"))->openTable("Notes");
  EXPECT_EQ(rows->field("Body").asText(), big);
  rows->moveNext();
  EXPECT_EQ(rows->field("Body").asText(), "court");
  rows->moveNext();
  EXPECT_EQ(rows->field("Body").asText(), onePage);
  rows->moveNext();
  EXPECT_TRUE(rows->field("Body").isNull());
}
