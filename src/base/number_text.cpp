#include "base/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace base {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether a number from_chars found out of range is too large (else too
// small): the decimal exponent of its first significant digit.
bool tooLarge(std::string_view number) {
  size_t i = 0;
  long long magnitude = 0;
  bool significant = false;
  for (; i < number.size() && isDigit(number[i]); ++i)
    if (significant || number[i] != '0') {
      significant = true;
      ++magnitude;
    }
  if (i < number.size() && number[i] == '.') ++i;
  for (; i < number.size() && isDigit(number[i]); ++i) {
    if (significant) continue;
    if (number[i] != '0') significant = true;
    else --magnitude;
  }
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
    long long exponent = 0;
    for (; i < number.size() && isDigit(number[i]); ++i)
      if (exponent < 1000000) exponent = exponent * 10 + (number[i] - '0');
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude > 0;
}

template <class... Format>
std::string printed(double value, Format... format) {
  char text[400];  // "%.15f" of the largest double fits
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, format...);
  return error == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace

size_t scanInts(std::string_view text, std::string_view separators, std::span<int> values) {
  size_t at = 0;
  auto skipBlanks = [&] {
    while (at < text.size() && isBlank(text[at])) ++at;
  };
  size_t read = 0;
  for (; read < values.size(); ++read) {
    if (read > 0) {
      const char separator = read - 1 < separators.size() ? separators[read - 1] : ' ';
      if (separator != ' ') {
        if (at >= text.size() || text[at] != separator) break;
        ++at;
      }
    }
    skipBlanks();
    const char* first = text.data() + at;
    const char* last = text.data() + text.size();
    if (last - first >= 2 && *first == '+' && first[1] >= '0' && first[1] <= '9') ++first;
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc()) break;
    values[read] = value;
    at = static_cast<size_t>(end - text.data());
  }
  return read;
}

double readNumber(std::string_view text, size_t* used) {
  if (used) *used = 0;
  size_t at = 0;
  while (at < text.size() && isBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // A second sign is no number: from_chars would take the one after "+".
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) return 0;
  const char* first = text.data() + at;
  double value = 0;
  auto [end, error] = std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
  if (end == first) return 0;
  if (error == std::errc::result_out_of_range)
    value = tooLarge(std::string_view(first, static_cast<size_t>(end - first))) ? std::numeric_limits<double>::infinity()
                                                                                 : 0.0;
  if (used) *used = static_cast<size_t>(end - text.data());
  return negative ? -value : value;
}

std::string generalText(double value, int digits) { return printed(value, std::chars_format::general, digits); }

std::string fixedText(double value, int decimals) { return printed(value, std::chars_format::fixed, decimals); }

}  // namespace base
