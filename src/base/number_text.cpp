#include "base/number_text.h"

#include <charconv>

namespace base {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

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

}  // namespace base
