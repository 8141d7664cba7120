// The sx_ calls as the conversion steps and the two-year merge use them.
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "store/engine/engine_support.h"
#include "support/scratch_folder.h"
#include "store/engine/sx.h"
#include "support/bilingual_print.h"

using enginetest::closeTable;
using enginetest::createTable;
using enginetest::layoutOf;
using enginetest::set;
using namespace store;
using testing_support::ScratchFolder;

namespace {

class SxCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    sx_SetDateFormat(3);
    sx_SetCentury(-1);
    sx_SetEpoch(1960);
    sx_CloseAll();
  }
  void TearDown() override { sx_CloseAll(); }
  // An empty dossier table made from its template, named as a step names it.
  std::string table(const std::string& templ, const std::string& suffix) {
    auto file = dir.path() / ("VIDE" + suffix);
    auto t = createTable(file, layoutOf(templ));
    closeTable(t);
    return file.string();
  }
  ScratchFolder dir;
};

}  // namespace

TEST_F(SxCalls, DatesLogicalsNumbersAndTextAsTheStepsPassThem) {
  std::string file = table("ACT", "_ACT.DBF");
  int16_t area = sx_Use(file, "ACT", 2, 2);
  ASSERT_NE(area, 0) << sx_LastError();
  sx_AppendBlank();
  sx_Replace("date", SX_DATE_TEXT, std::string("05/01/2009"));
  sx_Replace("DATEDOC", SX_DATE_TEXT, std::string("31/12/59"));
  sx_Replace("DUEDATE", SX_DATE_TEXT, std::string("01/02/60"));
  sx_Replace("OLDDATE", SX_DATE_TEXT, std::string("31/02/2009"));  // no such day: left blank
  sx_Replace("ISMATCHED", SX_LOGICAL, int32_t(-1));
  sx_Replace("ISLOCKED", SX_TEXT, std::string("TRUE"));
  sx_Replace("ISIMPORTED", SX_TEXT, std::string("True"));
  sx_Replace("ISPOSITIVE", SX_LOGICAL, int32_t(0));
  sx_Replace("AMOUNTEUR", SX_DOUBLE, -1234.5678);
  sx_Replace("CURRATE", SX_DOUBLE, 40.3399);
  sx_Replace("COMMENT", SX_TEXT, std::string("Facture n° 12 — été ") + std::string(40, 'x'));
  sx_Replace("nosuchfield", SX_TEXT, std::string("x"));
  EXPECT_NE(sx_LastError().french.find("nosuchfield"), std::string::npos);
  sx_Commit();
  EXPECT_EQ(sx_GetString("DATE"), "05/01/2009");
  EXPECT_EQ(sx_GetString("DATEDOC"), "31/12/2059");
  EXPECT_EQ(sx_GetString("DUEDATE"), "01/02/1960");
  EXPECT_EQ(sx_GetString("OLDDATE"), std::string(10, ' '));
  EXPECT_EQ(sx_GetString("ISMATCHED"), "T");
  EXPECT_EQ(sx_GetString("ISLOCKED"), "T");
  EXPECT_EQ(sx_GetString("isimported"), "T");
  EXPECT_EQ(sx_GetString("ISPOSITIVE"), "F");
  EXPECT_EQ(sx_GetString("ISTEMP"), " ");
  EXPECT_DOUBLE_EQ(sx_GetDouble("AMOUNTEUR"), -1234.568);
  EXPECT_EQ(sx_GetString("AMOUNTEUR"), "        -1234.568");
  EXPECT_EQ(sx_GetString("CURRATE"), "    40.33990");
  // Cut to 40 characters, padding kept when shorter.
  EXPECT_EQ(sx_GetString("COMMENT"), "Facture n° 12 — été xxxxxxxxxxxxxxxxxxxx");
  EXPECT_EQ(sx_GetString("DBKCODE"), "      ");
  EXPECT_EQ(sx_RecNo(), 1);
  EXPECT_TRUE(sx_Rlock(1));
  EXPECT_FALSE(sx_Rlock(2));
  sx_Unlock(1);
  sx_Close();
  enginetest::expectIndexesAgree(file, 14);
}

