// Text and names at the edge of the engine: Windows-1252 conversion, upper
// case of accented letters, file names matched whatever their letter case.
#include <gtest/gtest.h>

#include "support/scratch_folder.h"
#include "store/engine/codepage.h"
#include "store/engine/field.h"
#include "store/engine/path_case.h"

using namespace store;

TEST(EngineText, Cp1252RoundTripAndUnmappableCharacters) {
  // Every byte comes back unchanged through UTF-8, the five undefined ones included.
  std::string all;
  for (int c = 1; c < 256; ++c) all += char(c);
  EXPECT_EQ(toCp1252(fromCp1252(all)), all);
  EXPECT_EQ(toCp1252("Français € Œ ’ ß ÿ"), "Fran\xE7" "ais \x80 \x8C \x92 \xDF \xFF");
  EXPECT_EQ(toCp1252("Ω 中 😀 x"), "? ? ? x");
  EXPECT_EQ(toCp1252(std::string("a\xC3") + "b\xFF" + "\xE2\x82"), "a?b???");  // each broken byte
  std::string up = toCp1252("àéîõüçñœšžÿ ß µ abc");
  upper1252InPlace(up.data(), up.data() + up.size());
  EXPECT_EQ(fromCp1252(up), "ÀÉÎÕÜÇÑŒŠŽŸ ß µ ABC");
}

TEST(EngineText, NumbersAndDatesInTheirStoredForms) {
  EXPECT_EQ(formatNumber(-0.0001, 6, 2), "  0.00");  // no negative zero
  EXPECT_EQ(formatNumber(1234.5678, 8, 3), "1234.568");
  EXPECT_EQ(formatNumber(-1234.5678, 8, 3), "-1234.57");
  EXPECT_EQ(formatNumber(1e20, 17, 3), std::string(17, '*'));
  EXPECT_EQ(formatNumber(-2.5, 3, 0), " -3");
  EXPECT_DOUBLE_EQ(parseNumber("  -12.50abc"), -12.5);
  EXPECT_DOUBLE_EQ(parseNumber("1.2.3"), 1.2);
  EXPECT_DOUBLE_EQ(parseNumber("****"), 0);
  EXPECT_EQ(parseDateField("20000229"), julianDay(2000, 2, 29));
  EXPECT_EQ(parseDateField("19000229"), 0);
  EXPECT_EQ(parseDateField("2009 101"), 0);
  EXPECT_EQ(formatDateField(julianDay(1, 1, 1)), "00010101");
  EXPECT_EQ(parseDayMonthYear("5/1/2009"), julianDay(2009, 1, 5));
  EXPECT_EQ(parseDayMonthYear("05/01/2009 x"), 0);
  EXPECT_EQ(parseDayMonthYear("05/13/2009"), 0);
}

TEST(EngineText, ResolveCaseFindsEachComponent) {
  testing_support::ScratchFolder dir;
  testing_support::writeText(dir.path() / "Kestrel" / "VIDE01" / "VIDE01_DBK_01.DBF", "x");
  auto found = resolveCase(dir.path() / "KESTREL" / "vide01" / "vide01_dbk_01.dbf");
  EXPECT_EQ(found, dir.path() / "Kestrel" / "VIDE01" / "VIDE01_DBK_01.DBF");
  // A file still to be made keeps its name under the folder that exists.
  EXPECT_EQ(resolveCase(dir.path() / "kestrel" / "NEW" / "a.dbf"), dir.path() / "Kestrel" / "NEW" / "a.dbf");
#ifndef _WIN32
  EXPECT_EQ(resolveCase(dir.path().string() + "\\kestrel\\Vide01\\VIDE01_dbk_01.DBF"),
            dir.path() / "Kestrel" / "VIDE01" / "VIDE01_DBK_01.DBF");
#endif
}
