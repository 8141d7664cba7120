// Text conversion between the program (UTF-8) and the tables (Windows-1252).
#pragma once
#include <string>
#include <string_view>

namespace store {

// UTF-8 to Windows-1252; a character 1252 cannot hold (or a malformed byte) becomes '?'.
std::string toCp1252(std::string_view utf8);
// Windows-1252 to UTF-8.
std::string fromCp1252(std::string_view cp1252);
// Upper case of one 1252 byte (ASCII and accented letters alike; sharp s and
// the micro sign have no single-byte capital and stay as they are).
unsigned char upper1252(unsigned char c);
void upper1252InPlace(char* begin, char* end);

}  // namespace store
