// Helpers shared by the compound index tests: building sorted tags, temporary
// files and raw little-endian access to the bytes of a written file.
#pragma once
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "store/engine/cdx_file.h"
#include "support/scratch_folder.h"

namespace cdxtest {

using store::cdx::TagKeys;
using store::cdx::TagSpec;

// Reading an index without its table: any number of records.
constexpr uint32_t kAnyRecords = UINT32_MAX;

// A file in a folder of this test process alone, removed when the process ends.
inline std::filesystem::path tempFile(const std::string& name) {
  static const testing_support::ScratchFolder folder("cdx-tests");
  return folder.path() / name;
}

// A tag whose keys (padded with blanks to keyLength) are put in the tag's
// order: ascending, or descending, equal keys by ascending record number.
inline TagKeys makeTag(const std::string& name, uint16_t keyLength, std::vector<std::string> keys,
                       bool unique = false, bool descending = false) {
  TagKeys t;
  t.info.name = name;
  t.info.keyExpr = "iif(.not. deleted()," + name + ",space(" + std::to_string(keyLength) + "))";
  t.info.keyLength = keyLength;
  t.info.unique = unique;
  t.info.descending = descending;
  std::vector<size_t> order(keys.size());
  std::iota(order.begin(), order.end(), 0);
  for (auto& k : keys) k.resize(keyLength, ' ');
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return descending ? keys[a] > keys[b] : keys[a] < keys[b];
  });
  for (size_t i : order) {
    if (unique && !t.recnos.empty() && t.key(t.count() - 1) == keys[i]) continue;
    t.keyBytes += keys[i];
    t.recnos.push_back(uint32_t(i + 1));
  }
  return t;
}

inline std::string readAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline uint32_t le16(const std::string& b, size_t at) {
  return uint8_t(b[at]) | (uint32_t(uint8_t(b[at + 1])) << 8);
}
inline uint32_t le32(const std::string& b, size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }
inline void putLe16(std::string& b, size_t at, uint32_t v) {
  b[at] = char(v & 0xFF);
  b[at + 1] = char((v >> 8) & 0xFF);
}
inline void putLe32(std::string& b, size_t at, uint32_t v) {
  putLe16(b, at, v & 0xFFFF);
  putLe16(b, at + 2, v >> 16);
}

}  // namespace cdxtest