// Each thread has an engine of its own (two book years convert side by
// side): its areas, current area, date settings and last error.
TEST_F(SxCalls, EachThreadHasItsOwnAreasSettingsAndLastError) {
  const std::string act = table("ACT", "_ACT.DBF"), dbk = table("DBK_01", "_DBK_01.DBF");
  const int16_t mine = sx_Use(act, "ACT", 2, 2);
  ASSERT_NE(mine, 0) << sx_LastError();
  sx_AppendBlank();
  sx_Replace("DATE", SX_DATE_TEXT, std::string("05/01/2009"));
  sx_Replace("nosuchfield", SX_TEXT, std::string("x"));
  sx_Commit();
  int16_t theirs = 0;
  int32_t theirCount = -1;
  base::Bilingual theirError;
  std::thread([&] {
    theirCount = sx_QueryRecCount();  // no table chosen on this thread
    theirError = sx_LastError();
    sx_SetCentury(0);
    theirs = sx_Use(dbk, "DBK", 2, 2);
    sx_CloseAll();
  }).join();
  EXPECT_EQ(theirCount, 0);
  EXPECT_EQ(theirError.french, "aucune table choisie");
  EXPECT_EQ(theirs, mine) << "areas are numbered per thread";
  EXPECT_NE(sx_LastError().french.find("nosuchfield"), std::string::npos);
  EXPECT_EQ(sx_GetString("DATE"), "05/01/2009") << "still open, current, four-digit years";
  EXPECT_EQ(sx_QueryRecCount(), 1);
}

TEST_F(SxCalls, UseIsExclusiveCaseBlindAndRefusesDamagedTables) {
  std::string file = table("DBK_01", "_DBK_01.DBF");
  std::string lower = (dir.path() / "VIDE_dbk_01.DBF").string();
  int16_t a = sx_Use(lower, "DBK", 2, 2);
  ASSERT_NE(a, 0) << sx_LastError();
  EXPECT_EQ(sx_Use(file, "DBK2", 2, 2), 0);
  EXPECT_FALSE(sx_LastError().empty());
  sx_Close();
  EXPECT_EQ(sx_Use((dir.path() / "VIDE_NONE.DBF").string(), "X", 2, 2), 0);
  EXPECT_NE(sx_LastError().french.find("VIDE_NONE.DBF"), std::string::npos);
  // A truncated table: area 0, a reason, and the file as it was.
  auto bytes = testing_support::readText(file);
  testing_support::writeText(file, bytes.substr(0, 100));
  EXPECT_EQ(sx_Use(file, "DBK", 2, 2), 0);
  EXPECT_NE(sx_LastError().french.find("DBK_01"), std::string::npos);
  EXPECT_EQ(testing_support::readText(file).size(), 100u);
}

