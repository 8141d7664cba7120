// A table field and the xBase text forms of its values: numbers right-aligned
// in their width, dates as YYYYMMDD, logicals as T/F.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace store {

struct FieldDef {
  std::string name;  // upper case, at most 10 characters
  char type = 'C';   // C text, N number, D date, L logical, M memo
  uint8_t width = 0;
  uint8_t decimals = 0;
  uint32_t offset = 0;  // position in the record; the deletion byte is 0
};

// Julian day numbers (2451545 = 1 January 2000); 0 stands for a blank date.
constexpr int32_t kLastJulianDay = 5373484;  // 31 December 9999, the last date a field holds
int32_t julianDay(int year, int month, int day);
void civilDate(int32_t julian, int& year, int& month, int& day);
bool validDate(int year, int month, int day);

// Leading-number parse as xBase val(): blanks skipped, then an optional sign,
// digits and one decimal point; anything else ends the number.
double parseNumber(std::string_view text);
// `value` rounded to `decimals`, right-aligned in `width`; when the integer
// part does not fit, decimals are given up first, then the result is all '*'.
std::string formatNumber(double value, int width, int decimals);
void appendNumber(std::string& out, double value, int width, int decimals);
// 0 when blank or not a date.
int32_t parseDateField(std::string_view yyyymmdd);
// The three numbers of a date typed as text ("05/01/2009", "5-1-09"), in
// the order written; false unless it is exactly three digit groups.
bool splitDateText(std::string_view text, int& first, int& second, int& third);
// "dd/mm/yyyy" as a julian day; 0 when it is no date.
int32_t parseDayMonthYear(std::string_view text);
// Eight blanks for 0.
std::string formatDateField(int32_t julian);
void appendDateField(std::string& out, int32_t julian);

}  // namespace store
