// The text rules every layer shares, on the examples that tell a right
// implementation from a plausible wrong one.
#include <gtest/gtest.h>

#include "base/text.h"

using namespace base;

TEST(Text, PaddingAndClippingCountCharactersNotBytes) {
  EXPECT_EQ(Padr("Clô", 3), "Clô");
  EXPECT_EQ(Padr("", 3), "   ");
  EXPECT_EQ(Padr("  Jan  ", 5), "Jan  ");
  EXPECT_EQ(Padr("Janvier", 3), "Jan");
  EXPECT_EQ(Proper("jANVIER"), "Janvier");
  EXPECT_EQ(Proper("élan"), "Élan");

  EXPECT_EQ(clip("  Société  ", 40), "  Société  ");     // fits: kept with its blanks
  EXPECT_EQ(clip("  Société Générale  ", 7), "Société");  // too long: trimmed, then cut
  EXPECT_EQ(clip(" Société ", 7), " Société ");          // exactly as wide: kept as read
  EXPECT_EQ(clip("ééé", 3), "ééé");
  EXPECT_EQ(Right("BE0123456789", 9), "123456789");
  EXPECT_EQ(Right("été", 2), "té");
}

TEST(Text, TrimTakesSpacesOrTheBlanksGiven) {
  EXPECT_EQ(Trim("  a b \t"), "a b \t");
  EXPECT_EQ(Trim(" \ta b\r\n", " \t\r\n"), "a b");
  EXPECT_EQ(Trim("   "), "");
}

TEST(Text, CaseBlindComparisonFoldsAccentedLettersToo) {
  EXPECT_TRUE(equalsIgnoringCase("D_AcctGeneral", "d_acctgeneral"));
  EXPECT_TRUE(equalsIgnoringCase("Clôture", "CLÔTURE"));
  EXPECT_EQ(lowerCase("CLÔTURE"), "clôture");
  EXPECT_FALSE(equalsIgnoringCase("Clôture", "Cloture"));
  EXPECT_FALSE(equalsIgnoringCase("×", "÷"));  // signs without case stay apart
  EXPECT_FALSE(equalsIgnoringCase("ab", "abc"));
}

TEST(Text, NumbersReadLenientlyAndWrittenShort) {
  EXPECT_EQ(numberText(Val(" 6 ")), "6");
  EXPECT_EQ(numberText(Val("")), "0");
  EXPECT_EQ(numberText(Val("-2.50x")), "-2.5");
  EXPECT_EQ(twoDigits(7), "07");
  EXPECT_EQ(twoDigits(103), "103");
}
