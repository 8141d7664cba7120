// Index keys: every key expression of the dossier templates compiled and
// evaluated on telling records, and tags kept current while records change.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "store/engine/engine_support.h"
#include "support/scratch_folder.h"
#include "store/engine/codepage.h"
#include "store/engine/expression.h"
#include "support/bilingual_print.h"

using enginetest::closeTable;
using enginetest::createTable;
using enginetest::layoutOf;
using enginetest::set;
using testing_support::ScratchFolder;

namespace {

std::string key(store::Table& t, const char* tag) {
  int i = t.tagIndex(tag);
  EXPECT_GE(i, 0) << tag;
  std::string k;
  EXPECT_TRUE(t.keyOf(size_t(i), t.recno(), k));
  return store::fromCp1252(k);
}

// A closed table of a template's layout, one record per value of `field`.
void writeRecords(const std::filesystem::path& file, const std::string& layout, const char* field,
                  const std::vector<const char*>& values) {
  auto t = createTable(file, layoutOf(layout));
  for (const char* value : values) {
    t->appendBlank();
    set(*t, field, value);
  }
  closeTable(t);
}

}  // namespace

TEST(EngineKeys, EveryTemplateKeyExpressionCompilesToItsKeyLength) {
  size_t tags = 0;
  for (const auto& def : store::templates::templateCatalog()) {
    store::TableLayout layout = layoutOf(def.name);
    for (const auto& tag : def.tags) {
      base::Bilingual error;
      auto e = store::Expression::compile(tag.keyExpr, layout.fields, error);
      ASSERT_TRUE(e) << def.name << "." << tag.name << ": " << error;
      EXPECT_EQ(e->type(), store::ValueType::Character) << def.name << "." << tag.name;
      EXPECT_EQ(e->width(), tag.keyLength) << def.name << "." << tag.name;
      ++tags;
    }
  }
  EXPECT_GE(tags, 45u);
}

