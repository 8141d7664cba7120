// The value conversions of the master data, on the examples that tell a right
// implementation from a plausible wrong one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/master/codes.h"

using namespace convert;

namespace {

// One input and the text a conversion must give for it.
struct Case {
  std::string in, out;
};

template <typename Convert>
void expectAll(Convert convert, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(convert(c.in), c.out) << "input \"" << c.in << '"';
}

}  // namespace

TEST(MasterValueRules, AccountsAreTrimmedCutToEightThenPaddedOrCut) {
  auto six = [](const std::string& a) { return NormalizeAccount(a, 6); };
  expectAll(six, {{"4001", "400100"},
                  {"123456789", "123456"},
                  // Blanks inside the first eight characters are trimmed again.
                  {" 6100     9", "610000"}});
  EXPECT_EQ(NormalizeAccount("  40  ", 4), "4000");
  // The cut to 8 comes before padding: a ninth digit never reaches length 8+.
  EXPECT_EQ(NormalizeAccount("1234567891", 8), "12345678");
}

TEST(MasterValueRules, BelgianVatNumbersKeepTheirLastNineDigits) {
  auto belgian = [](const std::string& n) { return FormatVatNumber(n, "BE"); };
  expectAll(belgian, {{"0123456789", "123.456.789"}, {" BE0123456789 ", "123.456.789"}, {"123456789", "123.456.789"}});
  // Only the exact country "BE" is Belgian.
  EXPECT_EQ(FormatVatNumber(" FR12345678901 ", "FR"), "FR12345678901");
  EXPECT_EQ(FormatVatNumber(" 0123456789 ", "be"), "0123456789");
  EXPECT_EQ(FormatVatNumber("0123456789", "  "), "0123456789");
}

TEST(MasterValueRules, CompanyVatNumbersGetTheLeadingZeroAndPrefix) {
  EXPECT_EQ(formatCompanyVatNumber("BE", "123456789"), "BE0123.456.789");
  EXPECT_EQ(formatCompanyVatNumber("BE", "0123456789"), "BE0123.456.789");
  EXPECT_EQ(formatCompanyVatNumber("BE", "12345678901"), "BE12345678901");
  EXPECT_EQ(formatCompanyVatNumber("", ""), "");
  EXPECT_EQ(formatCompanyVatNumber("LU", ""), "LU");
}

TEST(MasterValueRules, BelgianBankAccountsNeedTheirCheckDigits) {
  EXPECT_EQ(BankAccountCheckDigits("1234567890"), 2);
  // Ten digits exceed 32 bits; a multiple of 97 checks with 97, not 0.
  EXPECT_EQ(BankAccountCheckDigits("9999999999"), 9999999999LL % 97);
  EXPECT_EQ(BankAccountCheckDigits("0000000097"), 97);
  expectAll(FormatBelgianBankAccount, {{"123456789002", "123-4567890-02"},
                                       {" 123456789002 ", "123-4567890-02"},
                                       {"123456789003", ""},
                                       {"000000009797", "000-0000097-97"},
                                       {"000000009700", ""},
                                       {"12345678900", ""},
                                       {"12A456789002", ""}});
}

TEST(MasterValueRules, LanguageIdsMapToLettersOthersPassThrough) {
  expectAll(MapLanguageCode, {{"0", "F"}, {"1", "N"}, {"2", "E"}, {"3", "G"}, {"7", "7"}, {" 1", " 1"}});
}

TEST(MasterValueRules, PeriodLabelsCompareWholeTrimmedLowerCaseTexts) {
  expectAll(ProperFR, {{"  JAN ", "Jan"},
                       {"01", "Jan"},
                       {"q 3", "Tr3"},
                       {"FÉV", "Fév"},
                       {"12", "Déc"},
                       {"janvier", ""},
                       {"13", ""}});

  std::string label = "Fév";
  EXPECT_EQ(FR2NL(label), "Feb");
  EXPECT_EQ(label, "Feb");
  std::string closing = "Clô", opening = "Rep", may = "Mai", unknown = "janvier";
  EXPECT_EQ(FR2NL(closing), "Afs");
  EXPECT_EQ(FR2UK(opening), "Ope");
  EXPECT_EQ(FR2UK(may), "May");
  EXPECT_EQ(FR2NL(unknown), "janvier");
  EXPECT_EQ(unknown, "janvier");
  std::string numeric = "1";
  EXPECT_EQ(FR2UK(numeric), "1");  // no numeric inputs here
}

TEST(MasterValueRules, ParameterListsFindAndReplaceOneEntry) {
  EXPECT_EQ(listValue("CUST=X,SUP=X,LENGEN=6", "LENGEN"), "6");
  EXPECT_EQ(listValue("CUST=X,SUP=X,lengen= 7 ,Z=1", "LenGen"), "7");
  EXPECT_EQ(listValue("CUST=X,XLENGEN=6", "LENGEN"), "");
  EXPECT_EQ(listValue("LENGEN=", "LENGEN"), "");
  EXPECT_EQ(listValue("A=B=C", "A"), "B=C");

  EXPECT_EQ(replaceListValue("CUST=X,SUP=X,LENGEN=6", "LENGEN", "7"), "CUST=X,SUP=X,LENGEN=7");
  EXPECT_EQ(replaceListValue(" LENGEN=6,CUST=X ", "LENGEN", "8"), "LENGEN=8,CUST=X");
  EXPECT_EQ(replaceListValue("CUST=X", "LENGEN", "5"), "CUST=X,LENGEN=5");
}
