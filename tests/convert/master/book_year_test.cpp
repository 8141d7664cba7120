// Book-year names, period labels and dates.
#include <gtest/gtest.h>

#include "convert/master/book_year.h"
#include "convert/master/master_steps.h"
#include "master_dossier.h"

using namespace master_test;
using convert::buildBookYear;
using convert::Period;
using testing_support::dateValue;
using testing_support::integer;
using testing_support::MemoryRowSet;

namespace {

Period period(int id, int y1, int m1, int d1, int y2, int m2, int d2) { return {id, {y1, m1, d1}, {y2, m2, d2}}; }

int daysIn(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && year % 4 == 0 ? 29 : days[month - 1];
}

// Opening, twelve months and closing of a calendar year.
std::vector<Period> monthlyYear(int year) {
  std::vector<Period> periods{period(0, year, 1, 1, year, 1, 1)};
  for (int m = 1; m <= 12; ++m) periods.push_back(period(m, year, m, 1, year, m, daysIn(year, m)));
  periods.push_back(period(13, year, 12, 31, year, 12, 31));
  return periods;
}

const char kFrench2008[] =
    "Rep 2008Jan 2008Fév 2008Mar 2008Avr 2008Mai 2008Jun 2008Jul 2008Aoû 2008Sep 2008Oct 2008Nov 2008Déc 2008Clô 2008";
const char kDutch2008[] =
    "Ope 2008Jan 2008Feb 2008Maa 2008Apr 2008Mei 2008Jun 2008Jul 2008Aug 2008Sep 2008Okt 2008Nov 2008Dec 2008Afs 2008";
const char kEnglish2008[] =
    "Ope 2008Jan 2008Feb 2008Mar 2008Apr 2008May 2008Jun 2008Jul 2008Aug 2008Sep 2008Oct 2008Nov 2008Dec 2008Clo 2008";
const char kDates2008[] = "0101200801012008010220080103200801042008010520080106200801072008010820080109200801102008011120080112200831122008";

}  // namespace

TEST(MasterBookYear, MonthlyAndSinglePeriodYearsGiveTheTemplateRows) {
  for (const auto& periods : {monthlyYear(2008), std::vector<Period>{period(0, 2008, 1, 1, 2008, 1, 1),
                                                                      period(1, 2008, 1, 1, 2008, 12, 31),
                                                                      period(2, 2008, 12, 31, 2008, 12, 31)}}) {
    convert::BookYearRows rows = buildBookYear(periods, "F");
    EXPECT_EQ(rows.longLabel, "Exercice 2008");
    EXPECT_EQ(rows.shortLabel, "Ex. 2008");
    EXPECT_EQ(rows.french, kFrench2008);
    EXPECT_EQ(rows.dutch, kDutch2008);
    EXPECT_EQ(rows.english, kEnglish2008);
    EXPECT_EQ(rows.dates, kDates2008);
  }
  EXPECT_EQ(buildBookYear(monthlyYear(2008), "F").closingPeriod, "13");
  EXPECT_EQ(buildBookYear(monthlyYear(2008), "N").longLabel, "Boekjaar 2008");
  EXPECT_EQ(buildBookYear(monthlyYear(2008), "N").shortLabel, "Bkj 2008");
}

TEST(MasterBookYear, SinglePeriodAcrossNewYearChangesYearAfterDecember) {
  convert::BookYearRows rows =
      buildBookYear({period(0, 2020, 10, 1, 2020, 10, 1), period(1, 2020, 10, 1, 2021, 3, 31), period(2, 2021, 3, 31, 2021, 3, 31)}, "F");
  EXPECT_EQ(rows.french, "Rep 2020Oct 2020Nov 2020Déc 2020Jan 2021Fév 2021Mar 2021Clô 2021");
  EXPECT_EQ(rows.dates, "0110202001102020011120200112202001012021010220210103202131032021");
  EXPECT_EQ(rows.closingPeriod, "02");
}

TEST(MasterBookYear, QuarterlyYearUsesQuarterLabelsAndFirstMonths) {
  std::vector<Period> periods{period(0, 2009, 2, 15, 2009, 2, 15)};
  for (int q = 0; q < 4; ++q) periods.push_back(period(q + 1, 2009, q * 3 + 1, 1, 2009, q * 3 + 3, 30));
  periods.push_back(period(5, 2009, 12, 31, 2009, 12, 31));
  convert::BookYearRows rows = buildBookYear(periods, "F");
  EXPECT_EQ(rows.french, "Rep 2009Tr1 2009Tr2 2009Tr3 2009Tr4 2009Clô 2009");
  EXPECT_EQ(rows.dutch, "Ope 2009Tr1 2009Tr2 2009Tr3 2009Tr4 2009Afs 2009");
  // The opening period dates from the first month of its quarter.
  EXPECT_EQ(rows.dates, "010120090101200901042009010720090110200931122009");
}

TEST(MasterBookYear, MissingClosingPeriodIsAddedAfterTheLastRecord) {
  std::vector<Period> periods = monthlyYear(2010);
  periods.pop_back();
  convert::BookYearRows rows = buildBookYear(periods, "F");
  auto endsWith = [](const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  };
  EXPECT_TRUE(endsWith(rows.french, "Déc 2010Clô 2010")) << rows.french;
  EXPECT_TRUE(endsWith(rows.dates, "0112201031122010")) << rows.dates;
  EXPECT_EQ(rows.closingPeriod, "13");
}

class MasterBookYearDossier : public MasterDossier {};

TEST_F(MasterBookYearDossier, DutchDossierPutsTheDutchLabelsFirst) {
  makeDossier("N");
  std::vector<testing_support::Row> table;
  for (const Period& p : monthlyYear(2011)) {
    table.push_back({{"PeriodId", integer(p.id)},
                          {"BeginDate", dateValue(p.begin.year, p.begin.month, p.begin.day)},
                          {"EndDate", dateValue(p.end.year, p.end.month, p.end.day)}});
  }
  MemoryRowSet periods(testing_support::namedRows({"PeriodId", "BeginDate", "EndDate"}, table));
  ASSERT_TRUE(convert::writeBookYear(ctx, periods, prefix));
  EXPECT_EQ(param("BOOKYEAR1.LONGLABEL"), "Boekjaar 2011");
  EXPECT_EQ(param("BOOKYEAR1.SHORTLABEL"), "Bkj 2011");
  auto in2011 = [](std::string s) {
    for (size_t at; (at = s.find("2008")) != std::string::npos;) s.replace(at, 4, "2011");
    return s;
  };
  EXPECT_EQ(param("BOOKYEAR1.PERLIB1"), in2011(kDutch2008));
  EXPECT_EQ(param("BOOKYEAR1.PERLIB2"), in2011(kFrench2008));
  EXPECT_EQ(param("BOOKYEAR1.PERLIB3"), in2011(kEnglish2008));
  EXPECT_EQ(param("BOOKYEAR1.PERDATE"), in2011(kDates2008));
  EXPECT_EQ(ctx.sourceClosingPeriod, "13");
  expectIndexesAgree("PARAM");
}