TEST(EngineKeys, EntryKeysOnTellingRecords) {
  ScratchFolder dir;
  auto t = createTable(dir.path() / "ACT.DBF", layoutOf("ACT"));
  ASSERT_TRUE(t);
  // 1: a sales invoice line, negative amount, not matched.
  t->appendBlank();
  set(*t, "DOCTYPE", "1");
  set(*t, "DBKCODE", "VENTES");
  set(*t, "DBKTYPE", "2");
  set(*t, "DOCNUMBER", "12");
  set(*t, "DOCORDER", "001");
  set(*t, "OPCODE", "MAIN");
  set(*t, "ACCOUNTGL", "400000");
  set(*t, "ACCOUNTRP", "CLIENT1");
  set(*t, "BOOKYEAR", "1");
  set(*t, "PERIOD", "03");
  set(*t, "DATE", "20090305");
  set(*t, "AMOUNTEUR", "-1234.567");
  set(*t, "CURRAMOUNT", "-50");
  set(*t, "CURRCODE", "USD");
  set(*t, "COMMENTEXT", "+++090/1234/56789+++ é");
  set(*t, "ISMATCHED", "F");
  EXPECT_EQ(key(*t, "GL"), "400000  10320090305     1");
  EXPECT_EQ(key(*t, "GLCUSTSUPP"), "1CLIENT1   10320090305     1");
  EXPECT_EQ(key(*t, "AMOUNT"), "0          1234.57");
  EXPECT_EQ(key(*t, "CURRAMOUNT"), "0USD            50.00");
  EXPECT_EQ(key(*t, "ALL"), "1CLIENT1   20090305        20090305");
  EXPECT_EQ(key(*t, "OPEN"), key(*t, "ALL"));
  EXPECT_EQ(key(*t, "JNL"), "VENTES103      12001MAIN ");
  EXPECT_EQ(key(*t, "JNLACHVEN"), "VENTES103      12");
  EXPECT_EQ(key(*t, "JNLFINOD"), "VENTES103      12001     1");
  EXPECT_EQ(key(*t, "NUMFAC"), "       12VENTES     1");
  EXPECT_EQ(key(*t, "ISCURCS"), "1CLIENT1   ");
  EXPECT_EQ(key(*t, "ISCURGEN"), "400000  ");
  EXPECT_EQ(key(*t, "ISMAJOK"), std::string(16, ' '));  // has a DOCORDER
  EXPECT_EQ(key(*t, "VCS"), "+++090/1234/56789+++ é                  1");

  // 2: the same line matched, with a match number and old date, and no DOCORDER.
  t->appendBlank();
  set(*t, "DOCTYPE", "3");
  set(*t, "DBKCODE", "OPDIV");
  set(*t, "DBKTYPE", "5");
  set(*t, "DOCNUMBER", "ABC");  // val() of text is 0
  set(*t, "OPCODE", "MATCH");
  set(*t, "ACCOUNTGL", "550000");
  set(*t, "BOOKYEAR", "2");
  set(*t, "PERIOD", "12");
  set(*t, "DATE", "20091231");
  set(*t, "OLDDATE", "20090101");
  set(*t, "MATCHNO", "10000001");
  set(*t, "AMOUNTEUR", "99.995");
  set(*t, "ISMATCHED", "T");
  EXPECT_EQ(key(*t, "ALL"), "3550000    200901011000000120091231");
  EXPECT_EQ(key(*t, "OPEN"), std::string(35, ' '));  // matched
  EXPECT_EQ(key(*t, "AMOUNT"), "1           100.00");
  EXPECT_EQ(key(*t, "ISMAJOK"), "2MISSINGDOCORDER");
  EXPECT_EQ(key(*t, "JNLACHVEN"), std::string(17, ' '));  // journal type 5
  EXPECT_EQ(key(*t, "NUMFAC"), "*" + std::string(20, ' '));
  EXPECT_EQ(key(*t, "ISCURCS"), std::string(11, ' '));  // no currency
  EXPECT_EQ(key(*t, "JNL"), "OPDIV 212       0   MATCH");

  // 3: a carried-over line of REOPEN with a blank date: left out of the entry tags.
  t->appendBlank();
  set(*t, "DOCTYPE", "1");
  set(*t, "DBKCODE", "REOPEN");
  set(*t, "DBKTYPE", "5");
  set(*t, "ACCOUNTGL", "400000");
  set(*t, "AMOUNTEUR", "10");
  EXPECT_EQ(key(*t, "ALL"), std::string(35, ' '));
  EXPECT_EQ(key(*t, "AMOUNT"), "9             0.00");
  EXPECT_EQ(key(*t, "CURRAMOUNT"), "9                0.00");
  EXPECT_EQ(key(*t, "GL"), "400000  " + std::string(11, ' ') + "     3");  // blank date: 8 blanks
  EXPECT_EQ(key(*t, "ISMAJOK"), std::string(16, ' '));                      // REOPEN
  set(*t, "OPCODE", "MATCH");
  EXPECT_EQ(key(*t, "AMOUNT"), "0            10.00");  // REOPEN lines of matching count

  // Deleted: every tag falls back to its filler key.
  t->go(1);
  t->setDeleted(true);
  EXPECT_EQ(key(*t, "GL"), std::string(25, ' '));
  EXPECT_EQ(key(*t, "NUMFAC"), "*" + std::string(20, ' '));
  EXPECT_EQ(key(*t, "VCS"), std::string(41, ' '));
  closeTable(t);
  enginetest::expectIndexesAgree(dir.path() / "ACT.DBF", 14);
}

TEST(EngineKeys, MasterDataKeysUpperCaseAccentsAndLogicalFields) {
  ScratchFolder dir;
  auto csf = createTable(dir.path() / "CSF.DBF", layoutOf("CSF"));
  csf->appendBlank();
  set(*csf, "TYPE", "1");
  set(*csf, "NUMBER", "dupré");
  set(*csf, "NAME1", "Éric Dupré œuvre ÿ");
  set(*csf, "COUNTRY", "BE");
  set(*csf, "VATNUMBER", "0123456789");
  EXPECT_EQ(key(*csf, "NAME"), "1ÉRIC DUPRÉ ŒUVRE Ÿ                      ");
  EXPECT_EQ(key(*csf, "NUMBER"), "1DUPRÉ     ");
  EXPECT_EQ(key(*csf, "VAT"), "1BE0123456789       ");
  EXPECT_EQ(key(*csf, "BNKNUM"), std::string(15, ' '));
  EXPECT_EQ(key(*csf, "ARCHIVE"), std::string(12, ' '));
  set(*csf, "KSMODIFIED", "T");
  csf->setDeleted(true);
  EXPECT_EQ(key(*csf, "ARCHIVE"), "1dupré     D");
  closeTable(csf);

  auto acf = createTable(dir.path() / "ACF.DBF", layoutOf("ACF"));
  acf->appendBlank();
  set(*acf, "TYPE", "3");
  set(*acf, "NUMBER", "400000");
  set(*acf, "NAME11", "Clients");
  set(*acf, "CENTRALID", "CUST");
  set(*acf, "ISINBY1", "T");
  set(*acf, "ISINBY2", "F");
  EXPECT_EQ(key(*acf, "GLCENTRAL1"), "CUST   ");
  EXPECT_EQ(key(*acf, "GLCENTRAL2"), "       ");
  EXPECT_EQ(key(*acf, "GLNUMBER1"), "3400000  ");
  EXPECT_EQ(key(*acf, "GLNUMBER2"), std::string(9, ' '));
  EXPECT_EQ(key(*acf, "GLNAME11"), "3CLIENTS" + std::string(33, ' '));
  set(*acf, "TYPE", "9");
  EXPECT_EQ(key(*acf, "GLCENTRAL1"), "       ");  // heading accounts stay out
  closeTable(acf);

  auto dictree = createTable(dir.path() / "DICTREE.DBF", layoutOf("DICTREE"));
  dictree->appendBlank();
  set(*dictree, "PARENTKEY", "ROOT");
  set(*dictree, "PARENTNDX", "3");
  EXPECT_EQ(key(*dictree, "DICORDER"), "ROOT" + std::string(26, ' ') + "   3");
  closeTable(dictree);
}

