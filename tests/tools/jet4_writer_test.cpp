// The Jet 4 writer checked through mdbtools: every type, nulls, accents,
// long memos and tables spanning many pages read back exactly.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet4_writer.h"
#include "support/mdb_cli.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using namespace jet4;

namespace {

std::optional<std::string> cell(const mdbcli::Table& t, size_t row, const std::string& col) {
  int c = t.column(col);
  EXPECT_GE(c, 0) << col;
  return c < 0 ? std::nullopt : t.rows.at(row).at(c);
}

}  // namespace

TEST(Jet4Writer, EveryTypeAndNullReadsBackExactly) {
  const testing_support::ScratchFolder folder;
  const fs::path file = folder.path() / "types.mdb";
  {
    Database db(file.string());
    Table& t = db.addTable("Types", {{"Id", Type::Long},
                                     {"Name", Type::Text, 40},
                                     {"Note", Type::Memo},
                                     {"Small", Type::Byte},
                                     {"Mid", Type::Integer},
                                     {"Amount", Type::Currency},
                                     {"Rate", Type::Double},
                                     {"When", Type::DateTime},
                                     {"Flag", Type::Boolean}});
    t.addRow({int64_t(-2147483647 - 1), std::string("Société Générale à Liège — Ωmega"), std::string("ligne 1\r\nligne \"2\""),
              int64_t(255), int64_t(-32768), Currency{-123456789}, 1.1, DateTime{2024, 2, 29, 23, 59, 58}, true});
    t.addRow({int64_t(2147483647), std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{},
              std::monostate{}, std::monostate{}, std::monostate{}, false});
    t.addRow({int64_t(0), std::string("ab"), std::string(9000, 'm'), int64_t(0), int64_t(32767), Currency::ofCents(1),
              -0.5, DateTime{1900, 1, 1}, std::monostate{}});
    db.close();
  }
  EXPECT_EQ(mdbcli::version(file.string()), "JET4");
  EXPECT_EQ(mdbcli::tables(file.string()), std::vector<std::string>{"Types"});
  const std::string schema = mdbcli::schema(file.string());
  for (const char* decl : {"[Id]\t\t\tLong Integer", "[Name]\t\t\tText (40)", "[Note]\t\t\tMemo/Hyperlink",
                           "[Small]\t\t\tByte", "[Mid]\t\t\tInteger", "[Amount]\t\t\tCurrency", "[Rate]\t\t\tDouble",
                           "[When]\t\t\tDateTime", "[Flag]\t\t\tBoolean"})
    EXPECT_NE(schema.find(decl), std::string::npos) << decl << "\n" << schema;

  auto t = mdbcli::exportTable(file.string(), "Types");
  ASSERT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(cell(t, 0, "Id"), "-2147483648");
  EXPECT_EQ(cell(t, 0, "Name"), "Société Générale à Liège — Ωmega");
  EXPECT_EQ(cell(t, 0, "Note"), "ligne 1\r\nligne \"2\"");
  EXPECT_EQ(cell(t, 0, "Small"), "255");
  EXPECT_EQ(cell(t, 0, "Mid"), "-32768");
  EXPECT_EQ(cell(t, 0, "Amount"), "-12345.6789");
  EXPECT_EQ(cell(t, 0, "Rate"), "1.1");
  EXPECT_EQ(cell(t, 0, "When"), "2024-02-29 23:59:58");
  EXPECT_EQ(cell(t, 0, "Flag"), "1");
  for (const char* col : {"Name", "Note", "Small", "Mid", "Amount", "Rate", "When"})
    EXPECT_EQ(cell(t, 1, col), std::nullopt) << col;
  EXPECT_EQ(cell(t, 1, "Id"), "2147483647");
  EXPECT_EQ(cell(t, 1, "Flag"), "0");
  EXPECT_EQ(cell(t, 2, "Name"), "ab");  // too short to be stored compressed
  EXPECT_EQ(cell(t, 2, "Note"), std::string(9000, 'm'));  // spans long-value pages
  EXPECT_EQ(cell(t, 2, "Amount"), "0.0100");
  EXPECT_EQ(cell(t, 2, "When"), "1900-01-01 00:00:00");
  EXPECT_EQ(cell(t, 2, "Flag"), "0");
}

TEST(Jet4Writer, LargeTablesSpanManyPagesInOrder) {
  const testing_support::ScratchFolder folder;
  // Two tables written side by side interleave their pages; with a small
  // inline map limit the larger one needs bitmap pages for its usage map.
  const fs::path file = folder.path() / "large.mdb";
  const int rows = 400000;
  {
    Database db(file.string(), 64);
    Table& a = db.addTable("Lines", {{"N", Type::Long}, {"Label", Type::Text, 30}, {"Amount", Type::Currency}});
    Table& b = db.addTable("Other", {{"N", Type::Long}});
    for (int i = 0; i < rows; ++i) {
      a.addRow({int64_t(i), "ligne n° " + std::to_string(i), Currency::ofCents(i)});
      if (i % 50 == 0) b.addRow({int64_t(i)});
    }
    db.close();
  }
  EXPECT_EQ(mdbcli::tables(file.string()), (std::vector<std::string>{"Lines", "Other"}));
  auto t = mdbcli::exportTable(file.string(), "Lines");
  ASSERT_EQ(t.rows.size(), size_t(rows));
  for (int i = 0; i < rows; i += 9973) {
    EXPECT_EQ(t.rows[i][0], std::to_string(i));
    EXPECT_EQ(t.rows[i][1], "ligne n° " + std::to_string(i));
  }
  EXPECT_EQ(t.rows.back()[2], "3999.9900");
  auto o = mdbcli::exportTable(file.string(), "Other");
  ASSERT_EQ(o.rows.size(), size_t(rows / 50));
  EXPECT_EQ(o.rows.back()[0], std::to_string(rows - 50));
}

TEST(Jet4Writer, RefusesValuesThatDoNotFitTheirColumn) {
  const testing_support::ScratchFolder folder;
  Database db((folder.path() / "refused.mdb").string());
  Table& t = db.addTable("T", {{"Code", Type::Text, 3}, {"Small", Type::Byte}, {"When", Type::DateTime}});
  EXPECT_THROW(t.addRow({std::string("ABCD"), std::monostate{}, std::monostate{}}), Error);
  EXPECT_NO_THROW(t.addRow({std::string("ÀÉÎ"), std::monostate{}, std::monostate{}}));  // characters, not bytes
  EXPECT_THROW(t.addRow({std::monostate{}, int64_t(256), std::monostate{}}), Error);
  EXPECT_THROW(t.addRow({std::monostate{}, std::monostate{}, std::string("2024-01-01")}), Error);
  EXPECT_THROW(t.addRow({std::monostate{}}), Error);
  EXPECT_THROW(db.addTable("t", {{"X", Type::Long}}), Error);  // names are case-blind
  EXPECT_EQ(t.rowCount(), 1);
}
