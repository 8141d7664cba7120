// Text rules shared by every layer. Text is UTF-8 everywhere in the
// program; lengths and cuts count characters, not bytes, because the target
// fields hold one Windows-1252 byte per character.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// Leading and trailing spaces removed (spaces only, like the original's Trim),
// or the characters of `blanks` (" \t\r\n" for lines of a text file).
std::string Trim(std::string_view s, std::string_view blanks = " ");
// Number of characters of a UTF-8 text.
size_t charCount(std::string_view s);
// The first n characters / the last n characters.
std::string Left(std::string_view s, size_t n);
std::string Right(std::string_view s, size_t n);
// Characters from the 1-based position `start`, at most n of them.
std::string Mid(std::string_view s, size_t start, size_t n = std::string::npos);
// Case mapping of ASCII and the Latin-1 letters (é, Ç, ô ...).
std::string lowerCase(std::string_view s);
std::string upperCase(std::string_view s);
// Equal when letter case is ignored, with the case mapping above (names of
// files, tables, columns, INI keys).
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// A value bound for a field of `width` characters: when the trimmed value is
// longer than the field it becomes its first `width` characters, otherwise it
// is kept exactly as read (blanks included).
std::string clip(std::string_view s, size_t width);

// The text as is, padded with spaces to `width` characters when shorter (a
// seek key of the full width of its index key).
std::string padTo(std::string_view s, size_t width);
// `StrString` trimmed, then padded with spaces or cut to `nLen` characters.
std::string Padr(std::string_view StrString, int16_t nLen);
// First character upper case, the rest lower case.
std::string Proper(std::string_view cString);

// The leading number of a text, read leniently (blanks, sign, digits, one
// decimal point); 0 when there is none.
double Val(std::string_view s);
// A number as text without trailing zeros ("6", "6.5", "-2").
std::string numberText(double value);
// A whole number with at least two digits ("07", "12", "103").
std::string twoDigits(int64_t value);

}  // namespace base