TEST(EngineKeys, ExpressionSemantics) {
  std::vector<store::FieldDef> fields = {{"CODE", 'C', 6, 0, 1}, {"AMT", 'N', 10, 2, 7}, {"D_DOC", 'D', 8, 0, 17},
                                         {"FLAG", 'L', 1, 0, 25}};
  std::string rec = " AB    " + std::string("   -12.50") + " " + "20240131" + "T";
  ASSERT_EQ(rec.size(), 26u);
  store::RecordRef r{rec.data(), 7};
  auto text = [&](const char* src) {
    std::string out;
    base::Bilingual error;
    auto e = store::Expression::compile(src, fields, error);
    EXPECT_TRUE(e) << error;
    if (e) e->evalText(r, out);
    return store::fromCp1252(out);
  };
  auto logic = [&](const char* src) {
    base::Bilingual error;
    auto e = store::Expression::compile(src, fields, error);
    EXPECT_TRUE(e && e->type() == store::ValueType::Logical) << src << " " << error;
    return e && e->evalLogical(r);
  };
  // EXACT off: the right operand's length decides.
  EXPECT_TRUE(logic("code = 'AB'"));
  EXPECT_TRUE(logic("code = ''"));
  EXPECT_FALSE(logic("'AB' = code"));
  EXPECT_TRUE(logic("code <> 'ABC'"));
  EXPECT_FALSE(logic("code == 'AB'"));
  EXPECT_TRUE(logic("code = 'AB    '"));
  EXPECT_TRUE(logic("CODE = 'AB' AND FLAG"));
  EXPECT_TRUE(logic("Code = 'XX' or NOT (amt > 0)"));
  EXPECT_TRUE(logic("amt < 0 .and. -1*(amt) = 12.5 .and. flag = .T. .and. recno() = 7"));
  EXPECT_TRUE(logic(".not. empty(d_doc) .and. empty(space(3)) .and. empty(0)"));
  EXPECT_EQ(text("str(amt,10,2)"), "    -12.50");
  EXPECT_EQ(text("str(12345.678,5,2)"), "12346");     // decimals give way first
  EXPECT_EQ(text("str(123456,5)"), "*****");          // then the whole width
  EXPECT_EQ(text("str(2.5)"), "         3");          // rounds half away from zero
  EXPECT_EQ(text("str(val(' 42.7xyz'),6,1)"), "  42.7");
  EXPECT_EQ(text("str(val('abc'),3)"), "  0");
  EXPECT_EQ(text("dtos(d_doc)+upper('àbç')"), "20240131ÀBÇ");
  EXPECT_EQ(text("lower('ÀÞ×') + upper('àþ÷')"), "àþ×ÀÞ÷");  // the signs have no case
  EXPECT_EQ(text("iif(flag,'Y','N')+space(2)+'|'"), "Y  |");
  EXPECT_EQ(text("code - '|'"), "AB|    ");  // "-" moves the left part's trailing blanks to the end
  EXPECT_EQ(text("alias.code + dtos(act->d_doc)"), "AB    20240131");

  const char* bad[] = {"",         "iif(",           "code = ",      "nofield",        "upper(amt)",
                       "iif(.t.,'a',1)", "code + 1", "'unterminated", "str(amt,",    "code = 'a' .and.",
                       "foo(code)", "((code)",         "code )",        "amt .and. flag", "@"};
  for (const char* b : bad) {
    base::Bilingual error;
    EXPECT_FALSE(store::Expression::compile(b, fields, error)) << b;
    EXPECT_NE(error.french.find(std::string("\"") + b + "\""), std::string::npos) << error;
  }
  // Nesting far beyond any real expression is refused, not a stack overflow.
  base::Bilingual error;
  EXPECT_FALSE(store::Expression::compile(std::string(100000, '(') + "1", fields, error));
  EXPECT_FALSE(store::Expression::compile(std::string(100000, '-') + "1", fields, error));
  EXPECT_TRUE(store::Expression::compile(std::string(50, '(') + "amt" + std::string(50, ')') + " > 0", fields, error))
      << error;
}

