// The generated dossier itself: documents balance, matching entries refer to
// lines that exist and pair up, every case the conversion must handle is
// present, and the same options give the same dossier.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "marlin_dossier.h"
#include "marlin_forms.h"
#include "sample_support.h"

using namespace sample_test;
using marlin::Dossier;

namespace {

struct Columns {
  std::vector<jet4::Column> cols = Dossier::historicColumns();
  int operator[](const char* name) const {
    for (size_t i = 0; i < cols.size(); ++i)
      if (cols[i].name == name) return int(i);
    ADD_FAILURE() << "no column " << name;
    return 0;
  }
};

const Dossier& threeYears() {
  static const Dossier d(marlin::Options{"001", 3, 4000, 7});
  return d;
}

}  // namespace

TEST(SampleDossier, EveryDocumentAndBookYearBalances) {
  const Columns h;
  for (int year = 0; year < 3; ++year) {
    Entries e;
    threeYears().generateEntries(year, e);
    ASSERT_EQ(e.lines.size(), 4000u) << "year " << year;
    std::map<std::pair<std::string, int64_t>, int64_t> documents;
    int64_t total = 0;
    for (const auto& r : e.lines) {
      const int64_t flag = integerOf(r, h["FlagDC"]), units = unitsOf(r, h["AmntBase"]);
      ASSERT_TRUE(flag == -1 || flag == 1);
      ASSERT_GE(units, 0);
      const int64_t signedUnits = flag == -1 ? units : -units;
      documents[{textOf(r, h["JrnlID"]), integerOf(r, h["Doc"])}] += signedUnits;
      total += signedUnits;
    }
    for (const auto& [key, balance] : documents) EXPECT_EQ(balance, 0) << key.first << " " << key.second;
    EXPECT_EQ(total, 0);
    EXPECT_GT(documents.size(), 500u);
  }
}

TEST(SampleDossier, MatchingEntriesPairExistingLinesOfOneParty) {
  const Columns h;
  Entries e;
  threeYears().generateEntries(2, e);
  std::map<int64_t, const marlin::Row*> byRecord;
  for (const auto& r : e.lines) byRecord[integerOf(r, h["RecordID"])] = &r;
  EXPECT_EQ(byRecord.size(), e.lines.size()) << "record ids repeat";
  std::map<int64_t, std::vector<std::pair<const marlin::Row*, int64_t>>> byCheck;
  std::map<int64_t, int> checksPerLine;
  int zeroEntries = 0;
  for (const auto& c : e.checks) {
    auto line = byRecord.find(std::get<int64_t>(c[0]));
    ASSERT_NE(line, byRecord.end()) << "matching entry on a missing line " << std::get<int64_t>(c[0]);
    const int64_t units = std::get<jet4::Currency>(c[2]).units;
    if (units == 0) { ++zeroEntries; continue; }
    byCheck[std::get<int64_t>(c[1])].push_back({line->second, units});
    ++checksPerLine[line->first];
  }
  for (const auto& [check, sides] : byCheck) {
    ASSERT_EQ(sides.size(), 2u) << "check " << check;
    EXPECT_EQ(sides[0].second, sides[1].second) << "check " << check;
    EXPECT_EQ(textOf(*sides[0].first, h["AssocAcctID"]), textOf(*sides[1].first, h["AssocAcctID"]));
    EXPECT_EQ(integerOf(*sides[0].first, h["FlagDC"]), -integerOf(*sides[1].first, h["FlagDC"]));
  }
  EXPECT_GT(byCheck.size(), 100u);
  EXPECT_GT(zeroEntries, 0);
  EXPECT_TRUE(std::any_of(checksPerLine.begin(), checksPerLine.end(), [](auto& p) { return p.second >= 2; }))
      << "no line matched several times";
}

