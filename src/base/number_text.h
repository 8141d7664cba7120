// Numbers to text and back, the same whatever the C library's locale says:
// a host or a desktop that sets a decimal comma must change no amount, key
// or date the program reads or writes.
#pragma once
#include <span>
#include <string>
#include <string_view>

namespace base {

// Reads whole numbers from the start of `text` as "%d<sep>%d<sep>..." would,
// without its undefined behaviour on numbers too large for an int: blanks
// may precede each number, which may carry a sign; `separators[i]` must stand
// between number i and i+1 (a blank there stands for any run of blanks, none
// included). Stops at the first number missing, out of range or not preceded
// by its separator; returns how many were read into `values`.
size_t scanInts(std::string_view text, std::string_view separators, std::span<int> values);

// The number at the start of `text` as strtod reads it in the "C" locale:
// blanks, a sign, digits with one "." and an exponent ("inf" and "nan" too);
// a number too large is infinite, one too small 0. `used` gets the count of
// characters read (0 when no number starts there, the result then 0).
double readNumber(std::string_view text, size_t* used = nullptr);

// printf's "%.<digits>g" and "%.<decimals>f" as in the "C" locale.
std::string generalText(double value, int digits);
std::string fixedText(double value, int decimals);

}  // namespace base