// Numbers far outside any width or date: a constant out of range is refused
// when compiling, a computed one gives a defined result (blank date, widths
// brought into range), never an arbitrary one.
TEST(EngineKeys, ExtremeNumbersGiveErrorsOrDefinedResults) {
  std::vector<store::FieldDef> fields = {{"AMT", 'N', 10, 2, 1}, {"D", 'D', 8, 0, 11}};
  std::string rec = std::string(" ") + "    -12.50" + "20240131";
  store::RecordRef r{rec.data(), 1};
  const std::string huge(400, '9');  // beyond the largest double: infinity
  for (const std::string& bad : std::vector<std::string>{"space(2147483647)", "space(-1)", "str(amt, 4294967296)", "str(amt, 0)",
                          "str(amt, 10, 99)", "space(" + huge + ")", "space(40000) + space(40000)"}) {
    base::Bilingual error;
    EXPECT_FALSE(store::Expression::compile(bad, fields, error)) << bad;
    EXPECT_NE(error.french.find("hors de"), std::string::npos) << bad << ": " << error;
  }
  std::string chain = "amt";
  for (int i = 0; i < 2000; ++i) chain += "+amt";
  base::Bilingual error;
  EXPECT_FALSE(store::Expression::compile(chain, fields, error));
  EXPECT_NE(error.french.find("trop longue"), std::string::npos) << error;

  auto eval = [&](const std::string& src) {
    base::Bilingual err;
    auto e = store::Expression::compile(src, fields, err);
    EXPECT_TRUE(e) << src << ": " << err;
    return e;
  };
  EXPECT_EQ(eval("d + " + huge)->evalDate(r), 0);
  EXPECT_EQ(eval("d - 2147483648")->evalDate(r), 0);
  EXPECT_EQ(eval("d - 2460341")->evalDate(r), 0);  // the day before the calendar starts
  EXPECT_EQ(eval("(d + 1.9) - d")->evalNumber(r), 1);
  std::string out;
  eval("dtos(d + 29)")->evalText(r, out);
  EXPECT_EQ(out, "20240229");
  out.clear();
  eval("str(amt, amt * " + huge + ")")->evalText(r, out);
  EXPECT_EQ(out, "       -13");  // a computed width below 1 takes the default
  out.clear();
  eval("space(-amt * " + huge + ")")->evalText(r, out);
  EXPECT_EQ(out.size(), 65535u);
}

TEST(EngineKeys, UniqueDescendingAndFilteredTagsInTheWrittenIndex) {
  ScratchFolder dir;
  auto file = dir.path() / "CUR.DBF";
  auto t = createTable(file, layoutOf("CURRENCY"));
  const char* rows[][2] = {{"EUR", "19990101"}, {"USD", ""}, {"EUR", "20010101"}, {"BEF", "19990101"}};
  for (auto& r : rows) {
    t->appendBlank();
    set(*t, "CURRENCYID", r[0]);
    set(*t, "RATE_DATE", r[1]);
  }
  base::Bilingual error;
  ASSERT_TRUE(t->addTag({"NOTUSD", "CURRENCYID", "CURRENCYID <> 'USD'", false, false}, error)) << error;
  EXPECT_EQ(t->computeKeys(size_t(t->tagIndex("NOTUSD"))).count(), 3u);
  auto id = t->computeKeys(size_t(t->tagIndex("ID")));
  ASSERT_EQ(id.count(), 3u);  // unique: the second EUR is left out
  EXPECT_EQ(id.key(0), "BEF");
  EXPECT_EQ(id.recnos[1], 1u);
  auto rate = t->computeKeys(size_t(t->tagIndex("RATE")));
  ASSERT_EQ(rate.count(), 4u);
  EXPECT_EQ(rate.key(0), "USD        ");  // descending
  EXPECT_EQ(rate.key(1), "EUR20010101");
  EXPECT_EQ(rate.key(3), "BEF19990101");
  EXPECT_EQ(t->seek(size_t(t->tagIndex("RATE")), "EUR"), 3u);  // the newest rate first
  EXPECT_EQ(t->seek(size_t(t->tagIndex("RATE")), "BEF"), 4u);
  // Deleting the first EUR lets the second one take its place in the unique tag.
  t->go(1);
  t->setDeleted(true);
  EXPECT_EQ(t->seek(size_t(t->tagIndex("ID")), "EUR"), 3u);
  closeTable(t);
  enginetest::expectIndexesAgree(file, 3);
}

