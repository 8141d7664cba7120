#include "run/access_dialect.h"

#include <cctype>
#include <cstdio>

#include "base/number_text.h"

namespace run {
namespace {

bool isWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

bool startsWithSelect(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  static constexpr std::string_view kw = "select";
  if (s.size() - i < kw.size() + 1) return false;
  for (size_t k = 0; k < kw.size(); ++k)
    if (std::tolower(static_cast<unsigned char>(s[i + k])) != kw[k]) return false;
  unsigned char next = static_cast<unsigned char>(s[i + kw.size()]);
  return std::isspace(next) || next == '(' || next == '*';
}

std::string quoted(std::string_view s, char q) {
  std::string out(1, q);
  for (char c : s) {
    out += c;
    if (c == q) out += q;
  }
  out += q;
  return out;
}

// "#12/31/2020#" or "#12/31/2020 13:05:00#" -> "'2020-12-31 13:05:00'"; empty when
// the text is not a date literal.
std::string dateLiteral(std::string_view body) {
  int v[6] = {};
  const size_t n = base::scanInts(body, "// ::", v);
  if (n != 3 && n != 5 && n != 6) return {};
  const int m = v[0], d = v[1], y = v[2], hh = v[3], mi = v[4], ss = v[5];
  if (m < 1 || m > 12 || d < 1 || d > 31) return {};
  char buf[40];
  std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", y, m, d, hh, mi, ss);
  return buf;
}

// True when the text so far ends with the keyword LIKE (and blanks).
bool endsWithLike(const std::string& out) {
  size_t e = out.find_last_not_of(" \t\r\n");
  if (e == std::string::npos || e < 3) return false;
  for (size_t k = 0; k < 4; ++k)
    if (std::tolower(static_cast<unsigned char>(out[e - 3 + k])) != "like"[k]) return false;
  return e == 3 || !isWordChar(static_cast<unsigned char>(out[e - 4]));
}

// Index just past the quote that closes the literal opened at `i`, with a
// doubled quote standing for itself.
size_t endOfQuoted(std::string_view s, size_t i) {
  char q = s[i];
  for (size_t j = i + 1; j < s.size(); ++j) {
    if (s[j] != q) continue;
    if (j + 1 < s.size() && s[j + 1] == q) { ++j; continue; }
    return j + 1;
  }
  return s.size();
}

}  // namespace

std::string translateAccessSql(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 16);
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == '\'' || c == '"') {
      // Jet takes double quotes as text delimiters too.
      size_t e = endOfQuoted(s, i);
      size_t stop = (e > i + 1 && s[e - 1] == c) ? e - 1 : e;
      std::string body;
      for (size_t j = i + 1; j < stop; ++j) {
        if (s[j] == c && j + 1 < stop && s[j + 1] == c) ++j;
        body += s[j];
      }
      if (endsWithLike(out)) {
        // Jet patterns: "*" any run of characters, "?" one character.
        for (char& b : body) b = b == '*' ? '%' : b == '?' ? '_' : b;
      }
      out += quoted(body, '\'');
      i = e;
    } else if (c == '[') {
      // A derived table's text may hold brackets and quotes of its own; a
      // bracketed name ends at the first "]".
      const bool derived = startsWithSelect(s.substr(i + 1));
      size_t depth = 1, j = i + 1;
      while (j < s.size() && depth) {
        if (s[j] == ']') --depth;
        else if (derived && s[j] == '[') ++depth;
        else if (derived && (s[j] == '\'' || s[j] == '"')) { j = endOfQuoted(s, j); continue; }
        ++j;
      }
      std::string_view body = s.substr(i + 1, (depth ? j : j - 1) - (i + 1));
      if (derived) {
        out += '(';
        out += translateAccessSql(body);
        out += ')';
        if (j < s.size() && s[j] == '.') ++j;  // the "]." of a Jet derived table
      } else {
        out += quoted(body, '"');
      }
      i = j;
    } else if (c == '#') {
      size_t e = s.find('#', i + 1);
      std::string lit = e == std::string_view::npos ? std::string() : dateLiteral(s.substr(i + 1, e - i - 1));
      if (lit.empty()) {
        out += c;
        ++i;
      } else {
        out += lit;
        i = e + 1;
      }
    } else if (c == '&') {
      out += "||";
      ++i;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

ParameterizedSql parameterizeLiterals(std::string_view s) {
  ParameterizedSql out;
  out.text.reserve(s.size());
  bool afterComparison = false;  // only blanks and "(" since a comparison operator
  size_t i = 0;
  auto literal = [&](ParameterizedSql::Literal lit) {
    out.slots.push_back(static_cast<int>(out.literals.size()));
    out.literals.push_back(std::move(lit));
    out.text += '?';
  };
  while (i < s.size()) {
    char c = s[i];
    if (c == '\'' && afterComparison) {
      size_t e = endOfQuoted(s, i);
      ParameterizedSql::Literal lit;
      lit.isText = true;
      for (size_t j = i + 1; j + 1 < e; ++j) {
        if (s[j] == '\'' && s[j + 1] == '\'') ++j;
        lit.text += s[j];
      }
      if (e <= s.size() && e > i + 1 && s[e - 1] == '\'') {
        literal(std::move(lit));
        i = e;
        afterComparison = false;
        continue;
      }
    }
    if (afterComparison && std::isdigit(static_cast<unsigned char>(c))) {
      size_t j = i;
      while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
      // A number running into letters ("12e3", "1x") stays as written.
      if (j == s.size() || !isWordChar(static_cast<unsigned char>(s[j]))) {
        ParameterizedSql::Literal lit;
        lit.text = std::string(s.substr(i, j - i));
        lit.isInteger = lit.text.find('.') == std::string::npos;
        if (lit.isInteger && lit.text.size() > 18) lit.isInteger = false;
        literal(std::move(lit));
        i = j;
        afterComparison = false;
        continue;
      }
    }
    if (c == '\'' || c == '"' || c == '`') {
      size_t e = endOfQuoted(s, i);
      out.text.append(s.substr(i, e - i));
      i = e;
      afterComparison = false;
      continue;
    }
    if (c == '?') out.slots.push_back(-1);
    out.text += c;
    ++i;
    if (c == '=' || c == '<' || c == '>') afterComparison = true;
    else if (c != ' ' && c != '(' && c != '\t' && c != '\r' && c != '\n') afterComparison = false;
  }
  return out;
}

std::vector<std::string> mentionedNames(std::string_view s) {
  std::vector<std::string> names;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\'') {
      i = endOfQuoted(s, i);
    } else if (c == '"' || c == '`') {
      size_t e = endOfQuoted(s, i);
      std::string body;
      for (size_t j = i + 1; j + 1 < e; ++j) {
        if (s[j] == static_cast<char>(c) && s[j + 1] == static_cast<char>(c)) ++j;
        body += s[j];
      }
      names.push_back(body);
      i = e;
    } else if (c == '[') {
      size_t e = s.find(']', i);
      if (e == std::string_view::npos) e = s.size();
      names.emplace_back(s.substr(i + 1, e - i - 1));
      i = e + 1;
    } else if (isWordChar(c) && !std::isdigit(c)) {
      size_t j = i;
      while (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) ++j;
      names.emplace_back(s.substr(i, j - i));
      i = j;
    } else if (std::isdigit(c)) {
      while (i < s.size() && isWordChar(static_cast<unsigned char>(s[i]))) ++i;
    } else {
      ++i;
    }
  }
  return names;
}

}  // namespace run
