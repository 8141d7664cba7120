// Where the table engine changes regime: records around one write chunk,
// memos around the FPT block boundary, numbers at the half of their last
// decimal and as wide as their field, and compressed CDX leaf entries, each
// checked in the bytes of the file rather than through the engine's reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>

#include "store/engine/engine_support.h"
#include "support/scratch_folder.h"
#include "store/engine/cdx_support.h"
#include "store/engine/field.h"
#include "support/bilingual_print.h"

using namespace enginetest;
using testing_support::readText;
using testing_support::ScratchFolder;

namespace {

uint32_t be32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
         uint8_t(b[at + 3]);
}

std::unique_ptr<store::Table> reopen(const std::filesystem::path& file) {
  base::Bilingual error;
  auto t = store::Table::open(file, error);
  EXPECT_TRUE(t) << error;
  return t;
}

}  // namespace

// Records are held and written back in chunks of 4,096: exactly one chunk, one
// record more, several chunks, and a change to an early record made after one
// to a later record must each land at their own place in the file.
TEST(EngineBoundaries, RecordsAroundOneWriteChunkLandAtTheirPlace) {
  for (uint32_t count : {4096u, 4097u, 8193u}) {
    SCOPED_TRACE(count);
    ScratchFolder dir;
    const auto file = dir.path() / "MANY.DBF";
    store::TableLayout layout;
    layout.fields = {{"NO", 'N', 8, 0, 0}, {"TEXT", 'C', 3, 0, 0}};
    auto t = createTable(file, layout);
    for (uint32_t r = 1; r <= count; ++r) {
      t->appendBlank();
      set(*t, "NO", std::to_string(r));
    }
    closeTable(t);
    t = reopen(file);
    t->go(count);
    set(*t, "TEXT", "end");
    t->go(2);
    set(*t, "TEXT", "two");
    closeTable(t);

    const std::string b = readText(file);
    const size_t header = 32 + 2 * 32 + 2, length = 1 + 8 + 3;
    ASSERT_EQ(b.size(), header + count * length + 1);
    EXPECT_EQ(cdxtest::le32(b, 4), count);
    for (uint32_t r = 1; r <= count; ++r) {
      char want[16];
      std::snprintf(want, sizeof want, " %8u", r);
      ASSERT_EQ(b.substr(header + (r - 1) * length, 9), want) << "record " << r;
    }
    EXPECT_EQ(b.substr(header + length + 9, 3), "two");
    EXPECT_EQ(b.substr(header + (count - 1) * length + 9, 3), "end");
    t = reopen(file);
    for (uint32_t r : {4095u, 4096u, count}) {
      t->go(r);
      EXPECT_EQ(t->number(t->fieldIndex("NO")), r);
    }
    closeTable(t);
  }
}

// A tag's keys are held in blocks of 256 when loaded: walking backwards from
// the first key of a block must land on the last key of the block before,
// whatever the two blocks hold.
TEST(EngineBoundaries, WalkingATagBackwardsCrossesItsKeyBlocks) {
  for (uint32_t count : {257u, 600u}) {
    SCOPED_TRACE(count);
    ScratchFolder dir;
    const auto file = dir.path() / "KEYS.DBF";
    store::TableLayout layout;
    layout.fields = {{"NAME", 'C', 6, 0, 0}};
    layout.tags = {{"NAME", "name", "", false, false}};
    auto t = createTable(file, layout);
    for (uint32_t r = 1; r <= count; ++r) {
      t->appendBlank();
      set(*t, "NAME", std::to_string(100000 + (r * 7919) % count));
    }
    closeTable(t);
    t = reopen(file);
    const size_t tag = size_t(t->tagIndex("NAME"));
    std::vector<uint32_t> forward, backward;
    for (uint32_t r = t->firstInOrder(tag); r; r = t->nextInOrder(tag, r)) forward.push_back(r);
    ASSERT_EQ(forward.size(), count);
    for (uint32_t r = forward.back(); r; r = t->previousInOrder(tag, r)) backward.insert(backward.begin(), r);
    EXPECT_EQ(backward, forward);
    closeTable(t);
  }
}

