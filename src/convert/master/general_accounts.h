// The chart of general accounts in ACF: the existence test the general
// account step makes before each write, and the standard accounts it ensures.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

#include "base/run_context.h"

namespace convert {

// ACF opened without its index files. Every lookup has the result of a scan
// from the first record for the first row of TYPE "3" with that trimmed
// NUMBER; the rows are read once when the chart is made and the step reports
// each account row it appends, so each lookup costs the same at any size.
class AccountChart {
 public:
  explicit AccountChart(int16_t area);
  int16_t area() const { return area_; }
  // Record number of the first TYPE "3" row with that number, 0 when none.
  int32_t find(const std::string& number) const;
  // An account row (TYPE "3") was appended with that number at `recno`.
  void added(const std::string& number, int32_t recno);

 private:
  int16_t area_;
  std::unordered_map<std::string, int32_t> firstRow_;
};

// True when ACF has no account (TYPE "3") numbered `account` brought to the
// general account length; otherwise false with that row current.
bool AccountIsMissing(const base::RunContext& ctx, const std::string& account, AccountChart& acf);

// Creates the standard account of `code` or sets the code on the existing
// account; codes without a standard account change nothing.
void EnsureStandardAccount(base::RunContext& ctx, AccountChart& acf, const std::string& code);

}  // namespace convert
