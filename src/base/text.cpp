#include "base/text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/number_text.h"

namespace base {

namespace {

// Length in bytes of the UTF-8 sequence starting with byte `b`; a stray
// continuation byte counts as one character so that bad input never loops.
size_t SequenceLength(unsigned char b) {
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) return 2;
  if ((b & 0xF0) == 0xE0) return 3;
  if ((b & 0xF8) == 0xF0) return 4;
  return 1;
}

// Byte offset of the character numbered `index` (0-based), or s.size().
size_t ByteOffset(std::string_view s, size_t index) {
  size_t pos = 0;
  while (index > 0 && pos < s.size()) {
    pos += SequenceLength(static_cast<unsigned char>(s[pos]));
    --index;
  }
  return pos < s.size() ? pos : s.size();
}

// Two-byte sequences C3 80..C3 9E are À..Þ and C3 A0..C3 BE are à..þ; the
// multiplication and division signs (C3 97, C3 B7) have no case.
template <bool ToUpper>
std::string MapCase(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      if (ToUpper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
      if (!ToUpper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < out.size()) {
      unsigned char d = static_cast<unsigned char>(out[i + 1]);
      if (ToUpper && d >= 0xA0 && d <= 0xBE && d != 0xB7) out[i + 1] = static_cast<char>(d - 0x20);
      if (!ToUpper && d >= 0x80 && d <= 0x9E && d != 0x97) out[i + 1] = static_cast<char>(d + 0x20);
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string Trim(std::string_view s, std::string_view blanks) {
  size_t b = s.find_first_not_of(blanks);
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(blanks);
  return std::string(s.substr(b, e - b + 1));
}

size_t charCount(std::string_view s) {
  size_t n = 0;
  for (size_t pos = 0; pos < s.size(); pos += SequenceLength(static_cast<unsigned char>(s[pos]))) ++n;
  return n;
}

std::string Left(std::string_view s, size_t n) { return std::string(s.substr(0, ByteOffset(s, n))); }

std::string Right(std::string_view s, size_t n) {
  size_t count = charCount(s);
  return count <= n ? std::string(s) : std::string(s.substr(ByteOffset(s, count - n)));
}

std::string Mid(std::string_view s, size_t start, size_t n) {
  if (start < 1) start = 1;
  std::string_view rest = s.substr(ByteOffset(s, start - 1));
  return n == std::string::npos ? std::string(rest) : Left(rest, n);
}

std::string LowerCase(std::string_view s) { return MapCase<false>(s); }
std::string UpperCase(std::string_view s) { return MapCase<true>(s); }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  // The case mapping keeps every byte in place, so the texts compare byte by byte.
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) {
      if (x >= 'A' && x <= 'Z') x += 32;
      if (y >= 'A' && y <= 'Z') y += 32;
      if (i > 0 && a[i - 1] == '\xC3' && b[i - 1] == '\xC3' && x >= 0x80 && y >= 0x80) {
        if (x <= 0x9E && x != 0x97) x += 0x20;
        if (y <= 0x9E && y != 0x97) y += 0x20;
      }
      if (x != y) return false;
    }
  }
  return true;
}

std::string clip(std::string_view s, size_t width) {
  std::string trimmed = Trim(s);
  if (charCount(trimmed) > width) return Left(trimmed, width);
  return std::string(s);
}

std::string padTo(std::string_view s, size_t width) {
  std::string out(s);
  size_t count = charCount(out);
  if (count < width) out.append(width - count, ' ');
  return out;
}

std::string Padr(std::string_view StrString, int16_t nLen) {
  size_t width = nLen > 0 ? static_cast<size_t>(nLen) : 0;
  return padTo(Left(Trim(StrString), width), width);
}

std::string Proper(std::string_view cString) {
  size_t first = ByteOffset(cString, 1);
  return UpperCase(cString.substr(0, first)) + LowerCase(cString.substr(first));
}

double Val(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  std::string number;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) number += s[i++];
  bool point = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      number += c;
    } else if (c == '.' && !point) {
      point = true;
      number += c;
    } else {
      break;
    }
  }
  return readNumber(number);
}

std::string numberText(double value) {
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<long long>(value));
  }
  return generalText(value, 15);
}

std::string twoDigits(int64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02lld", static_cast<long long>(value));
  return buffer;
}

}  // namespace base