// A memo block of 1,024 bytes starts with an 8-byte header: 1,016 bytes of
// text fill one block, one byte more takes two. The FPT is walked here block
// by block; rewritten memos stay in their blocks while they fit.
TEST(EngineBoundaries, MemosAroundTheBlockBoundaryTakeTheirBlocks) {
  ScratchFolder dir;
  const auto file = dir.path() / "VIDE_MEMO.DBF";
  const size_t sizes[] = {1015, 1016, 1017, 1024, 2040, 2041, 2048};
  auto textOf = [](size_t size, size_t i) {
    std::string s(size, char('a' + i));
    s.back() = '|';  // a memo cut short loses this
    return s;
  };
  auto t = createTable(file, layoutOf("MEMO"));
  for (size_t i = 0; i < std::size(sizes); ++i) {
    t->appendBlank();
    set(*t, "MEMO", textOf(sizes[i], i));
  }
  closeTable(t);
  // 1016 bytes rewritten with 900 keep their block, 1017 with 2040 their two,
  // 1024 with 2041 need a third and move to the end of the file.
  t = reopen(file);
  const std::pair<size_t, size_t> rewrites[] = {{1, 900}, {2, 2040}, {3, 2041}};
  std::vector<size_t> now(std::begin(sizes), std::end(sizes));
  for (auto [record, size] : rewrites) {
    t->go(uint32_t(record + 1));
    set(*t, "MEMO", textOf(size, record + 10));
    now[record] = size;
  }
  closeTable(t);

  const std::string dbf = readText(file), fpt = readText(dir.path() / "VIDE_MEMO.FPT");
  uint32_t next = 1;
  std::vector<uint32_t> blockOf;
  for (size_t size : sizes) {
    blockOf.push_back(next);
    next += uint32_t((8 + size + 1023) / 1024);
  }
  blockOf[3] = next;
  next += 3;
  EXPECT_EQ(be32(fpt, 0), next);
  EXPECT_EQ(fpt.size(), next * 1024u);
  t = reopen(file);
  for (size_t i = 0; i < std::size(sizes); ++i) {
    SCOPED_TRACE(i);
    const std::string text = textOf(now[i], i < 1 || i > 3 ? i : i + 10);
    EXPECT_EQ(std::stoul(dbf.substr(32 + 2 * 32 + 2 + i * 31 + 21, 10)), blockOf[i]);
    const size_t at = size_t(blockOf[i]) * 1024;
    EXPECT_EQ(be32(fpt, at), 1u);
    EXPECT_EQ(be32(fpt, at + 4), now[i]);
    EXPECT_TRUE(fpt.compare(at + 8, now[i], text) == 0);
    t->go(uint32_t(i + 1));
    EXPECT_TRUE(get(*t, "MEMO") == text);
  }
  closeTable(t);
}

// FoxPro rounds half away from zero on the decimal text: 1.005 with two
// decimals is 1.01, though the double nearest 1.005 lies just below it. STR()
// in a key rounds the same way. A number exactly as wide as its field keeps
// its decimals; one digit more and it gives them up.
TEST(EngineBoundaries, HalfDecimalsRoundUpAndFullWidthNumbersKeepTheirDecimals) {
  ScratchFolder dir;
  store::TableLayout layout;
  layout.fields = {{"SMALL", 'N', 6, 2, 0}, {"WIDE", 'N', 17, 3, 0}};
  auto t = createTable(dir.path() / "N.DBF", layout);
  const char* cases[][3] = {
      {"1.005", "  1.01", "            1.005"},      {"-1.005", " -1.01", "           -1.005"},
      {"2.675", "  2.68", "            2.675"},      {"1.0005", "  1.00", "            1.001"},
      {"-2.0005", " -2.00", "           -2.001"},   {"999.99", "999.99", "          999.990"},
      {"-99.99", "-99.99", "          -99.990"},    {"999.995", "1000.0", "          999.995"},
      {"999999.5", "******", "       999999.500"},  {"-999999999999.999", "******", "-999999999999.999"},
      {"12345678901234.5", "******", "12345678901234.50"}, {"6000000000", "******", "   6000000000.000"}};
  for (const auto& c : cases) {
    t->appendBlank();
    set(*t, "SMALL", c[0]);
    set(*t, "WIDE", c[0]);
    EXPECT_EQ(t->raw(t->fieldIndex("SMALL")), c[1]) << c[0];
    EXPECT_EQ(t->raw(t->fieldIndex("WIDE")), c[2]) << c[0];
  }
  t->setRaw(t->fieldIndex("SMALL"), "42");  // stored text of a number stands right-aligned too
  EXPECT_EQ(t->raw(t->fieldIndex("SMALL")), "    42");
  closeTable(t);

  auto act = createTable(dir.path() / "ACT.DBF", layoutOf("ACT"));
  const size_t amountTag = size_t(act->tagIndex("AMOUNT"));
  const char* keys[][2] = {{"1.005", "1.01"}, {"-1.005", "1.01"}, {"2.675", "2.68"}, {"1.015", "1.02"},
                           {"0.125", "0.13"}, {"-0.004", "0.00"}};
  for (const auto& k : keys) {
    act->appendBlank();
    set(*act, "AMOUNTEUR", k[0]);
    std::string key;
    ASSERT_TRUE(act->keyOf(amountTag, act->recno(), key));
    EXPECT_EQ(key, "0" + std::string(17 - std::string(k[1]).size(), ' ') + k[1]) << k[0];
  }
  closeTable(act);
}

