// Value conversions of the master data: account numbers, language ids, VAT and
// bank numbers, period labels and parameter lists. Pure text in, text out.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace convert {

// Trim, keep at most 8 characters, trim again, pad with "0" on the right and
// cut to `length` (4001 with length 6 gives 400100).
std::string NormalizeAccount(std::string_view account, int16_t length);

// Source language id to Kestrel language letter ("0" F, "1" N, "2" E, "3" G);
// any other id unchanged.
std::string MapLanguageCode(std::string_view id);

// Twelve Belgian digits to "999-9999999-99" when the check part is right,
// otherwise the empty text.
std::string FormatBelgianBankAccount(std::string_view account);
// The check value of the first ten digits: their remainder modulo 97, or 97
// when the remainder is 0.
int16_t BankAccountCheckDigits(std::string_view firstTen);

// Customer and supplier VAT numbers: Belgian ones as "123.456.789", others trimmed.
std::string FormatVatNumber(std::string_view vatNumber, std::string_view country);
// The company's own VAT number: country prefix then "0123.456.789" (Belgian
// nine- or ten-digit numbers) or the number as stored.
std::string formatCompanyVatNumber(std::string_view prefix, std::string_view vatNumber);

// Period labels. ProperFR gives the French three-letter label of a period
// name or month number, or the empty text; FR2NL and FR2UK translate a French
// or Dutch label and overwrite `cPer` when they know it (returning the result).
std::string ProperFR(std::string_view cString);
std::string FR2NL(std::string& cPer);
std::string FR2UK(std::string& cPer);

// Parameter lists "KEY=VALUE,KEY=VALUE": the trimmed value of `key` (letter
// case ignored), empty when absent.
std::string listValue(std::string_view list, std::string_view key);
// The list with the value of `key` replaced; an entry is added at the end
// when the list has none, so the value is never lost.
std::string replaceListValue(std::string_view list, std::string_view key, std::string_view value);

}  // namespace convert
