// Writes and re-reads a compound index of 14 tags of 1,000,000 keys each (the
// size of a large dossier's entry table) and prints the median times.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "store/engine/cdx_file.h"

using store::cdx::TagKeys;

namespace {

TagKeys makeTag(int index, size_t count, std::mt19937& rng) {
  TagKeys t;
  t.info.name = "TAG" + std::to_string(index);
  t.info.keyExpr = "iif(.not. deleted(),accountgl+bookyear+period+DTOS(date)+str(recno(),6),space(25))";
  t.info.keyLength = uint16_t(6 + index * 3);  // 6 to 45 bytes
  t.info.unique = index % 5 == 0;
  t.info.descending = index == 13;
  std::vector<std::pair<std::string, uint32_t>> rows(count);
  for (size_t i = 0; i < count; ++i) {
    std::string k = std::to_string(400000 + rng() % 5000) + "2024" + std::to_string(rng() % 12) + "D" + std::to_string(i);
    k.resize(t.info.keyLength, ' ');
    rows[i] = {k, uint32_t(i + 1)};
  }
  std::sort(rows.begin(), rows.end());
  if (t.info.descending)
    std::stable_sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.first > b.first; });
  t.keyBytes.reserve(count * t.info.keyLength);
  for (auto& [k, r] : rows) {
    if (t.info.unique && !t.recnos.empty() && t.key(t.count() - 1) == k) continue;
    t.keyBytes += k;
    t.recnos.push_back(r);
  }
  return t;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const size_t keys = argc > 1 ? std::stoul(argv[1]) : 1000000;
  const int runs = 3;
  std::mt19937 rng(7);
  std::vector<TagKeys> tags;
  for (int i = 0; i < 14; ++i) tags.push_back(makeTag(i, keys, rng));
  const auto file = std::filesystem::temp_directory_path() / "m2k_bench_cdx_write.cdx";

  std::vector<double> writes, reads;
  for (int r = 0; r < runs; ++r) {
    base::Bilingual error;
    auto t0 = std::chrono::steady_clock::now();
    if (!store::cdx::writeCdx(file, tags, error)) {
      std::fprintf(stderr, "%s\n", error.french.c_str());
      return 1;
    }
    auto t1 = std::chrono::steady_clock::now();
    std::vector<TagKeys> back;
    if (!store::cdx::readCdxKeys(file, back, error, uint32_t(keys))) {
      std::fprintf(stderr, "%s\n", error.french.c_str());
      return 1;
    }
    auto t2 = std::chrono::steady_clock::now();
    writes.push_back(std::chrono::duration<double>(t1 - t0).count());
    reads.push_back(std::chrono::duration<double>(t2 - t1).count());
  }
  std::printf("cdx_write: 14 tags x %zu keys, file %.1f MB\n", keys,
              double(std::filesystem::file_size(file)) / (1 << 20));
  std::printf("  writeCdx     median %.3f s over %d runs\n", median(writes), runs);
  std::printf("  readCdxKeys  median %.3f s over %d runs (full check)\n", median(reads), runs);
  std::filesystem::remove(file);
  return 0;
}