// Numeric and date keys are not character keys: the checker reads each tag with
// the key type its expression gives, so a sound index of such tags passes.
TEST(EngineKeys, CheckerReadsNumericAndDateTagsByTheirType) {
  ScratchFolder dir;
  auto file = dir.path() / "AMOUNTS.DBF";
  store::TableLayout layout;
  layout.fields = {{"AMT", 'N', 10, 2, 0}, {"DAY", 'D', 8, 0, 0}, {"CODE", 'C', 4, 0, 0}};
  layout.tags = {{"AMT", "AMT", "", false, false}, {"DAY", "DAY", "", false, true}, {"CODE", "CODE", "", false, false}};
  layout.codePage = 0x03;
  auto t = createTable(file, layout);
  const char* rows[][3] = {{"-12.50", "20240131", "B"}, {"7", "", "A"}, {"0", "19991231", "C"}};
  for (auto& r : rows) {
    t->appendBlank();
    set(*t, "AMT", r[0]);
    set(*t, "DAY", r[1]);
    set(*t, "CODE", r[2]);
  }
  closeTable(t);
  enginetest::expectIndexesAgree(file, 3);
}

// Appends, replaces and deletes interleaved with seeks, as the conversion
// steps do; every seek is checked against a scan of the records.
TEST(EngineKeys, TagsStayCurrentThroughInterleavedChanges) {
  ScratchFolder dir;
  auto file = dir.path() / "ACT.DBF";
  auto t = createTable(file, layoutOf("ACT"));
  std::mt19937 rng(7);
  auto account = [&] { return std::to_string(400000 + rng() % 40); };
  const size_t gl = size_t(t->tagIndex("GL"));
  const size_t numfac = size_t(t->tagIndex("NUMFAC"));
  const size_t iscurgen = size_t(t->tagIndex("ISCURGEN"));
  for (int step = 0; step < 5000; ++step) {
    int op = int(rng() % 10);
    if (op < 6 || t->recordCount() == 0) {
      t->appendBlank();
      set(*t, "ACCOUNTGL", account());
      set(*t, "DBKCODE", rng() % 5 ? "VENTES" : "REOPEN");
      set(*t, "DBKTYPE", std::to_string(rng() % 6));
      set(*t, "DOCNUMBER", std::to_string(rng() % 50));
      set(*t, "CURRCODE", rng() % 3 ? "" : "USD");
      set(*t, "DATE", "2009" + std::string(rng() % 2 ? "01" : "12") + "15");
    } else if (op < 8) {
      t->go(1 + uint32_t(rng() % t->recordCount()));
      set(*t, "ACCOUNTGL", account());
      set(*t, "CURRCODE", rng() % 2 ? "" : "EUR");
    } else if (op < 9) {
      t->go(1 + uint32_t(rng() % t->recordCount()));
      t->setDeleted(rng() % 4 != 0);
    } else {
      std::string want = account();
      uint32_t found = t->seek(gl, want);
      // The first record in GL order with that account: lowest date, then record.
      uint32_t best = 0;
      std::string bestKey, k;
      for (uint32_t r = 1; r <= t->recordCount(); ++r) {
        t->keyOf(gl, r, k);
        if (k.compare(0, want.size(), want) == 0 && (best == 0 || k < bestKey)) best = r, bestKey = k;
      }
      ASSERT_EQ(found, best) << "step " << step << " seek " << want;
      uint32_t unique = t->seek(iscurgen, want);
      uint32_t first = 0;
      for (uint32_t r = 1; r <= t->recordCount() && !first; ++r)
        if (t->keyOf(iscurgen, r, k) && k.compare(0, want.size(), want) == 0) first = r;
      ASSERT_EQ(unique, first) << "step " << step;
    }
  }
  // Walking a tag visits its keys in order.
  // Walking a unique tag visits its keys in order, backwards the same records reversed.
  std::string prev, k;
  std::vector<uint32_t> forward, backward;
  for (uint32_t r = t->firstInOrder(numfac); r; r = t->nextInOrder(numfac, r)) {
    t->keyOf(numfac, r, k);
    EXPECT_LE(prev, k);
    prev = k;
    forward.push_back(r);
  }
  EXPECT_EQ(forward.size(), t->computeKeys(numfac).count());
  for (uint32_t r = forward.back(); r; r = t->previousInOrder(numfac, r)) backward.insert(backward.begin(), r);
  EXPECT_EQ(backward, forward);
  closeTable(t);
  enginetest::expectIndexesAgree(file, 14);

  // Reopened, changed again, closed: still in agreement.
  base::Bilingual error;
  t = store::Table::open(file, error);
  ASSERT_TRUE(t) << error;
  t->seek(gl, "400001");
  t->go(5);
  set(*t, "ACCOUNTGL", "999999");
  t->appendBlank();
  set(*t, "ACCOUNTGL", "100000");
  EXPECT_EQ(t->seek(gl, "999999"), 5u);
  closeTable(t);
  enginetest::expectIndexesAgree(file, 14);
}

