#include "store/engine/field.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/number_text.h"

namespace store {

int32_t julianDay(int y, int m, int d) {
  // Fliegel and Van Flandern, proleptic Gregorian calendar.
  int a = (14 - m) / 12;
  int yy = y + 4800 - a;
  int mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

void civilDate(int32_t jd, int& y, int& m, int& d) {
  // In 64 bits: 4 * a overflows an int for day numbers past 536 million.
  int64_t a = int64_t(jd) + 32044;
  int64_t b = (4 * a + 3) / 146097;
  int64_t c = a - 146097 * b / 4;
  int64_t dd = (4 * c + 3) / 1461;
  int64_t e = c - 1461 * dd / 4;
  int64_t mm = (5 * e + 2) / 153;
  d = static_cast<int>(e - (153 * mm + 2) / 5 + 1);
  m = static_cast<int>(mm + 3 - 12 * (mm / 10));
  y = static_cast<int>(100 * b + dd - 4800 + mm / 10);
}

bool validDate(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int limit = days[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) limit = 29;
  return d <= limit;
}

double parseNumber(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  double value = 0;
  double scale = 0;  // 0 before the decimal point
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      if (scale == 0) {
        value = value * 10 + (c - '0');
      } else {
        value += (c - '0') * scale;
        scale /= 10;
      }
    } else if (c == '.' && scale == 0) {
      scale = 0.1;
    } else {
      break;
    }
  }
  if (scale != 0) {
    // Re-read the digits exactly: summing scaled digits drifts in the last bit.
    char buf[64];
    size_t n = 0;
    size_t j = 0;
    while (j < s.size() && (s[j] == ' ' || s[j] == '\t')) ++j;
    for (; j < s.size() && n < sizeof(buf) - 1; ++j) {
      char c = s[j];
      if ((c >= '0' && c <= '9') || c == '.' || ((c == '-' || c == '+') && n == 0)) {
        buf[n++] = c;
      } else {
        break;
      }
    }
    buf[n] = 0;
    return base::readNumber(buf);
  }
  return negative ? -value : value;
}

namespace {

// `units` is the value times 10^dec, already rounded; the text ends at the
// end of `buf` and starts at the index returned.
constexpr int kFixedBuffer = 48;
int fixedDigits(char (&buf)[kFixedBuffer], uint64_t units, bool negative, int dec) {
  int p = kFixedBuffer;
  for (int i = 0; i < dec; ++i) {
    buf[--p] = static_cast<char>('0' + units % 10);
    units /= 10;
  }
  if (dec > 0) buf[--p] = '.';
  do {
    buf[--p] = static_cast<char>('0' + units % 10);
    units /= 10;
  } while (units);
  if (negative) buf[--p] = '-';
  return p;
}

}  // namespace

// Index keys format a number for every record: the text is appended where it
// goes, without a string of its own.
void appendNumber(std::string& out, double value, int width, int decimals) {
  if (width <= 0) return;
  if (!std::isfinite(value)) {
    out.append(size_t(width), '*');
    return;
  }
  static const double pow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  for (int dec = std::min(decimals, 15); dec >= 0; --dec) {
    // Half away from zero on the decimal text, as xBase rounds. The double
    // nearest a decimal of up to 15 digits may lie just below a half (1.005 is
    // 1.00499999999999989...): a nudge above that error (2.2e-16 of the value)
    // and below a unit of the 15th digit (1e-15 of it) puts it back. Past 15
    // digits a double holds no half; the nudge then stays under a quarter unit,
    // so that a whole number of units is never pushed up.
    double scaled = std::fabs(value) * pow10[dec];
    if (scaled < 4e15) {
      uint64_t units = static_cast<uint64_t>(std::floor(scaled + 0.5 + std::min(scaled * 5e-16, 0.25)));
      char buf[kFixedBuffer];
      const int start = fixedDigits(buf, units, value < 0 && units != 0, dec);
      const int length = kFixedBuffer - start;
      if (length <= width) {
        out.append(size_t(width - length), ' ');
        out.append(buf + start, size_t(length));
        return;
      }
    } else {
      const std::string text = base::fixedText(value, dec);
      if (static_cast<int>(text.size()) <= width) {
        out.append(size_t(width) - text.size(), ' ');
        out += text;
        return;
      }
    }
  }
  out.append(size_t(width), '*');
}

std::string formatNumber(double value, int width, int decimals) {
  std::string out;
  appendNumber(out, value, width, decimals);
  return out;
}

int32_t parseDateField(std::string_view s) {
  if (s.size() < 8) return 0;
  int parts[3] = {0, 0, 0};
  const int lens[3] = {4, 2, 2};
  size_t pos = 0;
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < lens[k]; ++i, ++pos) {
      char c = s[pos];
      if (c < '0' || c > '9') return 0;
      parts[k] = parts[k] * 10 + (c - '0');
    }
  }
  if (!validDate(parts[0], parts[1], parts[2])) return 0;
  return julianDay(parts[0], parts[1], parts[2]);
}

bool splitDateText(std::string_view s, int& first, int& second, int& third) {
  int* parts[3] = {&first, &second, &third};
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  for (int k = 0; k < 3; ++k) {
    if (k > 0) {
      if (i >= s.size() || (s[i] >= '0' && s[i] <= '9')) return false;
      ++i;  // the separator
    }
    size_t start = i;
    int v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < 5) v = v * 10 + (s[i++] - '0');
    if (i == start) return false;
    *parts[k] = v;
  }
  while (i < s.size() && s[i] == ' ') ++i;
  return i == s.size();
}

int32_t parseDayMonthYear(std::string_view text) {
  int d, m, y;
  if (!splitDateText(text, d, m, y) || !validDate(y, m, d)) return 0;
  return julianDay(y, m, d);
}

void appendDateField(std::string& out, int32_t julian) {
  int y = 0, m = 0, d = 0;
  if (julian > 0 && julian <= kLastJulianDay) civilDate(julian, y, m, d);
  if (julian <= 0 || julian > kLastJulianDay || y < 0 || y > 9999) {
    out.append(8, ' ');
    return;
  }
  char buf[8];
  int v = y * 10000 + m * 100 + d;
  for (int i = 7; i >= 0; --i, v /= 10) buf[i] = static_cast<char>('0' + v % 10);
  out.append(buf, 8);
}

std::string formatDateField(int32_t julian) {
  std::string out;
  appendDateField(out, julian);
  return out;
}

}  // namespace store
