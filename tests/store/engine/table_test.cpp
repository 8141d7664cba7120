// DBF and FPT files written by the engine: records after the header, every
// field type through close and reopen, exclusive use, damaged files refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "store/engine/engine_support.h"
#include "support/dbf_reader.h"
#include "support/scratch_folder.h"
#include "store/engine/field.h"
#include "support/bilingual_print.h"

using enginetest::closeTable;
using enginetest::createTable;
using enginetest::get;
using enginetest::layoutOf;
using enginetest::set;
using testing_support::readText;
using testing_support::ScratchFolder;
using testing_support::writeText;

namespace {

store::TableLayout mixedLayout() {
  store::TableLayout l;
  l.fields = {{"NAME", 'C', 20, 0, 0}, {"AMOUNT", 'N', 12, 3, 0}, {"COUNT", 'N', 4, 0, 0},
              {"WHEN", 'D', 8, 0, 0},  {"OK", 'L', 1, 0, 0},       {"NOTE", 'M', 10, 0, 0}};
  l.tags = {{"NAME", "iif(.not. deleted(),upper(name),space(20))", "", false, false}};
  l.codePage = 0x03;
  return l;
}

uint32_t le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | uint8_t(b[at + i]);
  return v;
}

}  // namespace

TEST(EngineTable, AppendedRecordFollowsTheHeaderAndDatesIt) {
  ScratchFolder dir;
  auto file = dir.path() / "VIDE_ACT.DBF";
  auto t = createTable(file, layoutOf("ACT"));
  ASSERT_TRUE(t);
  t->appendBlank();
  set(*t, "DBKCODE", "VENTES");
  closeTable(t);
  std::string b = readText(file);
  // The descriptors are the template's (checked with the templates); the
  // record count and the record follow them.
  EXPECT_EQ(le(b, 4, 4), 1u);
  size_t headerLen = le(b, 8, 2);
  EXPECT_EQ(uint8_t(b[headerLen - 2]), 0x0D);
  EXPECT_EQ(uint8_t(b[headerLen - 1]), 0x00);
  EXPECT_EQ(b.size(), headerLen + 318 + 1);
  EXPECT_EQ(uint8_t(b.back()), 0x1A);
  EXPECT_EQ(b.substr(headerLen, 8), "  VENTES");  // deletion byte, blank DOCTYPE, DBKCODE
  // The update date is today's.
  std::time_t now = std::time(nullptr);
  std::tm tm = *std::localtime(&now);
  EXPECT_EQ(uint8_t(b[1]), tm.tm_year);
  EXPECT_EQ(uint8_t(b[2]), tm.tm_mon + 1);
  enginetest::expectIndexesAgree(file, 14);
}