// Every template table written with accented text, a deleted record and a
// blank one: the index read back from disk agrees with the records.
TEST(EngineKeys, EveryTemplateTableWritesAnIndexThatAgrees) {
  ScratchFolder dir;
  for (const auto& def : store::templates::templateCatalog()) {
    if (def.tags.empty()) continue;
    auto file = dir.path() / ("VIDE_" + def.name + ".DBF");
    auto t = createTable(file, layoutOf(def.name));
    ASSERT_TRUE(t) << def.name;
    for (int row = 0; row < 4; ++row) {
      t->appendBlank();
      if (row == 3) break;  // a blank record
      for (size_t f = 0; f < t->fields().size(); ++f) {
        const store::FieldDef& fd = t->fields()[f];
        switch (fd.type) {
          case 'C': t->setText(int(f), row == 1 ? "zèbre" : "Écu " + std::to_string(row)); break;
          case 'N': t->setNumber(int(f), row == 1 ? -3.25 : 7); break;
          case 'D': t->setDate(int(f), store::julianDay(2009, 1 + row, 15)); break;
          case 'L': t->setLogical(int(f), row != 1); break;
          default: t->setText(int(f), "mémo"); break;
        }
      }
      if (row == 2) t->setDeleted(true);
    }
    closeTable(t);
    enginetest::expectIndexesAgree(file, def.tags.size());
  }
}

// The checker notices an index that no longer matches the records.
TEST(EngineKeys, CheckerReportsIndexesThatDisagree) {
  ScratchFolder dir;
  auto file = dir.path() / "VIDE_PARAM.DBF";
  writeRecords(file, "PARAM", "ID", {"Alpha", "Beta", "Gamma"});
  enginetest::expectIndexesAgree(file, 1);
  std::string dbf = testing_support::readText(file);
  const std::string good = dbf;
  size_t at = dbf.find("Beta");
  ASSERT_NE(at, std::string::npos);
  dbf[at] = 'Z';  // the record changes behind the index's back
  testing_support::writeText(file, dbf);
  auto checks = store::checkIndexes(file);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_FALSE(checks[0].ok);
  EXPECT_EQ(checks[0].tag, "ID");
  EXPECT_EQ(checks[0].keyCount, 3u);
  EXPECT_NE(checks[0].problem.french.find("le fichier a \"BETA "), std::string::npos) << checks[0].problem;

  testing_support::writeText(file, good);
  auto cdx = dir.path() / "VIDE_PARAM.CDX";
  std::string bytes = testing_support::readText(cdx);
  // A tag with more keys than the table has records.
  std::vector<store::cdx::TagSpec> tagSpecs;
  base::Bilingual error;
  ASSERT_TRUE(store::cdx::readCdxSpecs(cdx, tagSpecs, error)) << error;
  store::cdx::TagKeys extra;
  extra.info = tagSpecs[0];
  for (uint32_t r = 1; r <= 4; ++r) {
    extra.keyBytes += std::string(tagSpecs[0].keyLength, char('A' + r));
    extra.recnos.push_back(r);
  }
  ASSERT_TRUE(store::cdx::writeCdx(cdx, {extra}, error)) << error;
  checks = store::checkIndexes(file);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_FALSE(checks[0].ok);
  EXPECT_NE(checks[0].problem.french.find("plus de clés que la table n'a d'enregistrements"), std::string::npos)
      << checks[0].problem;

  testing_support::writeText(cdx, bytes.substr(0, 1500));
  checks = store::checkIndexes(file);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_FALSE(checks[0].ok);
  EXPECT_FALSE(checks[0].problem.empty());
}

