// Damaged compound index files: each fault is reported with the tag and the
// page where it was found, and no damage makes the reader crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "store/engine/cdx_support.h"
#include "support/bilingual_print.h"

using namespace cdxtest;
using store::cdx::readCdxKeys;
using store::cdx::readCdxSpecs;
using store::cdx::writeCdx;

namespace {

class CdxDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> keys;
    for (int i = 0; i < 3000; ++i) keys.push_back("KEY" + std::to_string(i * 7919 % 3000));
    const auto file = tempFile("damage_source.cdx");
    base::Bilingual error;
    ASSERT_TRUE(writeCdx(file, {makeTag("CODE", 12, keys)}, error)) << error;
    bytes_ = readAll(file);
    // The pages of the only tag: non-root leaves (attribute 2) with keys.
    for (size_t at = 1024; at + 512 <= bytes_.size(); at += 512)
      if (le16(bytes_, at) == 2 && le16(bytes_, at + 2) > 1) leaves_.push_back(at);
    ASSERT_GT(leaves_.size(), 3u);
  }

  // Reads the damaged bytes; expects a refusal naming the tag.
  std::string refusal(const std::string& damaged) {
    const auto file = tempFile("damaged.cdx");
    writeAll(file, damaged);
    std::vector<store::cdx::TagKeys> tags;
    base::Bilingual error;
    EXPECT_FALSE(readCdxKeys(file, tags, error, cdxtest::kAnyRecords));
    EXPECT_NE(error.french.find("CODE"), std::string::npos) << error;
    return error.french;
  }

  std::string bytes_;
  std::vector<size_t> leaves_;
};

TEST_F(CdxDamage, StructuralFaultsAreReportedWithTagAndPage) {
  const size_t leaf = leaves_[1];
  const std::string page = "page " + std::to_string(leaf);

  std::string badType = bytes_;
  putLe16(badType, leaf, 7);
  EXPECT_NE(refusal(badType).find(page), std::string::npos);

  std::string brokenLink = bytes_;
  putLe32(brokenLink, leaf + 8, le32(bytes_, leaf + 8) + 512);
  EXPECT_NE(refusal(brokenLink).find("page"), std::string::npos);

  std::string moreKeys = bytes_;
  putLe16(moreKeys, leaf + 2, le16(bytes_, leaf + 2) + 1);
  EXPECT_NE(refusal(moreKeys).find(page), std::string::npos);

  std::string freeSpace = bytes_;
  putLe16(freeSpace, leaf + 12, le16(bytes_, leaf + 12) + 1);
  EXPECT_NE(refusal(freeSpace).find(page), std::string::npos);

  std::string mask = bytes_;
  mask[leaf + 18] = char(uint8_t(mask[leaf + 18]) >> 1);
  EXPECT_NE(refusal(mask).find(page), std::string::npos);

}

TEST(CdxKeyOrder, KeysOutOfOrderOnDiskAreRefused) {
  const auto file = tempFile("order.cdx");
  base::Bilingual error;
  ASSERT_TRUE(writeCdx(file, {makeTag("CODE", 1, {"A", "B", "C"})}, error)) << error;
  std::string bytes = readAll(file);
  const size_t root = le32(bytes, 1024 + 512 + 0);  // the only tag's header follows the directory
  ASSERT_EQ(bytes.substr(root + 509, 3), "CBA");     // stored from the page's end
  std::swap(bytes[root + 509], bytes[root + 511]);
  writeAll(file, bytes);
  std::vector<store::cdx::TagKeys> tags;
  EXPECT_FALSE(readCdxKeys(file, tags, error, cdxtest::kAnyRecords));
  EXPECT_NE(error.french.find("CODE"), std::string::npos) << error;
}

TEST_F(CdxDamage, LoopsAndStrayPointersAreCaught) {
  // The tag's root is an interior node; point its first child at itself.
  size_t root = 0;
  for (size_t at = 1024; at + 512 <= bytes_.size(); at += 512)
    if (le16(bytes_, at) == 1) root = at;
  ASSERT_NE(root, 0u);
  std::string loop = bytes_;
  const size_t child = root + 12 + 12 + 4;  // key (12 bytes), record number, child
  loop[child] = char(root >> 24);
  loop[child + 1] = char(root >> 16);
  loop[child + 2] = char(root >> 8);
  loop[child + 3] = char(root);
  refusal(loop);

  std::string outside = bytes_;
  outside[child] = 0x7F;
  refusal(outside);
}

