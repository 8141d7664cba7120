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
  EXPECT_EQ(translateAccessSql("WHERE d >= #12/31/2020# AND e < #1/2/2021 13:05:00#"),
            "WHERE d >= '2020-12-31 00:00:00' AND e < '2021-01-02 13:05:00'");
  // Characters inside texts are never touched.
  EXPECT_EQ(translateAccessSql("WHERE a = '[x] & #1/1/2000#'"), "WHERE a = '[x] & #1/1/2000#'");
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