// Leaf entries share leading bytes with the key before them, but never bytes
// that either key leaves to its trailing blanks: a reader may rebuild the
// previous key without them. The leaf is decoded here with the bit widths
// its own header gives, each key rebuilt from the previous one stripped of
// its trailing blanks, and every count compared with what the format asks.
TEST(EngineBoundaries, CdxLeafCountsFollowTheFormatAroundTrailingBlanks) {
  const uint16_t length = 10;
  const std::vector<std::string> keys = {"",    "AB",  "AB  X",      "AB  XY",     "ABC",
                                         "ABC", "ABD", "ABCDEFGHIJ", "ABCDEFGHIK", "B"};
  const cdxtest::TagKeys tag = cdxtest::makeTag("KEY", length, keys);
  const auto file = cdxtest::tempFile("leafcounts.cdx");
  base::Bilingual error;
  ASSERT_TRUE(store::cdx::writeCdx(file, {tag}, error)) << error;
  const std::string b = cdxtest::readAll(file);

  // Directory leaf at 1024: its one entry points at the tag header, whose
  // first field is the tag's root, here a single leaf.
  const uint32_t dirMask = cdxtest::le32(b, 1024 + 14);
  const size_t tagHeader = cdxtest::le32(b, 1024 + 24) & dirMask;
  const size_t leaf = cdxtest::le32(b, tagHeader);
  ASSERT_EQ(cdxtest::le16(b, leaf), 3u);  // root and leaf
  const size_t count = cdxtest::le16(b, leaf + 2);
  ASSERT_EQ(count, tag.count());
  const unsigned recBits = uint8_t(b[leaf + 20]), dupBits = uint8_t(b[leaf + 21]), trailBits = uint8_t(b[leaf + 22]);
  const unsigned entryBytes = uint8_t(b[leaf + 23]);
  ASSERT_EQ(recBits + dupBits + trailBits, entryBytes * 8);
  EXPECT_EQ(cdxtest::le32(b, leaf + 14), (uint64_t(1) << recBits) - 1);
  EXPECT_EQ(uint8_t(b[leaf + 18]), (1u << dupBits) - 1);
  EXPECT_EQ(uint8_t(b[leaf + 19]), (1u << trailBits) - 1);

  std::string previous;
  size_t previousTrail = length, keyEnd = 512, stored = 0;
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    uint64_t bits = 0;
    for (unsigned k = 0; k < entryBytes; ++k) bits |= uint64_t(uint8_t(b[leaf + 24 + i * entryBytes + k])) << (8 * k);
    const uint32_t recno = uint32_t(bits & ((uint64_t(1) << recBits) - 1));
    const size_t dup = (bits >> recBits) & ((1u << dupBits) - 1);
    const size_t trail = (bits >> (recBits + dupBits)) & ((1u << trailBits) - 1);
    const std::string want(tag.key(i));
    const size_t last = want.find_last_not_of(' ');
    const size_t blanks = last == std::string::npos ? length : length - 1 - last;
    EXPECT_EQ(trail, blanks);
    size_t common = 0;
    while (i > 0 && common < length && previous[common] == want[common]) ++common;
    EXPECT_EQ(dup, std::min(common, length - std::max(blanks, previousTrail)));
    ASSERT_LE(dup + trail, length);
    const std::string kept = previous.substr(0, length - previousTrail);
    ASSERT_LE(dup, kept.size());
    keyEnd -= length - dup - trail;
    stored += length - dup - trail;
    const std::string key = kept.substr(0, dup) + b.substr(leaf + keyEnd, length - dup - trail) + std::string(trail, ' ');
    EXPECT_EQ(key, want);
    EXPECT_EQ(recno, tag.recnos[i]);
    previous = key;
    previousTrail = trail;
  }
  EXPECT_EQ(cdxtest::le16(b, leaf + 12), 488 - count * entryBytes - stored);
}