TEST_F(CdxDamage, TruncatedAndForeignFilesAreRefused) {
  for (size_t size : {size_t(0), size_t(100), size_t(1024), bytes_.size() - 512, bytes_.size() - 100}) {
    const auto file = tempFile("truncated.cdx");
    writeAll(file, bytes_.substr(0, size));
    std::vector<store::cdx::TagSpec> infos;
    std::vector<store::cdx::TagKeys> tags;
    base::Bilingual error;
    const bool specsRead = readCdxSpecs(file, infos, error);
    EXPECT_FALSE(specsRead && readCdxKeys(file, tags, error, cdxtest::kAnyRecords)) << size;
    EXPECT_FALSE(error.empty()) << size;
  }
  std::string notIndex = bytes_;
  notIndex[14] = 0;
  const auto file = tempFile("foreign.cdx");
  writeAll(file, notIndex);
  std::vector<store::cdx::TagSpec> infos;
  base::Bilingual error;
  EXPECT_FALSE(readCdxSpecs(file, infos, error));
  EXPECT_FALSE(readCdxSpecs(tempFile("missing.cdx"), infos, error));
}

// A file 64 GiB long that holds only its first pages (sparse): read a page at
// a time, it costs what its real pages cost. Loading it whole could not
// succeed on any machine that runs the tests, so passing shows it is not.
TEST_F(CdxDamage, SparseFileOfGigabytesIsReadPageByPage) {
  const auto file = tempFile("sparse.cdx");
  const uintmax_t huge = uintmax_t(64) << 30;
  writeAll(file, bytes_);
  std::filesystem::resize_file(file, huge);
  std::vector<store::cdx::TagKeys> tags;
  base::Bilingual error;
  ASSERT_TRUE(readCdxKeys(file, tags, error, cdxtest::kAnyRecords)) << error;  // pages past the index are never visited
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].count(), 3000u);

  // The directory's root moved into the hole: the zero page there is no node.
  std::string intoHole = bytes_;
  putLe32(intoHole, 0, 0xFFFFF000u);
  writeAll(file, intoHole);
  std::filesystem::resize_file(file, huge);
  std::vector<store::cdx::TagSpec> infos;
  EXPECT_FALSE(readCdxSpecs(file, infos, error));
  EXPECT_NE(error.french.find("page 4294963200"), std::string::npos) << error;
}

// A tag holds one key per record at most. Keys all alike compress to a few
// bytes each: 100,000 keys of 240 bytes fit in a file over 20 times smaller
// than they are (a file made for it, over 70 times); read against a table of
// 100 records the walk stops at the 101st key instead of holding them all.
TEST_F(CdxDamage, KeysBeyondTheTablesRecordsAreAFault) {
  const auto file = tempFile("expanding.cdx");
  base::Bilingual error;
  ASSERT_TRUE(writeCdx(file, {makeTag("CODE", 240, std::vector<std::string>(100000, "A"))}, error)) << error;
  EXPECT_LT(std::filesystem::file_size(file) * 20, 100000u * 240u);
  std::vector<store::cdx::TagKeys> tags;
  EXPECT_FALSE(readCdxKeys(file, tags, error, 100));
  EXPECT_NE(error.french.find("tag CODE, page "), std::string::npos) << error;
  EXPECT_NE(error.french.find("plus de clés que la table n'a d'enregistrements"), std::string::npos) << error;
  ASSERT_TRUE(readCdxKeys(file, tags, error, 100000)) << error;
  EXPECT_EQ(tags[0].count(), 100000u);

  // As many keys as records, one of them for a record the table lacks.
  TagKeys past = makeTag("CODE", 8, {"A", "B"});
  past.recnos[1] = 9;
  ASSERT_TRUE(writeCdx(file, {past}, error)) << error;
  EXPECT_FALSE(readCdxKeys(file, tags, error, 3));
  EXPECT_NE(error.french.find("clé 1 d'un enregistrement au-delà de la table"), std::string::npos) << error;
}

TEST_F(CdxDamage, RandomCorruptionNeverCrashes) {
  std::mt19937 rng(42);
  const auto file = tempFile("random.cdx");
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    std::string damaged = bytes_;
    for (int n = 0; n < 1 + int(rng() % 4); ++n) damaged[rng() % damaged.size()] = char(rng());
    writeAll(file, damaged);
    std::vector<store::cdx::TagKeys> tags;
    base::Bilingual error;
    if (!readCdxKeys(file, tags, error, cdxtest::kAnyRecords)) {
      ++refused;
      EXPECT_FALSE(error.empty());
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
