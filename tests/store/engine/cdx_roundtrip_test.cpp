// Compound index files written and read back: keys, tag definitions and the
// header bytes other FoxPro readers rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "store/engine/cdx_support.h"
#include "support/bilingual_print.h"

using namespace cdxtest;
using store::cdx::KeyType;
using store::cdx::readCdxKeys;
using store::cdx::readCdxSpecs;
using store::cdx::writeCdx;

namespace {

void expectRoundTrip(const std::vector<TagKeys>& tags, const std::string& fileName,
                     const std::vector<TagSpec>& keyTypes = {}) {
  const auto file = tempFile(fileName);
  base::Bilingual error;
  ASSERT_TRUE(writeCdx(file, tags, error)) << error;
  EXPECT_EQ(std::filesystem::file_size(file) % 512, 0u);
  std::vector<TagKeys> back;
  ASSERT_TRUE(readCdxKeys(file, back, error, cdxtest::kAnyRecords, keyTypes)) << error;
  ASSERT_EQ(back.size(), tags.size());
  for (size_t i = 0; i < tags.size(); ++i) {
    SCOPED_TRACE(tags[i].info.name);
    EXPECT_EQ(back[i].info.name, tags[i].info.name);
    EXPECT_EQ(back[i].info.keyExpr, tags[i].info.keyExpr);
    EXPECT_EQ(back[i].info.forExpr, tags[i].info.forExpr);
    EXPECT_EQ(back[i].info.keyLength, tags[i].info.keyLength);
    EXPECT_EQ(back[i].info.unique, tags[i].info.unique);
    EXPECT_EQ(back[i].info.descending, tags[i].info.descending);
    ASSERT_EQ(back[i].count(), tags[i].count());
    EXPECT_TRUE(back[i].keyBytes == tags[i].keyBytes);
    EXPECT_TRUE(back[i].recnos == tags[i].recnos);
  }
}

// Account-like keys: shared prefixes, runs of equal keys, trailing blanks of
// varying length and the occasional all-blank (deleted record) key.
std::vector<std::string> accountKeys(size_t count, uint16_t keyLength, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> keys;
  keys.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (rng() % 50 == 0) {
      keys.emplace_back(keyLength, ' ');
      continue;
    }
    std::string k = "3" + std::to_string(400000 + rng() % 3000) + "SUPPLIER " + std::to_string(rng() % 97);
    k.resize(std::min<size_t>(k.size(), keyLength));
    keys.push_back(k);
  }
  return keys;
}

}  // namespace

TEST(CdxRoundTrip, TagsOfEverySizeComeBackUnchanged) {
  std::vector<TagKeys> tags;
  tags.push_back(makeTag("EMPTY", 12, {}));
  tags.push_back(makeTag("ONE", 7, {"ABC"}));
  // About one leaf's worth around the point where a second leaf is needed.
  tags.push_back(makeTag("LEAF", 10, accountKeys(140, 10, 1)));
  tags.push_back(makeTag("BIG", 25, accountKeys(120000, 25, 2)));
  tags.push_back(makeTag("UNIQ", 9, accountKeys(30000, 9, 3), true));
  tags.push_back(makeTag("DESC", 11, accountKeys(30000, 11, 4), false, true));
  tags.push_back(makeTag("UDESC", 6, accountKeys(5000, 6, 5), true, true));
  tags[3].info.forExpr = "TYPE='3'";
  expectRoundTrip(tags, "sizes.cdx");
}

TEST(CdxRoundTrip, ExtremeKeyLengthsAndRecordNumbers) {
  std::vector<TagKeys> tags;
  // 240-byte keys leave room for two entries per interior node: a deep tree.
  std::vector<std::string> longKeys;
  for (int i = 0; i < 6000; ++i) {
    std::string k(240, 'x');
    for (int j = 0; j < 240; j += 37) k[j] = char('A' + (i * 7 + j) % 26);
    if (i % 3 == 0) k.resize(100);  // the rest becomes trailing blanks
    longKeys.push_back(k);
  }
  tags.push_back(makeTag("LONG", 240, longKeys));
  tags.push_back(makeTag("SHORT", 1, {"B", "A", "C", "A", " ", "B"}));
  // Record numbers needing wider leaf entries, with tiny and long keys.
  TagKeys wide = makeTag("WIDE", 1, {"A", "B", "C"});
  wide.recnos = {0xFFFFFFF0u, 0x7FFFFFFFu, 1u};
  tags.push_back(wide);
  TagKeys wideLong = makeTag("WIDELONG", 200, {"A", "B", "C", "D"});
  wideLong.recnos = {3u, 0x00FFFFFFu, 0xFFFFFFFFu, 70000u};
  tags.push_back(wideLong);
  expectRoundTrip(tags, "extremes.cdx");
}