TEST(EngineTable, EveryFieldTypeSurvivesCloseAndReopen) {
  ScratchFolder dir;
  auto file = dir.path() / "mixed.dbf";
  auto t = createTable(file, mixedLayout());
  ASSERT_TRUE(t);
  const std::string longMemo(3000, 'x');
  struct Row {
    std::string name, amount, count, when, ok, note;
  } rows[] = {{"Français Œuvre €", "-1234.5", "12", "20091231", "T", "première ligne\r\nseconde"},
              {"", "", "", "", "", ""},
              {"Ω not in 1252", "0.0004", "99999", "19000101", "F", longMemo},
              {"exactly twenty chars", "12345678.123", "-999", "99991231", "TRUE", "é"}};
  for (const Row& r : rows) {
    t->appendBlank();
    set(*t, "NAME", r.name);
    set(*t, "AMOUNT", r.amount);
    set(*t, "COUNT", r.count);
    set(*t, "WHEN", r.when);
    set(*t, "OK", r.ok);
    set(*t, "NOTE", r.note);
  }
  t->go(2);
  t->setDeleted(true);
  closeTable(t);

  base::Bilingual error;
  t = store::Table::open(file, error);
  ASSERT_TRUE(t) << error;
  ASSERT_EQ(t->recordCount(), 4u);
  t->go(1);
  EXPECT_EQ(get(*t, "NAME"), "Français Œuvre €    ");
  EXPECT_DOUBLE_EQ(t->number(t->fieldIndex("AMOUNT")), -1234.5);
  EXPECT_EQ(t->raw(t->fieldIndex("AMOUNT")), "   -1234.500");
  EXPECT_EQ(t->raw(t->fieldIndex("WHEN")), "20091231");
  EXPECT_TRUE(t->logical(t->fieldIndex("OK")));
  EXPECT_EQ(get(*t, "NOTE"), "première ligne\r\nseconde");
  EXPECT_FALSE(t->deleted());
  t->go(2);
  EXPECT_TRUE(t->deleted());
  EXPECT_EQ(t->raw(t->fieldIndex("AMOUNT")), std::string(12, ' '));
  EXPECT_EQ(t->raw(t->fieldIndex("WHEN")), std::string(8, ' '));
  EXPECT_EQ(t->raw(t->fieldIndex("OK")), " ");
  EXPECT_EQ(get(*t, "NOTE"), "");
  t->go(3);
  EXPECT_EQ(get(*t, "NAME"), "? not in 1252       ");
  EXPECT_EQ(t->raw(t->fieldIndex("AMOUNT")), "       0.000");
  EXPECT_EQ(t->raw(t->fieldIndex("COUNT")), "****");  // too wide for its field
  EXPECT_FALSE(t->logical(t->fieldIndex("OK")));
  EXPECT_EQ(get(*t, "NOTE"), longMemo);
  t->go(4);
  EXPECT_EQ(get(*t, "NAME"), "exactly twenty chars");
  EXPECT_EQ(t->raw(t->fieldIndex("AMOUNT")), "12345678.123");
  EXPECT_EQ(t->raw(t->fieldIndex("COUNT")), "-999");
  EXPECT_EQ(t->date(t->fieldIndex("WHEN")), store::julianDay(9999, 12, 31));
  EXPECT_EQ(get(*t, "NOTE"), "é");
  closeTable(t);
  // 1252 bytes on disk, not UTF-8.
  std::string b = readText(file);
  EXPECT_NE(b.find("Fran\xE7" "ais \x8C" "uvre \x80"), std::string::npos);
  enginetest::expectIndexesAgree(file, 1);
}

TEST(EngineTable, TextIsCutToTheFieldWidth) {
  ScratchFolder dir;
  auto t = createTable(dir.path() / "T.DBF", mixedLayout());
  t->appendBlank();
  set(*t, "NAME", "ééééééééééééééééééééààà");
  EXPECT_EQ(get(*t, "NAME"), "éééééééééééééééééééé");
  closeTable(t);
}

TEST(EngineTable, OpenIsExclusiveAndFindsTheFileInAnyCase) {
  ScratchFolder dir;
  auto t = createTable(dir.path() / "VIDE_DBK_01.DBF", layoutOf("DBK_01"));
  base::Bilingual error;
  EXPECT_FALSE(store::Table::open(dir.path() / "VIDE_DBK_01.DBF", error));
  EXPECT_FALSE(error.empty());
  closeTable(t);
  auto again = store::Table::open(dir.path() / "vide_dbk_01.dbf", error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(again->path().filename(), "VIDE_DBK_01.DBF");
  EXPECT_EQ(again->tagCount(), 3u);  // the CDX is found too
  EXPECT_FALSE(store::Table::open(dir.path() / "missing.dbf", error));
  EXPECT_NE(error.french.find("n'existe pas"), std::string::npos);
  // A table named in lower case gets its index and memo in lower case.
  auto lower = createTable(dir.path() / "mixed.dbf", mixedLayout());
  closeTable(lower);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "mixed.cdx"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "mixed.fpt"));
}