TEST_F(SxCalls, SeekFoundAndWalkingATag) {
  std::string file = table("PARAM", "_PARAM.DBF");
  ASSERT_NE(sx_Use(file, "PARAM", 2, 2), 0);
  const char* ids[] = {"Socname", "bookyear1.longlabel", "BOOKYEARCOUNT", "AccountPicture"};
  for (const char* id : ids) {
    sx_AppendBlank();
    sx_Replace("ID", SX_TEXT, std::string(id));
    sx_Replace("VALUE", SX_TEXT, std::string("v:") + id);
  }
  int16_t order = sx_TagArea("ID");
  ASSERT_EQ(order, 1);
  EXPECT_EQ(sx_TagArea("NOPE"), 0);
  sx_SetOrder(order);
  EXPECT_TRUE(sx_Seek("BOOKYEAR1.LONGLABEL"));
  EXPECT_TRUE(sx_Found());
  EXPECT_EQ(sx_RecNo(), 2);
  EXPECT_EQ(sx_GetString("VALUE").substr(0, 21), "v:bookyear1.longlabel");
  sx_Replace("VALUE", SX_TEXT, std::string("Exercice 2009"));
  EXPECT_TRUE(sx_Seek("BOOKYEAR"));  // a shorter key finds the first that starts with it
  EXPECT_EQ(sx_RecNo(), 2);
  EXPECT_FALSE(sx_Seek("MISSING"));
  EXPECT_FALSE(sx_Found());
  EXPECT_TRUE(sx_Eof());
  EXPECT_EQ(sx_GetString("ID"), std::string(25, ' '));  // past the end: a blank record
  // Tag order: ACCOUNTPICTURE, BOOKYEAR1..., BOOKYEARCOUNT, SOCNAME.
  std::vector<int32_t> seen;
  for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) seen.push_back(sx_RecNo());
  EXPECT_EQ(seen, (std::vector<int32_t>{4, 2, 3, 1}));
  sx_Seek("SOCNAME");
  sx_Skip(-2);
  EXPECT_EQ(sx_RecNo(), 2);
  sx_Skip(-5);
  EXPECT_EQ(sx_RecNo(), 4);
  sx_SetOrder(0);
  seen.clear();
  for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) seen.push_back(sx_RecNo());
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(sx_QueryRecCount(), 4);
  // Locate takes the first match in the current order, then continues from there.
  sx_SetOrder(order);
  sx_GoTop();
  EXPECT_EQ(sx_Locate("VALUE = 'v:' AND .NOT. ID = 'Soc'", 0, 0), 4);
  EXPECT_EQ(sx_Locate("VALUE = 'v:' AND .NOT. ID = 'Soc'", 0, 1), 3);
  sx_CloseAll();
  enginetest::expectIndexesAgree(file, 1);
}

TEST_F(SxCalls, CustomerTableUsesItsCdxDespiteAZeroFlagsByte) {
  std::string file = table("CSF", "_CSF.DBF");
  EXPECT_EQ(testing_support::readText(file)[28], '\0');
  ASSERT_NE(sx_Use(file, "CSF", 2, 2), 0);
  sx_AppendBlank();
  sx_Replace("TYPE", SX_TEXT, std::string("1"));
  sx_Replace("NUMBER", SX_TEXT, std::string("dupont"));
  sx_Close();
  ASSERT_NE(sx_Use(file, "CSF", 2, 2), 0);
  sx_SetOrder(sx_TagArea("NUMBER"));
  EXPECT_TRUE(sx_Seek("1DUPONT"));
  sx_Close();
  enginetest::expectIndexesAgree(file, 5);
}

TEST_F(SxCalls, LocateAfterClosingIndexesAndTheIndexStillAgrees) {
  std::string file = table("ACF", "_ACF.DBF");
  ASSERT_NE(sx_Use(file, "ACF", 2, 2), 0);
  sx_CloseIndexes();
  EXPECT_EQ(sx_TagArea("GLNUMBER1"), 0);
  const char* rows[][2] = {{"9", "40"}, {"3", "400000"}, {"3", "400001"}, {"9", "400000"}};
  for (auto& r : rows) {
    sx_AppendBlank();
    sx_Replace("TYPE", SX_TEXT, std::string(r[0]));
    sx_Replace("NUMBER", SX_TEXT, std::string(r[1]));
    sx_Replace("ISINBY1", SX_TEXT, std::string("TRUE"));
    sx_Commit();
  }
  sx_GoTop();
  EXPECT_EQ(sx_Locate("NUMBER = '400000' AND TYPE = '3'", 0, 0), 2);
  EXPECT_EQ(sx_RecNo(), 2);
  sx_GoTop();
  EXPECT_EQ(sx_Locate("NUMBER = '400000' AND TYPE = '9'", 0, 0), 4);
  sx_GoTop();
  EXPECT_EQ(sx_Locate("NUMBER = '999999' AND TYPE = '3'", 0, 0), 0);
  EXPECT_TRUE(sx_Eof());
  sx_GoTop();
  EXPECT_EQ(sx_Locate("NUMBER = = '1'", 0, 0), 0);  // malformed: no match, a reason
  EXPECT_NE(sx_LastError().french.find("NUMBER = = '1'"), std::string::npos);
  sx_CloseAll();
  enginetest::expectIndexesAgree(file, 6);
}

