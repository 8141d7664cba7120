// Reading and writing one value of a Windows-style INI file the way the
// platform's private-profile calls do: sections and keys in any letter case,
// a missing file, section or key reads as the empty text, values are kept
// on one line. Failures never throw.
#pragma once
#include <string>

namespace host {

// At most `maxChars` characters of the value are returned (the caller's buffer).
std::string readIniValue(const std::string& file, const std::string& section, const std::string& key,
                         std::size_t maxChars = 254);
// Creates the file or section when missing; false when the file cannot be written.
bool writeIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

}  // namespace host
