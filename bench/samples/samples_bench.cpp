// Writing sample dossiers: two book years of 500,000 accounting lines each in
// every form, with the time (median of several runs) and the size written,
// and the ratio of the times for two sizes, which stays near the ratio of the
// sizes when writing is linear. Target: under 20 s for 2 x 500,000 lines.
//
//   bench_samples [lines per year] [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "marlin_forms.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  double seconds;
  uintmax_t bytes;
};

Result writeOnce(marlin::Form form, int64_t lines, const fs::path& dir) {
  fs::remove_all(dir);
  const marlin::Dossier d(marlin::Options{"001", 2, lines, 1});
  const auto start = std::chrono::steady_clock::now();
  const auto files = marlin::writeDossier(d, form, dir);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  uintmax_t bytes = 0;
  for (const auto& e : fs::directory_iterator(dir)) bytes += e.file_size();
  fs::remove_all(dir);
  return {s, bytes};
}

Result median(marlin::Form form, int64_t lines, int runs, const fs::path& dir) {
  std::vector<Result> r;
  for (int i = 0; i < runs; ++i) r.push_back(writeOnce(form, lines, dir));
  std::sort(r.begin(), r.end(), [](auto& a, auto& b) { return a.seconds < b.seconds; });
  return r[r.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t lines = argc > 1 ? std::atoll(argv[1]) : 500000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  const fs::path dir = fs::temp_directory_path() / "m2k-bench-samples";
  std::printf("Sample dossier, 2 book years of %lld lines, median of %d runs\n", (long long)lines, runs);
  const struct {
    const char* name;
    marlin::Form form;
  } forms[] = {{"access-prefixed", marlin::Form::AccessPrefixed},
               {"access-older", marlin::Form::AccessOlder},
               {"sql", marlin::Form::Sql}};
  for (const auto& f : forms) {
    const Result full = median(f.form, lines, runs, dir);
    const Result half = median(f.form, lines / 2, runs, dir);
    std::printf("%-16s %7.2f s  %8.1f MB  (%lld lines: %.2f s; time ratio %.2f for size ratio 2)%s\n", f.name,
                full.seconds, full.bytes / 1e6, (long long)(lines / 2), half.seconds, full.seconds / half.seconds,
                full.seconds < 20 ? "" : "  ABOVE TARGET 20 s");
  }
  return 0;
}