TEST_F(SxCalls, CopyFileThenAppendFromTakesLiveRecordsFieldByName) {
  std::string act1 = table("ACT", "_ACT1.DBF");
  std::string act2 = table("ACT", "_ACT2.DBF");
  ASSERT_NE(sx_Use(act1, "ACT1", 2, 2), 0);
  for (int i = 1; i <= 4; ++i) {
    sx_AppendBlank();
    sx_Replace("DBKCODE", SX_TEXT, "J" + std::to_string(i));
    sx_Replace("AMOUNTEUR", SX_DOUBLE, i * 1.5);
    sx_Replace("DATE", SX_DATE_TEXT, std::string("0") + std::to_string(i) + "/03/2009");
    if (i == 2) sx_Delete();
  }
  std::string temp = (dir.path() / "VIDE_ACTTEMP.DBF").string();
  ASSERT_TRUE(sx_CopyFile(temp));
  EXPECT_FALSE(sx_CopyFile(act1));  // onto an open table: refused, table intact
  EXPECT_EQ(sx_QueryRecCount(), 4);
  sx_Close();
  ASSERT_NE(sx_Use(temp, "ACTTEMP", 2, 2), 0);
  EXPECT_EQ(sx_QueryRecCount(), 4);  // deleted records are copied, still deleted
  sx_Close();

  ASSERT_NE(sx_Use(act2, "ACT2", 2, 2), 0);
  sx_AppendBlank();
  sx_Replace("DBKCODE", SX_TEXT, std::string("OWN"));
  ASSERT_TRUE(sx_AppendFrom(temp, 2, ""));
  EXPECT_EQ(sx_QueryRecCount(), 4);
  std::vector<std::string> codes;
  for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) codes.push_back(sx_GetString("DBKCODE") + sx_GetString("DATE"));
  EXPECT_EQ(codes, (std::vector<std::string>{"OWN   " + std::string(10, ' '), "J1    01/03/2009",
                                             "J3    03/03/2009", "J4    04/03/2009"}));
  sx_SetOrder(sx_TagArea("GL"));
  sx_GoTop();
  sx_Close();
  enginetest::expectIndexesAgree(act2, 14);

  // A source with other fields: matched by name, numbers reformatted to the target's decimals.
  TableLayout other;
  other.fields = {{"AMOUNTEUR", 'N', 8, 1, 0}, {"EXTRA", 'C', 4, 0, 0}, {"dbkcode", 'C', 10, 0, 0}};
  auto src = createTable(dir.path() / "OTHER.DBF", other);
  src->appendBlank();
  set(*src, "AMOUNTEUR", "-7.5");
  set(*src, "DBKCODE", "LONGERCODE");
  closeTable(src);
  ASSERT_NE(sx_Use(act2, "ACT2", 2, 2), 0);
  ASSERT_TRUE(sx_AppendFrom((dir.path() / "other.dbf").string(), 2, ""));
  EXPECT_EQ(sx_RecNo(), 5);
  sx_GoTop();
  sx_Skip(4);
  EXPECT_EQ(sx_GetString("AMOUNTEUR"), "           -7.500");
  EXPECT_EQ(sx_GetString("DBKCODE"), "LONGER");
  EXPECT_FALSE(sx_AppendFrom((dir.path() / "absent.dbf").string(), 2, ""));
  sx_Close();
  enginetest::expectIndexesAgree(act2, 14);
}

