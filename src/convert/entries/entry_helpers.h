// Small helpers shared by the entry steps: line-order codes, date text,
// document numbers, journal resolution, and the readings of source values
// every entry line goes through.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/run_context.h"
#include "base/source.h"

namespace convert {

// Next three-character line-order code: "001".."997", then "A00".."ZZZ".
// After "ZZZ" the user sees "overflow" and the result is empty.
std::string GetNextDocOrder(base::RunContext& ctx, const std::string& current);
// The same without the message; empty after "ZZZ".
std::string nextDocOrderCode(const std::string& current);

// "dd/mm/yyyy".
std::string FormatDateText(const base::DateTime& d);
// A source date value (a date, or text such as "2004-01-05" or "05/01/2004"),
// trimmed; nullopt when empty or not a date.
std::optional<base::DateTime> sourceDate(const base::Value& v);
// FormatDateText of a source date value, empty when it has none.
std::string sourceDateText(const base::Value& v);

// A document number fitted into eight characters ("9" + last seven digits).
std::string FitDocNumber(const std::string& number);

// The Kestrel journal code for documents of one source journal and one
// Kestrel journal type; registers the code, or a new one, in ctx.
std::string ResolveDocumentJournal(base::RunContext& ctx, const std::string& code, const std::string& kind);

// Marlin VAT codes have no Kestrel counterpart on the line itself.
std::string TranslateVat(const std::string& codeMarlin, const std::string& accountRp);

int16_t ValMax(int16_t val1, int16_t val2);

// Period of a source line: "" when absent, else two digits, "99" for the
// source closing period.
std::string periodText(const base::Value& period, const std::string& closingPeriod);
// Matching number: "" without check id, else "1" + seven digits.
std::string matchNumber(const base::Value& checkId);

}  // namespace convert