// Keys this process wrote are checked by digest, not computed again; a key
// changed in the file afterwards, the records unchanged, still fails its tag
// (and only its tag), with the key-by-key message.
TEST(EngineKeys, KeysWrittenHereAreRecognisedAndAChangedOneIsStillFound) {
  ScratchFolder dir;
  auto file = dir.path() / "VIDE_ACT.DBF";
  writeRecords(file, "ACT", "ACCOUNTGL", {"400000", "550000", "600000"});
  const size_t tagCount = layoutOf("ACT").tags.size();
  auto checks = store::checkIndexes(file);
  ASSERT_EQ(checks.size(), tagCount);
  for (const auto& c : checks) EXPECT_TRUE(c.ok && c.fromWrite) << c.tag << ": " << c.problem;

  base::Bilingual error;
  std::vector<store::cdx::TagSpec> types;
  {
    auto t = store::Table::open(file, error, store::Table::OpenMode::ReadOnly);
    ASSERT_TRUE(t) << error;
    for (const auto& def : layoutOf("ACT").tags) ASSERT_TRUE(t->addTag(def, error)) << error;
    for (size_t i = 0; i < t->tagCount(); ++i) types.push_back(t->tagSpec(i));
  }
  const auto cdx = dir.path() / "VIDE_ACT.CDX";
  std::vector<store::cdx::TagKeys> tags;
  ASSERT_TRUE(store::cdx::readCdxKeys(cdx, tags, error, 3, types)) << error;
  auto gl = std::find_if(tags.begin(), tags.end(), [](const auto& t) { return t.info.name == "GL"; });
  ASSERT_NE(gl, tags.end());
  const size_t at = gl->keyBytes.find("550000");
  ASSERT_NE(at, std::string::npos);
  gl->keyBytes[at + 5] = '1';  // still in order, one key wrong
  ASSERT_TRUE(store::cdx::writeCdx(cdx, tags, error)) << error;
  checks = store::checkIndexes(file);
  ASSERT_EQ(checks.size(), tagCount);
  for (const auto& c : checks) {
    EXPECT_EQ(c.ok, c.tag != "GL") << c.tag;
    EXPECT_EQ(c.fromWrite, c.tag != "GL") << c.tag;
  }
  auto failed = std::find_if(checks.begin(), checks.end(), [](const auto& c) { return c.tag == "GL"; });
  ASSERT_NE(failed, checks.end());
  EXPECT_NE(failed->problem.french.find("le fichier a \"550001"), std::string::npos) << failed->problem;
}

// A deferred index stays as it was through closes of a changed table, is
// written once from the records when asked, and is never written for a table
// given up; a table not deferred is indexed at every close as before.
TEST(EngineKeys, DeferredIndexIsWrittenOnceWhenAsked) {
  ScratchFolder dir;
  auto file = dir.path() / "VIDE_PARAM.DBF";
  auto t = createTable(file, layoutOf("PARAM"));
  closeTable(t);
  const auto cdx = dir.path() / "VIDE_PARAM.CDX";
  const std::string empty = testing_support::readText(cdx);
  auto append = [&](std::vector<const char*> ids) {
    base::Bilingual error;
    auto table = store::Table::open(file, error);
    ASSERT_TRUE(table) << error;
    for (const char* id : ids) {
      table->appendBlank();
      set(*table, "ID", id);
    }
    closeTable(table);
  };

  store::Table::deferIndex(dir.path() / "vide_param.dbf");  // any letter case
  append({"Alpha", "Beta"});
  append({"Gamma"});
  EXPECT_EQ(testing_support::readText(cdx), empty);
  auto checks = store::checkIndexes(file);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_FALSE(checks[0].ok);
  base::Bilingual error;
  {
    // Written while the records are read elsewhere, as a finished dossier's are.
    auto reader = store::Table::open(file, error, store::Table::OpenMode::ReadOnly);
    ASSERT_TRUE(reader) << error;
    ASSERT_TRUE(store::Table::writeDeferredIndex(file, error)) << error;
    EXPECT_EQ(reader->recordCount(), 3u);
  }
  enginetest::expectIndexesAgree(file, 1);
  // The deferral ended with the write: the next close indexes again.
  append({"Delta"});
  enginetest::expectIndexesAgree(file, 1);

  store::Table::deferIndex(file);
  append({"Epsilon"});
  store::Table::dropDeferredIndex(file);
  EXPECT_FALSE(store::checkIndexes(file)[0].ok);
  ASSERT_TRUE(store::Table::writeDeferredIndex(file, error));  // nothing deferred: nothing written
  EXPECT_FALSE(store::checkIndexes(file)[0].ok);
}

