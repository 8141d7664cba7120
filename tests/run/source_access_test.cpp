// The Access edition against real files written by Access, checked against
// mdb-export (an independent reader) and against results computed here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "base/rc4.h"
#include "jet4_writer.h"
#include "run/access_source.h"
#include "run/date_text.h"
#include "source_test_support.h"

using namespace source_test;

namespace {

// The mdb-export form of a value: money with four decimals, dates as
// "YYYY-MM-DD HH:MM:SS", Booleans 1/0, null empty.
std::string exportForm(const base::Value& v) {
  switch (v.kind) {
    case base::Value::Kind::Null: return "";
    case base::Value::Kind::Boolean: return v.integer ? "1" : "0";
    case base::Value::Kind::Decimal: return v.text;
    case base::Value::Kind::DateTime: return run::isoText(v.date);
    default: return v.asText();
  }
}

bool sameCell(const std::string& mine, const std::string& theirs) {
  if (mine == theirs) return true;
  char *e1 = nullptr, *e2 = nullptr;
  double a = std::strtod(mine.c_str(), &e1), b = std::strtod(theirs.c_str(), &e2);
  return !mine.empty() && !theirs.empty() && *e1 == 0 && *e2 == 0 && std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(a));
}

void expectTableMatchesExport(base::Source& src, const std::string& file, const std::string& table) {
  auto expected = exportTable(file, table);
  ASSERT_GT(expected.size(), 1u) << table;
  auto rows = src.openTable(table);
  EXPECT_EQ(rows->columns(), expected[0]);
  size_t r = 1;
  for (; !rows->eof(); rows->moveNext(), ++r) {
    ASSERT_LT(r, expected.size()) << table << ": more rows than mdb-export";
    for (size_t c = 0; c < expected[0].size(); ++c) {
      std::string mine = exportForm(rows->field(expected[0][c]));
      EXPECT_TRUE(sameCell(mine, expected[r][c])) << table << " row " << r << " " << expected[0][c] << ": " << mine
                                                  << " vs " << expected[r][c];
    }
  }
  EXPECT_EQ(r, expected.size()) << table;
}

}  // namespace

TEST(AccessSource, Jet3TablesReadAsMdbExportReadsThem) {
  ScratchFolder dir;
  std::string file = copyFixture(dir, "nwind.mdb");
  auto src = run::openAccessSource(file);
  for (const char* t : {"Customers", "Orders", "Products", "Order Details", "Suppliers", "Shippers"})
    expectTableMatchesExport(*src, file, t);
}

// The smallest Jet 3 row: a table of text columns only with every value
// empty keeps its offset table right after its column count. Made by hand in
// a Customers page of the real file (the last row shrunk in place, its page's
// free space grown by as much), as no writer of ours writes Jet 3.
TEST(AccessSource, Jet3RowOfEmptyTextsOnlyIsNoDamage) {
  ScratchFolder dir;
  const std::string intact = copyFixture(dir, "nwind.mdb");
  const std::string file = copyFixture(dir, "nwind.mdb", "empty-row.mdb");
  std::vector<unsigned char> b;
  {
    std::ifstream in(file, std::ios::binary);
    b.assign(std::istreambuf_iterator<char>(in), {});
  }
  constexpr size_t kPage = 2048, kRowCountAt = 8;
  auto u16 = [&](size_t at) { return static_cast<int>(b[at] | b[at + 1] << 8); };
  auto put16 = [&](size_t at, int v) { b[at] = v & 0xff, b[at + 1] = (v >> 8) & 0xff; };
  const std::string contact = "Maria Anders";  // a contact of Customers only
  const size_t hit = std::search(b.begin(), b.end(), contact.begin(), contact.end()) - b.begin();
  ASSERT_LT(hit, b.size());
  const size_t page = hit / kPage * kPage;
  ASSERT_EQ(b[page], 1) << "a data page";
  const int rows = u16(page + kRowCountAt);
  const int last = rows - 1;
  const size_t entry = page + kRowCountAt + 2 + 2 * last;
  const int end = last == 0 ? int(kPage) : (u16(entry - 2) & 0x1fff);
  const int start = u16(entry) & 0x1fff;
  // 11 columns, no fixed data, 12 offsets all 1 (every value empty),
  // the variable-column count, a null mask saying "not null" for all 11.
  const int length = 1 + 12 + 1 + 2;
  ASSERT_GT(end - start, length);
  const int newStart = end - length;
  unsigned char* r = &b[page + newStart];
  r[0] = 11;
  for (int i = 1; i <= 12; ++i) r[i] = 1;
  r[13] = 11;
  r[14] = 0xff, r[15] = 0x07;
  put16(entry, (u16(entry) & ~0x1fff) | newStart);
  put16(page + 2, u16(page + 2) + (newStart - start));
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  }
  auto src = run::openAccessSource(file);
  auto n = src->query("SELECT Count(*) AS n FROM Customers")->field("n").asInt();
  EXPECT_EQ(n, static_cast<long>(exportTable(intact, "Customers").size() - 1));
  auto empty = src->query("SELECT Count(*) AS n FROM Customers WHERE CustomerID = '' AND Fax = ''");
  EXPECT_EQ(empty->field("n").asInt(), 1);
}