TEST(CdxRoundTrip, NumericAndDateKeysSortByValueAndKeepZeroPadding) {
  const std::vector<double> values = {-1e300, -123456.75, -1.0, -0.5, -1e-9, 0.0, 1e-9, 0.25, 0.5,
                                      1.0,    2.0,        10.0, 99.99, 1e15,  1e300};
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string key = store::cdx::encodeNumericKey(values[i]);
    ASSERT_EQ(key.size(), 8u);
    EXPECT_EQ(store::cdx::decodeNumericKey(key), values[i]);
    if (i > 0) EXPECT_LT(store::cdx::encodeNumericKey(values[i - 1]), key) << values[i];
  }
  EXPECT_EQ(store::cdx::encodeNumericKey(-0.0), store::cdx::encodeNumericKey(0.0));
  EXPECT_EQ(store::cdx::encodeNumericKey(0.0), std::string("\x80\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(store::cdx::encodeNumericKey(1.0), std::string("\xBF\xF0\0\0\0\0\0\0", 8));
  EXPECT_EQ(store::cdx::encodeNumericKey(-1.0), std::string("\x40\x0F\xFF\xFF\xFF\xFF\xFF\xFF", 8));
  // 2000-01-01 is Julian day 2451545.
  EXPECT_EQ(store::cdx::encodeDateKey(2451545), std::string("\xC1\x42\xB4\x2C\x80\0\0\0", 8));

  // Keys ending in zero bytes must come back with zeros, not blanks.
  TagKeys amounts;
  amounts.info = {"AMOUNT", "AMOUNT", "", false, false, KeyType::Numeric, 8};
  for (size_t i = 0; i < values.size(); ++i) {
    amounts.keyBytes += store::cdx::encodeNumericKey(values[i]);
    amounts.recnos.push_back(uint32_t(i + 1));
  }
  TagKeys dates;
  dates.info = {"DAY", "DATE", "", false, true, KeyType::Date, 8};
  for (int32_t day = 2460000; day > 2450000; day -= 7) {
    dates.keyBytes += store::cdx::encodeDateKey(day);
    dates.recnos.push_back(uint32_t(day - 2449999));
  }
  expectRoundTrip({amounts, dates}, "numeric.cdx", {amounts.info, dates.info});
}

TEST(CdxRoundTrip, HeaderBytesFollowTheFormat) {
  std::vector<TagKeys> tags;
  tags.push_back(makeTag("NAME", 3, {"C", "B", "A"}, false, true));
  tags.push_back(makeTag("ID", 4, {"X"}, true));
  const auto file = tempFile("header.cdx");
  base::Bilingual error;
  ASSERT_TRUE(writeCdx(file, tags, error)) << error;
  const std::string b = readAll(file);

  // Tag directory: root at 1024, 10-byte keys, compact + compound + directory.
  EXPECT_EQ(le32(b, 0), 1024u);
  EXPECT_EQ(le16(b, 12), 10u);
  EXPECT_EQ(uint8_t(b[14]), 0xE0);
  // The directory root is a root leaf with both tags; its entries point at
  // tag headers, listed by name: "ID" before "NAME".
  EXPECT_EQ(le16(b, 1024), 3u);
  EXPECT_EQ(le16(b, 1026), 2u);
  EXPECT_EQ(le32(b, 1028), 0xFFFFFFFFu);
  EXPECT_EQ(le32(b, 1032), 0xFFFFFFFFu);
  const unsigned entryBytes = uint8_t(b[1024 + 23]);
  const uint32_t recMask = le32(b, 1024 + 14);
  uint32_t headerOf[2];
  for (int i = 0; i < 2; ++i) headerOf[i] = le32(b, 1024 + 24 + i * entryBytes) & recMask;
  // Keys are stored from the page's end: "ID" (8 trailing blanks) first, then
  // "NAME" (6 trailing blanks).
  EXPECT_EQ(b.substr(1024 + 512 - 2, 2), "ID");
  EXPECT_EQ(b.substr(1024 + 512 - 6, 4), "NAME");

  const size_t name = headerOf[1], id = headerOf[0];
  ASSERT_LT(name, id);  // headers in the order the tags were given: NAME then ID
  EXPECT_EQ(uint8_t(b[name + 14]), 0x60);
  EXPECT_EQ(uint8_t(b[id + 14]), 0x61);
  EXPECT_EQ(le16(b, name + 12), 3u);
  EXPECT_EQ(le16(b, name + 502), 1u);
  EXPECT_EQ(le16(b, id + 502), 0u);
  EXPECT_EQ(std::string(b.c_str() + name + 512), tags[0].info.keyExpr);
  EXPECT_EQ(le16(b, name + 510), tags[0].info.keyExpr.size() + 1);
  EXPECT_EQ(le16(b, name + 506), 1u);

  // A descending tag is stored ascending: the first key written at the end of
  // its root leaf is "A".
  const size_t root = le32(b, name);
  EXPECT_EQ(le16(b, root), 3u);
  EXPECT_EQ(b.substr(root + 509, 3), "CBA");

  std::vector<TagSpec> infos;
  ASSERT_TRUE(readCdxSpecs(file, infos, error)) << error;
  ASSERT_EQ(infos.size(), 2u);
  EXPECT_EQ(infos[0].name, "NAME");
  EXPECT_EQ(infos[1].name, "ID");
}

TEST(CdxRoundTrip, InvalidTagsAreRefusedAndLeaveTheFileAlone) {
  const auto file = tempFile("refused.cdx");
  base::Bilingual error;
  ASSERT_TRUE(writeCdx(file, {makeTag("OLD", 3, {"A"})}, error)) << error;
  const std::string before = readAll(file);

  std::vector<std::vector<TagKeys>> bad;
  TagKeys unsorted = makeTag("T", 3, {"A", "B"});
  std::swap(unsorted.recnos[0], unsorted.recnos[1]);
  unsorted.keyBytes = "B  A  ";
  bad.push_back({unsorted});
  TagKeys equalRecnos = makeTag("T", 3, {"A", "A"});
  std::swap(equalRecnos.recnos[0], equalRecnos.recnos[1]);
  bad.push_back({equalRecnos});
  TagKeys duplicateInUnique = makeTag("T", 3, {"A", "A"});
  duplicateInUnique.info.unique = true;
  bad.push_back({duplicateInUnique});
  bad.push_back({makeTag("TOOLONGNAME", 3, {"A"})});
  bad.push_back({makeTag("T", 3, {"A"}), makeTag("T", 3, {"B"})});
  TagKeys shortBytes = makeTag("T", 3, {"A"});
  shortBytes.keyBytes.pop_back();
  bad.push_back({shortBytes});
  TagKeys zeroRecno = makeTag("T", 3, {"A"});
  zeroRecno.recnos[0] = 0;
  bad.push_back({zeroRecno});
  TagKeys numericLength = makeTag("T", 3, {"A"});
  numericLength.info.keyType = KeyType::Numeric;
  bad.push_back({numericLength});
  TagKeys longExpr = makeTag("T", 3, {"A"});
  longExpr.info.keyExpr.assign(511, 'x');
  bad.push_back({longExpr});

  bad.push_back({makeTag("GOOD", 3, {"A", "B"}), unsorted});  // found after a tag already written

  auto temp = file;
  temp += ".tmp~";
  for (size_t i = 0; i < bad.size(); ++i) {
    error = {};
    EXPECT_FALSE(writeCdx(file, bad[i], error)) << i;
    EXPECT_NE(error.french.find("Index"), std::string::npos) << i;
    EXPECT_EQ(readAll(file), before) << i;
    EXPECT_FALSE(std::filesystem::exists(temp)) << i;
  }

  // Written tag by tag: keys for another tag than the next, too few tags, or
  // a writer dropped half-way leave the file as it was too.
  const TagKeys a = makeTag("A", 3, {"A"}), b = makeTag("B", 3, {"B"});
  for (int misuse = 0; misuse < 3; ++misuse) {
    {
      store::cdx::CdxWriter writer;
      ASSERT_TRUE(writer.begin(file, {a.info, b.info}, error)) << error;
      if (misuse == 0) {
        EXPECT_FALSE(writer.add(b, error));
        EXPECT_NE(error.french.find("tag 'B'"), std::string::npos) << error;
      } else {
        ASSERT_TRUE(writer.add(a, error)) << error;
        if (misuse == 1) EXPECT_FALSE(writer.finish(error));
      }
    }
    EXPECT_EQ(readAll(file), before) << misuse;
    EXPECT_FALSE(std::filesystem::exists(temp)) << misuse;
  }
}

TEST(CdxRoundTrip, SharedPrefixesAndTrailingBlanksAreCompressed) {
  // 100,000 keys of 40 bytes: 29 shared leading bytes and 6 trailing blanks,
  // leaving about 5 bytes of key and 3 of entry per key, against 48 unpacked.
  std::vector<std::string> keys;
  for (int i = 0; i < 100000; ++i) keys.push_back("KESTREL MIGRATION ACCOUNT NO " + std::to_string(10000 + i));
  const auto file = tempFile("compressed.cdx");
  base::Bilingual error;
  ASSERT_TRUE(writeCdx(file, {makeTag("PACKED", 40, keys)}, error)) << error;
  EXPECT_LT(std::filesystem::file_size(file), 100000u * 10);
  std::vector<TagKeys> back;
  ASSERT_TRUE(readCdxKeys(file, back, error, cdxtest::kAnyRecords)) << error;
  EXPECT_EQ(back.at(0).count(), keys.size());
}