// Tables only read share their file; one that may change it, even in memory
// only, keeps everyone else out, readers included, and is kept out by them.
// Another process (the flock command, taking the same system locks) meets
// the same rules.
TEST(EngineTable, ReadersShareATableThatAWriterKeepsToItself) {
  ScratchFolder dir;
  const auto file = dir.path() / "VIDE_DBK_01.DBF";
  auto created = createTable(file, layoutOf("DBK_01"));
  closeTable(created);
  using Mode = store::Table::OpenMode;
  base::Bilingual error;
  auto open = [&](Mode mode) { return store::Table::open(file, error, mode); };
  auto refusedHere = [&](Mode mode) { return !open(mode) && error.french.find("déjà ouverte") != std::string::npos; };
  const std::string quoted = "'" + file.string() + "'";
  auto otherProcessLocks = [&](const char* how) {
    return std::system(("flock -n " + std::string(how) + " " + quoted + " true").c_str()) == 0;
  };
  {
    auto first = open(Mode::ReadOnly), second = open(Mode::ReadOnly);
    ASSERT_TRUE(first && second) << error;
    EXPECT_TRUE(refusedHere(Mode::Update));
    EXPECT_TRUE(refusedHere(Mode::Scratch));
    first.reset();  // the second reader holds the file still
    EXPECT_TRUE(refusedHere(Mode::Update));
    EXPECT_TRUE(otherProcessLocks("-s"));
    EXPECT_FALSE(otherProcessLocks("-x"));
  }
  for (Mode writer : {Mode::Update, Mode::Scratch}) {
    auto held = open(writer);
    ASSERT_TRUE(held) << error;
    EXPECT_TRUE(refusedHere(Mode::ReadOnly));
    EXPECT_FALSE(otherProcessLocks("-s"));
  }
  // Held by another process until the returned command ends it.
  auto heldElsewhere = [&](const char* how) {
    std::FILE* out = popen(("exec flock " + std::string(how) + " " + quoted + " sh -c 'echo $$; exec sleep 30'").c_str(), "r");
    char pid[32] = {};
    EXPECT_TRUE(out && std::fgets(pid, sizeof pid, out));
    return [out, pid = std::string(pid)] {
      std::system(("kill " + pid).c_str());
      pclose(out);
    };
  };
  auto endShared = heldElsewhere("-s");
  EXPECT_TRUE(open(Mode::ReadOnly)) << error;
  EXPECT_FALSE(open(Mode::Update));
  EXPECT_NE(error.french.find("ouverture exclusive impossible"), std::string::npos) << error;
  endShared();
  auto endExclusive = heldElsewhere("-x");
  EXPECT_FALSE(open(Mode::ReadOnly));
  endExclusive();
  EXPECT_TRUE(open(Mode::Update)) << error;
}