TEST(AccessSource, NonAsciiTableNameIsFoundAndReadInAnyLetterCase) {
  ScratchFolder dir;
  std::string file = copyFixture(dir, "nwind.mdb", "NWIND.MDB");
  auto src = run::openAccessSource(dir.file("nwind.mdb"));  // the file is found whatever the case of its name
  auto names = src->tableNames();
  ASSERT_NE(std::find(names.begin(), names.end(), "Umsätze"), names.end());
  EXPECT_TRUE(src->hasTable("UMSäTZE"));
  expectTableMatchesExport(*src, file, "Umsätze");
  auto rows = src->query("SELECT Count(*) AS n, Sum(Freight) AS total FROM [Umsätze] WHERE ShipCountry = 'france'");
  long n = 0;
  double total = 0;
  auto exported = exportTable(file, "Umsätze");
  size_t country = std::find(exported[0].begin(), exported[0].end(), "ShipCountry") - exported[0].begin();
  size_t freight = std::find(exported[0].begin(), exported[0].end(), "Freight") - exported[0].begin();
  for (size_t r = 1; r < exported.size(); ++r)
    if (exported[r][country] == "France") ++n, total += std::strtod(exported[r][freight].c_str(), nullptr);
  ASSERT_GT(n, 0);
  EXPECT_EQ(rows->field("N").asInt(), n);  // text compared without case, as Access does
  EXPECT_NEAR(rows->field("total").asDouble(), total, 1e-6);
  // A sum of currency values carries no binary noise.
  EXPECT_LE(rows->field("total").text.size(), std::to_string(static_cast<long>(total)).size() + 5);
  // Len counts characters as Access does: "Carrera 52 con Ave. Bolívar #65-98 Llano Largo" has 46.
  EXPECT_EQ(src->query("SELECT Len(ShipAddress) AS n FROM [Umsätze] WHERE OrderID = 10330")->field("n").asInt(), 46);
}

TEST(AccessSource, JetDialectQueryMatchesAnIndependentComputation) {
  ScratchFolder dir;
  std::string file = copyFixture(dir, "nwind.mdb");
  auto src = run::openAccessSource(file);
  auto rows = src->query(
      "SELECT c.CustomerID, First(test.OrderID) AS FirstOrder, Count(test.OrderID) AS N, Sum([test].[Freight]) AS Total "
      "FROM Customers AS c LEFT JOIN [SELECT Orders.OrderID, Orders.CustomerID, Orders.Freight From Orders "
      "WHERE (((Orders.Freight)>100))]. AS test ON c.CustomerID = test.CustomerID "
      "WHERE c.Country Is Not Null GROUP BY c.CustomerID HAVING ((Count(test.OrderID))<2) AND ((c.CustomerID) > 'm') "
      "ORDER BY c.CustomerID");

  struct Agg {
    std::string first;
    long n = 0;
    double total = 0;
  };
  auto customers = exportTable(file, "Customers");
  auto orders = exportTable(file, "Orders");
  std::map<std::string, Agg> expected;
  for (size_t r = 1; r < customers.size(); ++r)
    if (customers[r][0] > "M" && !customers[r][8].empty()) expected[customers[r][0]];  // [8] is Country
  for (size_t r = 1; r < orders.size(); ++r) {
    auto it = expected.find(orders[r][1]);
    double freight = std::strtod(orders[r][7].c_str(), nullptr);
    if (it == expected.end() || freight <= 100) continue;
    if (it->second.n++ == 0) it->second.first = orders[r][0];
    it->second.total += freight;
  }
  for (auto it = expected.begin(); it != expected.end();) it = it->second.n < 2 ? std::next(it) : expected.erase(it);
  ASSERT_EQ(customers[0][8], "Country");
  ASSERT_GE(expected.size(), 3u);
  bool sawEmptyJoin = false;
  for (const auto& [id, agg] : expected) {
    ASSERT_FALSE(rows->eof()) << "missing " << id;
    EXPECT_EQ(rows->field("CustomerID").asText(), id);
    EXPECT_EQ(rows->field("N").asInt(), agg.n) << id;
    if (agg.n == 0) {
      sawEmptyJoin = true;
      EXPECT_TRUE(rows->field("FirstOrder").isNull()) << id;
      EXPECT_TRUE(rows->field("Total").isNull()) << id;
    } else {
      EXPECT_EQ(rows->field("FirstOrder").asText(), agg.first) << id;
      EXPECT_NEAR(rows->field("Total").asDouble(), agg.total, 1e-6) << id;
    }
    rows->moveNext();
  }
  EXPECT_TRUE(rows->eof());
  EXPECT_TRUE(sawEmptyJoin);
}