// A table large enough to have its tags computed by two workers and written
// as each is ready: every tag lands under its own header, in order, including
// one kept current while the table was open (a seek built it, then records
// changed) beside those computed at the close.
TEST(EngineKeys, LargeTableWritesEveryTagInItsPlace) {
  ScratchFolder dir;
  auto file = dir.path() / "VIDE_ACT.DBF";
  auto t = createTable(file, layoutOf("ACT"));
  static const char* journals[] = {"VENTES", "ACHATS", "BANK1", "REOPEN"};
  const uint32_t records = 50000;
  for (uint32_t r = 1; r <= records; ++r) {
    t->appendBlank();
    set(*t, "DOCTYPE", std::to_string(1 + r % 3));
    set(*t, "DBKCODE", journals[r % 4]);
    set(*t, "DBKTYPE", std::to_string(r % 5));
    set(*t, "DOCNUMBER", std::to_string(r / 4));
    set(*t, "ACCOUNTGL", std::to_string(400000 + r * 7919 % 3000));
    set(*t, "ACCOUNTRP", "C" + std::to_string(r % 977));
    set(*t, "AMOUNTEUR", std::to_string(int(r * 37 % 2001) - 1000));
    set(*t, "CURRCODE", r % 9 == 0 ? "USD" : "");
    set(*t, "COMMENTEXT", r % 5 == 0 ? "+++" + std::to_string(r % 1000) + "+++" : "");
    if (r == records / 2) ASSERT_NE(t->seek(size_t(t->tagIndex("GL")), "4"), 0u);
  }
  for (uint32_t r = 1; r <= records; r += 101) {
    ASSERT_TRUE(t->go(r));
    set(*t, "ACCOUNTGL", "100000");
    if (r % 2) t->setDeleted(true);
  }
  closeTable(t);
  enginetest::expectIndexesAgree(file, layoutOf("ACT").tags.size());
  base::Bilingual error;
  auto back = store::Table::open(file, error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->seek(size_t(back->tagIndex("GL")), "100000"), 102u);  // the first changed record still live

  // A record changed behind the index's back: the check, which computes the
  // keys of the next tag on a second thread while it compares one, fails
  // exactly the tags whose key of that record changed.
  std::vector<std::string> before(back->tagCount()), after(back->tagCount());
  for (size_t i = 0; i < back->tagCount(); ++i) back->keyOf(i, 3, before[i]);
  ASSERT_TRUE(back->go(3));
  set(*back, "ACCOUNTGL", "999999");
  for (size_t i = 0; i < back->tagCount(); ++i) back->keyOf(i, 3, after[i]);
  store::Table::deferIndex(file);
  closeTable(back);
  store::Table::dropDeferredIndex(file);
  const auto checks = store::checkIndexes(file);
  ASSERT_EQ(checks.size(), before.size());
  size_t failed = 0;
  auto reread = store::Table::open(file, error);
  ASSERT_TRUE(reread) << error;
  for (size_t i = 0; i < checks.size(); ++i) {
    const int tag = reread->tagIndex(checks[i].tag);
    ASSERT_GE(tag, 0) << checks[i].tag;
    EXPECT_EQ(checks[i].ok, before[size_t(tag)] == after[size_t(tag)]) << checks[i].tag;
    failed += !checks[i].ok;
  }
  EXPECT_GT(failed, 0u);
  EXPECT_LT(failed, checks.size());
}

// The check reads and compares one tag at a time; a tag damaged after tags
// that agree still fails the file as a whole, naming the damaged tag.
TEST(EngineKeys, CheckerNamesADamagedTagAmongGoodOnes) {
  ScratchFolder dir;
  auto file = dir.path() / "VIDE_ACT.DBF";
  writeRecords(file, "ACT", "ACCOUNTGL", {"400000", "550000", "600000"});
  const auto cdx = dir.path() / "VIDE_ACT.CDX";
  std::vector<store::cdx::TagSpec> tags;
  base::Bilingual error;
  ASSERT_TRUE(store::cdx::readCdxSpecs(cdx, tags, error)) << error;
  ASSERT_EQ(tags[3].name, "GL");
  std::string bytes = testing_support::readText(cdx);
  // Tag headers of 1024 bytes follow the file header and the directory's page,
  // each beginning with its tree's root; the root loses its node type.
  const size_t header = 1024 + 512 + 3 * 1024;
  const size_t root = uint8_t(bytes[header]) | uint8_t(bytes[header + 1]) << 8 | uint8_t(bytes[header + 2]) << 16;
  ASSERT_LT(root + 1, bytes.size());
  bytes[root] = 7;
  testing_support::writeText(cdx, bytes);
  auto checks = store::checkIndexes(file);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_FALSE(checks[0].ok);
  EXPECT_EQ(checks[0].tag, "");
  EXPECT_NE(checks[0].problem.french.find("tag GL, page " + std::to_string(root)), std::string::npos)
      << checks[0].problem;
}
