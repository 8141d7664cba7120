#include <gtest/gtest.h>

#include "run/access_dialect.h"

using run::mentionedNames;
using run::translateAccessSql;

TEST(AccessDialect, DerivedTableInBracketsBecomesASubquery) {
  EXPECT_EQ(translateAccessSql("SELECT a FROM t LEFT JOIN [SELECT x.b From x WHERE (((x.c)<>0))]. AS test ON t.a = test.b"),
            "SELECT a FROM t LEFT JOIN (SELECT x.b From x WHERE (((x.c)<>0))) AS test ON t.a = test.b");
  // Bracketed names inside the derived table are translated too.
  EXPECT_EQ(translateAccessSql("FROM [ select [Order Details].ID from [Order Details]]. AS q"),
            "FROM ( select \"Order Details\".ID from \"Order Details\") AS q");
}

TEST(AccessDialect, NamesAndTextsTakeTheEnginesQuoting) {
  EXPECT_EQ(translateAccessSql("Sum([historic].[AmntBase]*[historic].[flagdc])"),
            "Sum(\"historic\".\"AmntBase\"*\"historic\".\"flagdc\")");
  EXPECT_EQ(translateAccessSql("WHERE a = \"it's\" AND b = 'x\"y'"), "WHERE a = 'it''s' AND b = 'x\"y'");
  EXPECT_EQ(translateAccessSql("WHERE a = \"say \"\"hi\"\"\""), "WHERE a = 'say \"hi\"'");
  EXPECT_EQ(translateAccessSql("SELECT [a\"b]"), "SELECT \"a\"\"b\"");
}

TEST(AccessDialect, OperatorsAndDateLiterals) {
  EXPECT_EQ(translateAccessSql("SELECT a & 'x' & b"), "SELECT a || 'x' || b");
  EXPECT_EQ(translateAccessSql("WHERE Name Like \"A*\" AND b LIKE  'x?y' AND c = '*' AND unlike 'q*'"),
            "WHERE Name Like 'A%' AND b LIKE  'x_y' AND c = '*' AND unlike 'q*'");
  EXPECT_EQ(translateAccessSql("WHERE d >= #12/31/2020# AND e < #1/2/2021 13:05:00#"),
            "WHERE d >= '2020-12-31 00:00:00' AND e < '2021-01-02 13:05:00'");
  // Characters inside texts are never touched.
  EXPECT_EQ(translateAccessSql("WHERE a = '[x] & #1/1/2000#'"), "WHERE a = '[x] & #1/1/2000#'");
  // A number too large for the date's fields is no date (cut to 32 bits, 2^32 + 1 would read as 1).
  EXPECT_EQ(translateAccessSql("WHERE d = #4294967297/1/2020#"), "WHERE d = #4294967297/1/2020#");
  // Texts the engine already understands pass unchanged.
  const std::string plain = "SELECT Max(Len(GeneralID)) AS x FROM D_AcctGeneral WHERE (((Type)=0)) AND a Is Not Null";
  EXPECT_EQ(translateAccessSql(plain), plain);
}

TEST(AccessDialect, MentionedNamesSkipTextsAndNumbers) {
  auto names = mentionedNames("SELECT \"Order Details\".x, 'A_01_Fake' FROM A_01_Historic AS h WHERE h.Doc = 12");
  std::vector<std::string> expected{"SELECT", "Order Details", "x", "FROM", "A_01_Historic", "AS", "h", "WHERE", "h", "Doc"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(mentionedNames("SELECT * FROM Umsätze"), (std::vector<std::string>{"SELECT", "FROM", "Umsätze"}));
}

TEST(AccessDialect, ComparedLiteralsBecomeParametersInTextOrder) {
  auto p = run::parameterizeLiterals(
      "SELECT Left(a, 3) FROM t WHERE (((t.J)= 'it''s') AND ((t.D)=12) AND t.x <> 0.5 AND t.y = ? AND t.z > -1) ORDER BY 1");
  EXPECT_EQ(p.text, "SELECT Left(a, 3) FROM t WHERE (((t.J)= ?) AND ((t.D)=?) AND t.x <> ? AND t.y = ? AND t.z > -1) ORDER BY 1");
  ASSERT_EQ(p.slots, (std::vector<int>{0, 1, 2, -1}));
  EXPECT_TRUE(p.literals[0].isText);
  EXPECT_EQ(p.literals[0].text, "it's");
  EXPECT_TRUE(p.literals[1].isInteger);
  EXPECT_EQ(p.literals[1].text, "12");
  EXPECT_FALSE(p.literals[2].isInteger);
  // Two texts differing only in compared values share one shape.
  EXPECT_EQ(run::parameterizeLiterals("WHERE a = 'X' AND b = 1").text, run::parameterizeLiterals("WHERE a = 'Y' AND b = 2").text);
}