TEST(AccessSource, Jet4DatesBefore1900AndInYear9999) {
  ScratchFolder dir;
  std::string file = copyFixture(dir, "DateTestDatabase.mdb");
  auto src = run::openAccessSource(file);
  auto rows = src->openTable("DateTest");
  auto exported = exportTable(file, "DateTest");
  std::map<std::string, base::DateTime> dates;
  for (size_t r = 1; !rows->eof(); rows->moveNext(), ++r) {
    ASSERT_LT(r, exported.size());
    EXPECT_EQ(rows->field("IDCol").asText(), exported[r][0]);
    EXPECT_EQ(rows->field("LongTextCol").asText(), exported[r][4]);
    EXPECT_EQ(rows->field("ShortTextCol").asText(), exported[r][5]);
    base::Value d = rows->field("datetimecol");
    ASSERT_EQ(d.kind, base::Value::Kind::DateTime);
    dates[rows->field("ShortTextCol").asText()] = d.date;
  }
  EXPECT_EQ(dates["Hello"].year, 2021);
  EXPECT_EQ(dates["Hello"].month, 12);
  EXPECT_EQ(dates["Hello"].day, 2);
  EXPECT_EQ(dates["Year 1999"].year, 9999);
  EXPECT_LT(dates["Pre-1900 years"].year, 1900);
  EXPECT_LT(dates["Pre-1000 years"].year, 1000);
  EXPECT_GT(dates["Pre-1000 years"].year, 99);
  // Texts keep their line breaks.
  auto lines = src->query("SELECT LongTextCol FROM DateTest WHERE ShortTextCol = 'No new line'");
  EXPECT_EQ(lines->field("LongTextCol").asText(), "New line\r\nin field");
}

// A row's place is its page and its row number on that page; a database of
// many tables keeps their usage maps on one page, beyond its 128th row.
TEST(AccessSource, ManyTablesFindTheirUsageMapsBeyondRow128) {
  ScratchFolder dir;
  const std::string file = dir.file("many.mdb");
  {
    jet4::Database db(file);
    for (int i = 0; i < 70; ++i) db.addTable("T" + std::to_string(i), {{"N", jet4::Type::Long}}).addRow({int64_t(i)});
    db.close();
  }
  auto src = run::openAccessSource(file);
  for (int i : {0, 62, 63, 64, 69}) {
    auto rows = src->openTable("T" + std::to_string(i));
    ASSERT_FALSE(rows->eof()) << i;
    EXPECT_EQ(rows->field("N").asInt(), i);
  }
}

// An encoded database has every page but the header masked with RC4 under
// the key kept in the (itself masked) header; libmdb's mdb-export reads it.
TEST(AccessSource, EncodedDatabaseReadsAsMdbExportReadsIt) {
  ScratchFolder dir;
  std::string file = copyFixture(dir, "nwind.mdb", "encoded.mdb");
  constexpr size_t kPage = 2048, kMasked = 126;  // Jet 3
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<unsigned char> page(kPage);
  f.read(reinterpret_cast<char*>(page.data()), kPage);
  const unsigned char headerKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
  base::rc4(headerKey, 4, page.data() + 0x18, kMasked);
  ASSERT_EQ(page[0x3E] | page[0x3F] | page[0x40] | page[0x41], 0) << "the fixture is not encoded yet";
  const uint32_t key = 0x5A17C3E1;
  for (size_t b = 0; b < 4; ++b) page[0x3E + b] = static_cast<unsigned char>(key >> (8 * b));
  base::rc4(headerKey, 4, page.data() + 0x18, kMasked);
  f.seekp(0);
  f.write(reinterpret_cast<const char*>(page.data()), kPage);
  for (uint32_t n = 1; n < fs::file_size(file) / kPage; ++n) {
    f.seekg(n * kPage);
    f.read(reinterpret_cast<char*>(page.data()), kPage);
    const uint32_t k = key ^ n;
    const unsigned char pageKey[4] = {static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 8),
                                      static_cast<unsigned char>(k >> 16), static_cast<unsigned char>(k >> 24)};
    base::rc4(pageKey, 4, page.data(), page.size());
    f.seekp(n * kPage);
    f.write(reinterpret_cast<const char*>(page.data()), kPage);
  }
  f.close();
  auto src = run::openAccessSource(file);
  for (const char* t : {"Customers", "Orders"}) expectTableMatchesExport(*src, file, t);
}

