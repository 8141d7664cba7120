// The book year's names, period labels and period dates in PARAM.
#pragma once
#include <string>
#include <vector>

#include "base/source.h"

namespace convert {

struct Period {
  int64_t id = 0;
  base::DateTime begin, end;
};

// The six BOOKYEAR1 rows of a book year and its closing period.
struct BookYearRows {
  std::string longLabel, shortLabel;
  std::string french, dutch, english;  // label lists
  std::string dates;                   // PERDATE
  std::string closingPeriod;           // two digits
};

// Builds the rows from the period records in stored order (at least one).
// `language` is the dossier language ("F" French, "N" Dutch, else English first).
BookYearRows buildBookYear(const std::vector<Period>& periods, const std::string& language);

}  // namespace convert