TEST(EngineTable, DamagedTablesAreRefusedAndLeftUntouched) {
  ScratchFolder dir;
  auto good = dir.path() / "GOOD.DBF";
  auto t = createTable(good, mixedLayout());
  for (int i = 0; i < 3; ++i) {
    t->appendBlank();
    set(*t, "NAME", "row " + std::to_string(i));
  }
  closeTable(t);
  const std::string bytes = readText(good);
  const std::string fpt = readText(dir.path() / "GOOD.FPT");
  const std::string cdx = readText(dir.path() / "GOOD.CDX");

  struct Case {
    const char* name;
    std::string dbf;
    std::string cdx;
    std::string fpt;  // empty: no memo file
  };
  std::string wrongRecLen = bytes;
  wrongRecLen[10] = char(uint8_t(wrongRecLen[10]) + 1);
  std::string hugeHeader = bytes;
  hugeHeader[9] = char(0x7F);
  std::string moreRecords = bytes;
  moreRecords[4] = 9;
  std::string noTerminator = bytes;
  noTerminator[32 + 32 * 6] = 'X';
  std::string badType = bytes;
  badType[32 + 11] = 'Q';
  // COUNT of width 0, AMOUNT wider by as much: the record length still adds up.
  std::string zeroWidth = bytes;
  zeroWidth[32 + 32 + 16] = char(12 + 4);
  zeroWidth[32 + 2 * 32 + 16] = 0;
  std::fill_n(zeroWidth.begin() + 32 + 2 * 32 + 12, 4, '\0');
  std::string zeroMark = bytes;
  zeroMark[bytes.size() - 1 - 2 * le(bytes, 10, 2)] = '\0';  // the second record's deletion byte
  std::string fptFreeInHeader = fpt;
  fptFreeInHeader[3] = 0;  // next free block 0: new memos would overwrite the header
  std::string fptFreePastEnd = fpt;
  fptFreePastEnd[3] = char(uint8_t(fptFreePastEnd[3]) + 1);  // a block in use that the file does not hold
  const Case cases[] = {
      {"truncated", bytes.substr(0, bytes.size() - 40), cdx, fpt},
      {"tiny", bytes.substr(0, 20), cdx, fpt},
      {"record length", wrongRecLen, cdx, fpt},
      {"header length", hugeHeader, cdx, fpt},
      {"record count", moreRecords, cdx, fpt},
      {"extra bytes", bytes + std::string(100, ' '), cdx, fpt},
      {"terminator", noTerminator, cdx, fpt},
      {"field type", badType, cdx, fpt},
      {"field width", zeroWidth, cdx, fpt},
      {"deletion byte", zeroMark, cdx, fpt},
      {"cdx garbage", bytes, std::string(1536, 'z'), fpt},
      {"cdx empty", bytes, std::string(), fpt},
      {"no fpt", bytes, cdx, ""},
      {"fpt free block", bytes, cdx, fptFreeInHeader},
      {"fpt free block past the end", bytes, cdx, fptFreePastEnd},
  };
  for (const Case& c : cases) {
    auto file = dir.path() / (std::string(c.name) + ".DBF");
    auto base = file;
    writeText(file, c.dbf);
    writeText(base.replace_extension(".CDX"), c.cdx);
    if (!c.fpt.empty()) writeText(base.replace_extension(".FPT"), c.fpt);
    base::Bilingual error;
    EXPECT_FALSE(store::Table::open(file, error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    EXPECT_EQ(readText(file), c.dbf) << c.name;  // nothing written
    // The same file can be opened again afterwards: the refusal released it.
    EXPECT_FALSE(store::Table::open(file, error)) << c.name;
    EXPECT_EQ(error.french.find("déjà ouverte"), std::string::npos) << c.name << ": " << error;
  }
}

// A header claiming 4 billion records in a file that is as long as they would
// be (a terabyte, sparse) but holds only the first: refused at the first
// empty record. Loading it first could not succeed on any test machine.
TEST(EngineTable, SparseTableClaimingATerabyteIsRefusedWithoutLoadingIt) {
  ScratchFolder dir;
  auto file = dir.path() / "HUGE.DBF";
  store::TableLayout layout;
  layout.fields = {{"TEXT", 'C', 250, 0, 0}};
  auto t = createTable(file, layout);
  t->appendBlank();
  set(*t, "TEXT", "the only real record");
  closeTable(t);
  std::string bytes = readText(file);
  const uint32_t headerLen = le(bytes, 8, 2), recLen = le(bytes, 10, 2);
  for (int i = 0; i < 4; ++i) bytes[4 + i] = char(0xFF);
  writeText(file, bytes);
  std::filesystem::resize_file(file, headerLen + uint64_t(0xFFFFFFFFu) * recLen + 1);

  base::Bilingual error;
  EXPECT_FALSE(store::Table::open(file, error, store::Table::OpenMode::ReadOnly));
  // Each language tells it alone: a person reads one of them only.
  EXPECT_EQ(error.french, "Table endommagée (enregistrement 2 illisible) : " + file.string());
  EXPECT_EQ(error.dutch, "Beschadigde tabel (record 2 onleesbaar): " + file.string());
}

// An independent reader (Debian's python3-dbfread) sees the values we wrote.
TEST(EngineTable, DbfreadReadsWhatTheEngineWrote) {
  ScratchFolder dir;
  auto file = dir.path() / "READ.DBF";
  auto t = createTable(file, mixedLayout());
  t->appendBlank();
  set(*t, "NAME", "Élodie Dupré");
  set(*t, "AMOUNT", "-42.125");
  set(*t, "COUNT", "7");
  set(*t, "WHEN", "20240229");
  set(*t, "OK", "T");
  set(*t, "NOTE", "mémo\ntexte");
  t->appendBlank();
  set(*t, "NAME", "effacé");
  t->setDeleted(true);
  t->appendBlank();
  set(*t, "OK", "F");
  closeTable(t);

  EXPECT_EQ(testing_support::dbfreadValues(file),
            "'Élodie Dupré'|-42.125|7|datetime.date(2024, 2, 29)|True|'mémo\\ntexte'\n"
            "''|None|None|None|False|None\n"
            "deleted 1\n");
}

TEST(EngineTable, ReadingATableLeavesItsFilesAsTheyWere) {
  ScratchFolder dir;
  auto file = dir.path() / "VIDE_PARAM.DBF";
  auto t = createTable(file, layoutOf("PARAM"));
  t->appendBlank();
  set(*t, "ID", "Socname");
  closeTable(t);
  // Back-date the header so that a rewrite would show.
  std::string dbf = readText(file);
  dbf[1] = char(99);
  writeText(file, dbf);
  const std::string cdx = readText(dir.path() / "VIDE_PARAM.CDX");
  base::Bilingual error;
  t = store::Table::open(file, error);
  ASSERT_TRUE(t) << error;
  EXPECT_EQ(t->seek(0, "SOCNAME"), 1u);
  EXPECT_EQ(get(*t, "ID").substr(0, 7), "Socname");
  closeTable(t);
  EXPECT_EQ(readText(file), dbf);
  EXPECT_EQ(readText(dir.path() / "VIDE_PARAM.CDX"), cdx);
}

// A scratch table (the two-year merge's newer year) changes in memory only:
// records changed, added and deleted are seen while it is open, and its
// files, the memo file too, are left byte for byte as they were.
TEST(EngineTable, ScratchTableChangesNeverReachItsFiles) {
  ScratchFolder dir;
  auto file = dir.path() / "VIDE_MEMO.DBF";
  auto t = createTable(file, layoutOf("MEMO"));
  t->appendBlank();
  set(*t, "MEMO", "kept as written");
  closeTable(t);
  std::map<std::string, std::string> before;
  for (const char* ext : {".DBF", ".CDX", ".FPT"}) before[ext] = readText(dir.path() / ("VIDE_MEMO" + std::string(ext)));
  base::Bilingual error;
  t = store::Table::open(file, error, store::Table::OpenMode::Scratch);
  ASSERT_TRUE(t) << error;
  const int memo = t->fieldIndex("MEMO");
  ASSERT_TRUE(t->go(1));
  EXPECT_FALSE(t->setText(memo, "changed"));  // memo text lives in the file: refused
  EXPECT_EQ(get(*t, "MEMO"), "kept as written");
  t->setDeleted(true);
  EXPECT_EQ(t->appendBlank(), 2u);
  closeTable(t);
  for (const char* ext : {".DBF", ".CDX", ".FPT"})
    EXPECT_EQ(readText(dir.path() / ("VIDE_MEMO" + std::string(ext))), before[ext]) << ext;
}

// What the memo file declares bounds every memo read: its blocks in use
// (before the next free block) and the kinds of block there are. Bytes past
// them, or a block of no known kind, read as no memo rather than as its text.
TEST(EngineTable, AMemoIsReadOnlyFromTheBlocksInUse) {
  ScratchFolder dir;
  auto file = dir.path() / "NOTES.DBF";
  auto t = createTable(file, mixedLayout());
  for (const char* note : {"one", "two", "three"}) {
    t->appendBlank();
    set(*t, "NOTE", note);
  }
  closeTable(t);
  const auto fpt = dir.path() / "NOTES.FPT";
  std::string bytes = readText(fpt);
  ASSERT_EQ(bytes.size(), 4u * 1024);  // header, then one block of 1024 bytes per memo
  bytes[1 * 1024 + 3] = 7;             // the first memo of no known kind
  bytes[3 * 1024 + 6] = char(0x07);    // the last one 2000 bytes long, past the blocks in use
  bytes[3 * 1024 + 7] = char(0xD0);
  writeText(fpt, bytes + std::string(4096, 'x'));

  base::Bilingual error;
  t = store::Table::open(file, error, store::Table::OpenMode::ReadOnly);
  ASSERT_TRUE(t) << error;
  std::vector<std::string> notes;
  for (uint32_t r = 1; r <= 3; ++r) {
    t->go(r);
    notes.push_back(get(*t, "NOTE"));
  }
  EXPECT_EQ(notes, (std::vector<std::string>{"", "two", ""}));
}

// A memo whose stored length was damaged must not make a rewrite spill over
// the memos that follow it in the file.
TEST(EngineTable, DamagedMemoLengthNeverLetsARewriteOverwriteTheNextMemo) {
  ScratchFolder dir;
  auto file = dir.path() / "notes.dbf";
  auto t = createTable(file, mixedLayout());
  ASSERT_TRUE(t);
  t->appendBlank();
  set(*t, "NOTE", "one");
  t->appendBlank();
  set(*t, "NOTE", "two");
  closeTable(t);

  std::filesystem::path fpt;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().extension() == ".fpt" || entry.path().extension() == ".FPT") fpt = entry.path();
  ASSERT_FALSE(fpt.empty());
  {
    // The first memo sits in block 1 (file offset 1024); claim 3000 bytes for it.
    std::fstream f(fpt, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(1024 + 4);
    const char claimed[4] = {0, 0, 0x0B, static_cast<char>(0xB8)};
    f.write(claimed, 4);
  }

  base::Bilingual error;
  t = store::Table::open(file, error);
  ASSERT_TRUE(t) << error;
  t->go(1);
  set(*t, "NOTE", std::string(2000, 'y'));
  closeTable(t);

  t = store::Table::open(file, error);
  ASSERT_TRUE(t) << error;
  t->go(1);
  EXPECT_EQ(get(*t, "NOTE"), std::string(2000, 'y'));
  t->go(2);
  EXPECT_EQ(get(*t, "NOTE"), "two");
  closeTable(t);
}