TEST(AccessSource, RowSetMovesAndCounts) {
  ScratchFolder dir;
  auto src = run::openAccessSource(copyFixture(dir, "nwind.mdb"));
  auto rows = src->query("SELECT ShipperID, CompanyName FROM Shippers WHERE ShipperID >= ? ORDER BY ShipperID",
                         {base::Value::ofInt(2)});
  EXPECT_EQ(rows->field("shipperid").asInt(), 2);
  EXPECT_EQ(rows->recordCount(), 2);
  EXPECT_EQ(rows->field("ShipperID").asInt(), 2);  // counting does not move
  rows->moveLast();
  EXPECT_EQ(rows->field("ShipperID").asInt(), 3);
  rows->moveNext();
  EXPECT_TRUE(rows->eof());
  EXPECT_THROW(rows->moveNext(), base::SourceError);
  rows->moveFirst();
  EXPECT_EQ(rows->field("ShipperID").asInt(), 2);
  EXPECT_TRUE(rows->hasField("COMPANYNAME"));
  EXPECT_THROW(rows->field("NoSuchColumn"), base::SourceError);
}

TEST(AccessSource, BadFilesAndMissingTablesGiveClearErrors) {
  ScratchFolder dir;
  auto expectError = [](const std::string& path, const std::string& fragment) {
    try {
      auto src = run::openAccessSource(path);
      for (const auto& t : src->tableNames()) src->openTable(t);
      ADD_FAILURE() << path << " opened";
    } catch (const base::SourceError& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
  };
  expectError(dir.file("absent.mdb"), "Impossible d'ouvrir");
  { std::ofstream(dir.file("text.mdb")) << "Company;Name\n001;Acme\n"; }
  expectError(dir.file("text.mdb"), "n'est pas une base de données Access");
  { std::ofstream(dir.file("empty.mdb")); }
  expectError(dir.file("empty.mdb"), "n'est pas une base de données Access");

  std::string cut = copyFixture(dir, "nwind.mdb", "cut.mdb");
  fs::resize_file(cut, 10000);
  expectError(cut, "endommagée");

  // Pages overwritten with noise, or bytes changed here and there, behind a
  // valid header: refused or read, never a crash or a hang.
  for (int seed = 1; seed <= 40; ++seed) {
    std::string noisy = copyFixture(dir, "nwind.mdb", "noisy" + std::to_string(seed) + ".mdb");
    std::fstream f(noisy, std::ios::in | std::ios::out | std::ios::binary);
    std::mt19937 rng(seed);
    if (seed <= 3) {
      f.seekp(2048 * seed);
      for (int i = 0; i < 2048 * 40; ++i) f.put(static_cast<char>(rng()));
    } else {
      const long size = static_cast<long>(fs::file_size(noisy));
      for (int i = 0; i < 20 * (seed % 4 + 1) * (seed % 4 + 1); ++i) {
        f.seekp(0x80 + static_cast<long>(rng() % static_cast<unsigned>(size - 0x80)));
        f.put(static_cast<char>(rng()));
      }
    }
    f.close();
    // A table that fails to load leaves the source usable: the other tables
    // still load, and the failing one fails again with its own message.
    try {
      auto src = run::openAccessSource(noisy);
      for (const auto& t : src->tableNames()) {
        for (int attempt = 0; attempt < 2; ++attempt) {
          try {
            auto rows = src->openTable(t);
            while (!rows->eof()) rows->moveNext();
          } catch (const base::SourceError& e) {
            EXPECT_EQ(std::string(e.what()).find("werkdatabank"), std::string::npos) << seed << " " << t << ": " << e.what();
          }
        }
      }
    } catch (const base::SourceError&) {
    }
  }

  auto src = run::openAccessSource(copyFixture(dir, "nwind.mdb"));
  EXPECT_FALSE(src->hasTable("D_AcctGeneral"));
  EXPECT_THROW(src->openTable("D_AcctGeneral"), base::SourceError);
  try {
    src->query("SELECT * FROM D_AcctGeneral");
    ADD_FAILURE() << "query on a missing table ran";
  } catch (const base::SourceError& e) {
    EXPECT_NE(std::string(e.what()).find("D_AcctGeneral"), std::string::npos) << e.what();
  }
}

TEST(AccessSource, TextsDifferingOnlyInValuesGiveEachTheirOwnRows) {
  ScratchFolder dir;
  std::string file = copyFixture(dir, "nwind.mdb");
  auto src = run::openAccessSource(file);
  auto orders = exportTable(file, "Orders");
  std::map<std::string, long> perCustomer;
  for (size_t r = 1; r < orders.size(); ++r) ++perCustomer[orders[r][1]];
  auto count = [&](const std::string& id) {
    return src->query("SELECT OrderID FROM Orders WHERE (((Orders.CustomerID)= '" + id + "') AND ((Orders.OrderID) > 0))");
  };
  // Row sets of the same shape open at once do not disturb each other.
  auto a = count("ALFKI"), b = count("BONAP");
  long na = 0, nb = 0;
  for (; !a->eof() || !b->eof();) {
    if (!a->eof()) ++na, a->moveNext();
    if (!b->eof()) ++nb, b->moveNext();
  }
  EXPECT_EQ(na, perCustomer["ALFKI"]);
  EXPECT_EQ(nb, perCustomer["BONAP"]);
  for (const char* id : {"QUICK", "ALFKI", "WARTH"}) EXPECT_EQ(count(id)->recordCount(), perCustomer[id]) << id;
}

TEST(AccessSource, LargeSourcesLoadIntoATemporaryFileWithTheSameResults) {
  ScratchFolder dir;
  std::string file = copyFixture(dir, "nwind.mdb");
  run::AccessOptions onDisk;
  onDisk.memoryLimitBytes = 0;  // every source counts as large
  auto src = run::openAccessSource(file, onDisk);
  expectTableMatchesExport(*src, file, "Orders");
  auto rows = src->query("SELECT Count(*) AS n FROM [Order Details] WHERE Discount > 0");
  EXPECT_GT(rows->field("n").asInt(), 0);
}

// Bytes changed here and there in a real Jet 3 file (moved and deleted rows,
// long values): a table either comes back with every row mdb-export reads,
// or stops with a message naming it and its file. Damage to a row count, a
// page's owner or a usage map never makes rows vanish.
TEST(AccessSource, DamagedTablesStopTheReadInsteadOfLosingRows) {
  ScratchFolder dir;
  const std::string clean = copyFixture(dir, "nwind.mdb", "clean.mdb");
  std::map<std::string, long> rowCount;
  for (const char* t : {"Customers", "Orders", "Order Details", "Products", "Employees"})
    rowCount[t] = static_cast<long>(exportTable(clean, t).size()) - 1;
  int reported = 0;
  for (int seed = 1; seed <= 120; ++seed) {
    std::string noisy = copyFixture(dir, "nwind.mdb", "rows" + std::to_string(seed) + ".mdb");
    {
      std::fstream f(noisy, std::ios::in | std::ios::out | std::ios::binary);
      std::mt19937 rng(static_cast<unsigned>(seed) * 7919u);
      const long size = static_cast<long>(fs::file_size(noisy));
      for (int i = 0; i < 60; ++i) {
        f.seekp(0x80 + static_cast<long>(rng() % static_cast<unsigned>(size - 0x80)));
        f.put(static_cast<char>(rng()));
      }
    }
    std::unique_ptr<base::Source> src;
    try {
      src = run::openAccessSource(noisy);
    } catch (const base::SourceError&) {
      continue;
    }
    for (const auto& [table, expected] : rowCount) {
      long read = 0;
      try {
        auto rows = src->openTable(table);
        for (; !rows->eof(); rows->moveNext()) ++read;
      } catch (const base::SourceError& e) {
        ++reported;
        for (bool french : {true, false}) {
          const std::string message = e.text(french);
          EXPECT_NE(message.find(table), std::string::npos) << message;
          EXPECT_NE(message.find(noisy), std::string::npos) << message;
          EXPECT_NE(message.find(french ? "endommagée" : "beschadigd"), std::string::npos) << message;
        }
        continue;
      }
      EXPECT_EQ(read, expected) << "seed " << seed << ", table " << table;
    }
  }
  EXPECT_GT(reported, 0) << "no damaged table was reported";
}