// The two-year merge edits the newer year's table in memory only: the
// edits reach the table appended to, never the scratch table's own files.
TEST_F(SxCalls, ScratchTableChangesReachTheAppendButNeverItsFiles) {
  std::string act1 = table("ACT", "_ACT1.DBF");
  std::string act2 = table("ACT", "_ACT2.DBF");
  ASSERT_NE(sx_Use(act2, "ACT2", 2, 2), 0);
  for (int i = 1; i <= 3; ++i) {
    sx_AppendBlank();
    sx_Replace("DBKCODE", SX_TEXT, "J" + std::to_string(i));
    sx_Replace("BOOKYEAR", SX_TEXT, std::string("1"));
  }
  sx_CloseAll();
  std::map<std::string, std::string> before;
  for (const char* ext : {".DBF", ".CDX"}) before[ext] = testing_support::readText(dir.path() / ("VIDE_ACT2" + std::string(ext)));

  const int16_t older = sx_Use(act1, "ACT1", 2, 2);
  const int16_t newer = sx_UseScratch(act2, "ACT2");
  ASSERT_NE(newer, 0) << sx_LastError();
  for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) {
    if (sx_GetString("DBKCODE") == "J2    ") sx_Delete();
    sx_Replace("BOOKYEAR", SX_TEXT, std::string("2"));
  }
  sx_Select(older);
  EXPECT_FALSE(sx_AppendFromArea(older));  // itself: refused
  ASSERT_TRUE(sx_AppendFromArea(newer));
  std::vector<std::string> rows;
  for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) rows.push_back(sx_GetString("DBKCODE") + sx_GetString("BOOKYEAR"));
  EXPECT_EQ(rows, (std::vector<std::string>{"J1    2", "J3    2"}));
  sx_CloseAll();
  for (const char* ext : {".DBF", ".CDX"})
    EXPECT_EQ(testing_support::readText(dir.path() / ("VIDE_ACT2" + std::string(ext))), before[ext]) << ext;
  enginetest::expectIndexesAgree(act1, 14);
}

TEST_F(SxCalls, TemporaryTableWithTagsMadeAtRunTime) {
  std::string file = (dir.path() / "VIDE_TMPCAT.DBF").string();
  std::string cdx = (dir.path() / "VIDE_TMPCAT.CDX").string();
  ASSERT_NE(sx_CreateNew(file, "CATALOGYTMP", 2, 50), 0);
  ASSERT_TRUE(sx_CreateField("LONGTYPE", "C", 9, 0));
  ASSERT_TRUE(sx_CreateField("SHORTTYPE", "C", 5, 0));
  // A character field holds at most 254 bytes; 0 or 255 are refused.
  EXPECT_FALSE(sx_CreateField("EMPTY", "C", 0, 0));
  EXPECT_FALSE(sx_CreateField("WIDE", "C", 255, 0));
  ASSERT_TRUE(sx_CreateField("WIDEST", "C", 254, 0));
  int16_t area = sx_CreateExec();
  ASSERT_NE(area, 0) << sx_LastError();
  sx_Close();
  ASSERT_NE(sx_Use(file, "CATALOGYTMP", 2, 2), 0);
  ASSERT_TRUE(sx_IndexTag(cdx, "LONG_IDX", "LONGTYPE", 0, 0, ""));
  ASSERT_TRUE(sx_IndexTag(cdx, "SHORT_IDX", "SHORTTYPE", 0, 0, ""));
  EXPECT_NE(sx_IndexOpen(cdx), 0);
  const char* rows[][2] = {{"CLIENTS", "C"}, {"FOURNISS", "F"}, {"DIVERS", "D"}};
  for (auto& r : rows) {
    sx_AppendBlank();
    sx_Replace("LONGTYPE", SX_TEXT, std::string(r[0]));
    sx_Replace("SHORTTYPE", SX_TEXT, std::string(r[1]));
  }
  sx_SetOrder(sx_TagArea("SHORT_IDX"));
  EXPECT_TRUE(sx_Seek("F"));
  EXPECT_EQ(sx_GetString("LONGTYPE"), "FOURNISS ");
  sx_SetOrder(sx_TagArea("LONG_IDX"));
  EXPECT_TRUE(sx_Seek("DIVERS"));
  EXPECT_EQ(sx_RecNo(), 3);
  sx_Close();
  enginetest::expectIndexesAgree(file, 2);
  EXPECT_FALSE(sx_CreateField("X", "C", 1, 0));  // no definition started
  EXPECT_EQ(sx_CreateExec(), 0);
}