TEST(SampleDossier, BookYearsHoldEveryCaseTheConversionHandles) {
  const Columns h;
  const Dossier& d = threeYears();
  // Newest year monthly, then quarterly, then one period; each with an
  // opening period 0 and a closing period, both of one day.
  const size_t periodRows[] = {3, 6, 14};
  for (int year = 0; year < 3; ++year) {
    const auto period = d.yearTables(year)[0];
    ASSERT_EQ(period.rows.size(), periodRows[year]) << "year " << year;
    EXPECT_EQ(std::get<int64_t>(period.rows.front()[0]), 0);
    EXPECT_EQ(period.rows.front()[1], period.rows.front()[2]);
    EXPECT_EQ(period.rows.back()[1], period.rows.back()[2]);
    EXPECT_EQ(std::get<jet4::DateTime>(period.rows.back()[1]).month, 12);
  }
  Entries e;
  d.generateEntries(2, e);
  const int64_t closing = int64_t(periodRows[2]) - 1;
  std::set<int64_t> vatTypes;
  std::set<std::string> closingJournals;
  std::set<int64_t> mixTypes, creditNoteTypes;
  std::map<std::pair<std::string, int64_t>, std::set<int64_t>> periodsOfDocument;
  std::set<std::string> currencies, spreadKinds;
  std::set<std::pair<std::string, int64_t>> euroBeforeCurrency;  // foreign documents whose first line is in euro
  std::map<std::pair<std::string, int64_t>, int64_t> firstLineOf;
  bool opening = false, nonDeductible = false, tenDigits = false, information = false, mainLines = false,
       blankLedExpense = false;
  for (const auto& r : e.lines) {
    const std::string journal = textOf(r, h["JrnlID"]);
    const int64_t period = integerOf(r, h["Period"]), type = integerOf(r, h["JrnlType"]);
    if (auto t = std::get_if<int64_t>(&r[h["VATType"]])) vatTypes.insert(*t);
    if (period == 0) opening = true;
    if (period == closing) closingJournals.insert(journal);
    if (journal == "MIX") mixTypes.insert(type);
    if (integerOf(r, h["JrnlSubType"]) == 2 && (type == 1 || type == 2)) creditNoteTypes.insert(type);
    const std::string currency = textOf(r, h["CrcyAcctID"]);
    const std::pair<std::string, int64_t> document{journal, integerOf(r, h["Doc"])};
    const bool first = firstLineOf.emplace(document, integerOf(r, h["RecordID"])).second;
    if (!currency.empty() && currency != "EUR" && unitsOf(r, h["AmntCrcy"]) != unitsOf(r, h["AmntBase"])) {
      currencies.insert(currency);
      if (!first) euroBeforeCurrency.insert(document);
    }
    blankLedExpense = blankLedExpense || textOf(r, h["AcctID"]) == " 612000";
    if (auto nd = std::get_if<jet4::Currency>(&r[h["VATNDAmntBase"]])) nonDeductible = nonDeductible || nd->units > 0;
    tenDigits = tenDigits || integerOf(r, h["Doc"]) >= 1000000000;
    information = information || integerOf(r, h["AcctType"]) == 0;
    mainLines = mainLines || integerOf(r, h["ValidationType"]) == 2;
    periodsOfDocument[{journal, integerOf(r, h["Doc"])}].insert(period);
  }
  EXPECT_EQ(vatTypes, (std::set<int64_t>{0, 1, 2, 3, 5, 6}));
  EXPECT_TRUE(opening);
  EXPECT_GE(closingJournals.size(), 2u);
  EXPECT_EQ(mixTypes, (std::set<int64_t>{1, 2})) << "one journal used for sales and purchases";
  EXPECT_EQ(creditNoteTypes, (std::set<int64_t>{1, 2}));
  EXPECT_TRUE(nonDeductible && tenDigits && information && mainLines && blankLedExpense);
  EXPECT_EQ(currencies, (std::set<std::string>{"CHF", "GBP", "USD"}));
  EXPECT_FALSE(euroBeforeCurrency.empty()) << "no counterpart stored before its bank line";
  for (const auto& [document, periods] : periodsOfDocument)
    if (periods.size() == 2) spreadKinds.insert(document.first);
  for (const char* journal : {"OD", "ACH", "BQ1", "BQ2"}) EXPECT_TRUE(spreadKinds.count(journal)) << journal << " in two periods";
}

TEST(SampleDossier, SameOptionsSameDossierOtherSeedOtherDossier) {
  const marlin::Options o{"001", 2, 300, 42};
  Entries a, b, c;
  Dossier(o).generateEntries(1, a);
  Dossier(o).generateEntries(1, b);
  marlin::Options other = o;
  other.seed = 43;
  Dossier(other).generateEntries(1, c);
  EXPECT_TRUE(a.lines == b.lines && a.checks == b.checks);
  EXPECT_FALSE(a.lines == c.lines);
  EXPECT_EQ(Dossier(o).companyTables()[2].rows, Dossier(o).companyTables()[2].rows);
}

TEST(SampleDossier, BadOptionsAreRefusedWithABilingualMessage) {
  for (const char* code : {"01", "ABC", "000", "1234", "E12"})
    EXPECT_THROW(Dossier(marlin::Options{code, 2, 100, 1}), std::invalid_argument) << code;
  EXPECT_NO_THROW(Dossier(marlin::Options{"E012", 2, 100, 1}));
  EXPECT_THROW(Dossier(marlin::Options{"001", 0, 100, 1}), std::invalid_argument);
  try {
    Dossier(marlin::Options{"001", 2, 5, 1});
    ADD_FAILURE() << "5 lines accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("lignes"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("lijnen"), std::string::npos);
  }
  EXPECT_THROW(marlin::parseForm("excel"), std::invalid_argument);
}
