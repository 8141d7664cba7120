#include "convert/master/book_year.h"

#include <cstdio>
#include <map>

#include "base/text.h"
#include "convert/master/codes.h"
#include "convert/master/master_steps.h"
#include "convert/master/step_support.h"

namespace convert {
using namespace base;

namespace {

std::string fourDigits(int year) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d", year);
  return buffer;
}

std::string dayMonthYear(const base::DateTime& d) { return twoDigits(d.day) + twoDigits(d.month) + fourDigits(d.year); }

bool sameDay(const base::DateTime& a, const base::DateTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

int quarterStart(int month) { return (month - 1) / 3 * 3 + 1; }

class Lists {
 public:
  // One period entry from its French label (before ProperFR), year and date.
  void add(const std::string& label, int year, const std::string& date) {
    std::string french = ProperFR(label);
    std::string dutch = french, english = french;
    FR2NL(dutch);
    FR2UK(english);
    const std::string suffix = ' ' + fourDigits(year);
    rows.french += Padr(french, 3) + suffix;
    rows.dutch += Padr(dutch, 3) + suffix;
    rows.english += Padr(english, 3) + suffix;
    rows.dates += date;
  }
  BookYearRows rows;
};

}  // namespace

BookYearRows buildBookYear(const std::vector<Period>& periods, const std::string& language) {
  Lists lists;
  if (periods.empty()) return lists.rows;
  std::string year = fourDigits(periods.front().begin.year);
  bool french = language == "F";
  lists.rows.longLabel = (french ? "Exercice " : "Boekjaar ") + year;
  lists.rows.shortLabel = (french ? "Ex. " : "Bkj ") + year;

  bool single = periods.size() <= 3;
  bool quarterly = false;
  if (!single) {
    for (const Period& p : periods) quarterly = quarterly || p.begin.month != p.end.month;
  }
  bool closingFound = false;
  for (const Period& p : periods) {
    if (single && p.id == 1) {
      // One period for the whole year: one monthly entry per calendar month.
      for (int y = p.begin.year, m = p.begin.month; y < p.end.year || (y == p.end.year && m <= p.end.month);) {
        lists.add(std::to_string(m), y, "01" + twoDigits(m) + fourDigits(y));
        if (++m > 12) m = 1, ++y;
      }
    } else if (sameDay(p.begin, p.end) && p.id == 0) {
      int month = quarterly ? quarterStart(p.begin.month) : p.begin.month;
      lists.add("REP", p.begin.year, "01" + twoDigits(month) + fourDigits(p.begin.year));
    } else if (sameDay(p.begin, p.end)) {
      lists.add("CLO", p.begin.year, dayMonthYear(p.begin));
      lists.rows.closingPeriod = twoDigits(p.id);
      closingFound = true;
    } else if (quarterly) {
      int quarter = (p.begin.month - 1) / 3 + 1;
      lists.add(std::to_string(quarter) + "TR", p.begin.year,
                "01" + twoDigits(quarterStart(p.begin.month)) + fourDigits(p.begin.year));
    } else {
      lists.add(std::to_string(p.begin.month), p.begin.year, dayMonthYear(p.begin));
    }
  }
  if (!closingFound) {
    const Period& last = periods.back();
    lists.add("CLO", last.begin.year, dayMonthYear(last.end));
    lists.rows.closingPeriod = twoDigits(last.id + 1);
  }
  return lists.rows;
}

bool writeBookYear(base::RunContext& ctx, base::RowSet& periods, const std::string& prefix) {
  std::vector<Period> records;
  for (; !periods.eof(); periods.moveNext()) {
    records.push_back({periods.field("PeriodId").asInt(), periods.field("BeginDate").date,
                       periods.field("EndDate").date});
  }
  // A book year without periods cannot be described; the run reports it.
  if (records.empty()) return false;
  BookYearRows rows = buildBookYear(records, ctx.language);
  const std::string* first = &rows.english;
  const std::string* second = &rows.french;
  const std::string* third = &rows.dutch;
  if (ctx.language == "F") {
    first = &rows.french, second = &rows.dutch, third = &rows.english;
  } else if (ctx.language == "N") {
    first = &rows.dutch, second = &rows.french, third = &rows.english;
  }
  if (!rewriteParamRows(ctx, prefix + "_PARAM.DBF",
                        {{"BOOKYEAR1.LONGLABEL", rows.longLabel},
                         {"BOOKYEAR1.SHORTLABEL", rows.shortLabel},
                         {"BOOKYEAR1.PERLIB1", *first},
                         {"BOOKYEAR1.PERLIB2", *second},
                         {"BOOKYEAR1.PERLIB3", *third},
                         {"BOOKYEAR1.PERDATE", rows.dates}})) {
    return false;
  }
  ctx.sourceClosingPeriod = rows.closingPeriod;
  return true;
}

}  // namespace convert
