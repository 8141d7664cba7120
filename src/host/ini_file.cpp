#include "host/ini_file.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/text.h"

namespace host {

namespace {

std::string trim(const std::string& s) { return base::Trim(s, " \t\r\n"); }

std::vector<std::string> readLines(const std::string& file) {
  std::vector<std::string> lines;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The section name of a "[name]" line, or nothing.
bool sectionHeader(const std::string& line, std::string& name) {
  std::string t = trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  auto close = t.find(']');
  if (close == std::string::npos) return false;
  name = trim(t.substr(1, close - 1));
  return true;
}

// Splits "key=value"; false for lines without '='.
bool keyLine(const std::string& line, std::string& key, std::string& value) {
  auto eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = trim(line.substr(0, eq));
  value = trim(line.substr(eq + 1));
  return true;
}

}  // namespace

std::string readIniValue(const std::string& file, const std::string& section, const std::string& key,
                         std::size_t maxChars) {
  std::string current, k, v;
  bool inSection = false;
  for (const auto& line : readLines(file)) {
    if (sectionHeader(line, current)) {
      inSection = base::equalsIgnoringCase(current, section);
      continue;
    }
    if (inSection && keyLine(line, k, v) && base::equalsIgnoringCase(k, key)) {
      // The profile call drops one pair of surrounding quotes.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return v.substr(0, std::min(v.size(), maxChars));
    }
  }
  return {};
}

bool writeIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) {
  std::string flat = value;
  std::replace(flat.begin(), flat.end(), '\n', ' ');
  std::replace(flat.begin(), flat.end(), '\r', ' ');
  auto lines = readLines(file);
  std::string current, k, v;
  bool inSection = false, written = false;
  std::size_t sectionEnd = std::string::npos;
  for (std::size_t i = 0; i < lines.size() && !written; ++i) {
    if (sectionHeader(lines[i], current)) {
      if (inSection) break;
      inSection = base::equalsIgnoringCase(current, section);
      if (inSection) sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    if (keyLine(lines[i], k, v) && base::equalsIgnoringCase(k, key)) {
      lines[i] = k + "=" + flat;
      written = true;
    } else if (!trim(lines[i]).empty()) {
      sectionEnd = i + 1;
    }
  }
  if (!written) {
    if (sectionEnd == std::string::npos) {
      if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + section + "]");
      lines.push_back(key + "=" + flat);
    } else {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), key + "=" + flat);
    }
  }
  std::ostringstream out;
  for (const auto& line : lines) out << line << "\r\n";
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f << out.str();
  return static_cast<bool>(f.flush());
}

}  // namespace host
