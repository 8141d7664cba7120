// Source benchmark: loading a 1,000,000-line book year from an Access file into
// the query engine, next to mdb-export reading the same table in the same run,
// and the per-document detail queries of the documents step on it.
//
//   bench_source [LINES] [QUERIES]     (defaults 1000000 and 100000)
//
// The sample dossier comes from marlin-sample and is kept under the build
// folder for later runs.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "run/access_source.h"

namespace {

#ifdef _WIN32
const char* kNull = "NUL";
#else
const char* kNull = "/dev/null";
#endif

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  const long queries = argc > 2 ? std::atol(argv[2]) : 100000;
  const int runs = 3;
  namespace fs = std::filesystem;
  fs::path dir = fs::path(M2K_BUILD_DIR) / "bench-data" / ("source-" + std::to_string(lines));
  fs::path file = dir / "001Soc.MDB";
  if (!fs::exists(file)) {
    std::string cmd = std::string("\"") + M2K_BIN_DIR + "/marlin-sample\" --form access-prefixed --company 001 --years 1 --lines " +
                      std::to_string(lines) + " --out \"" + dir.string() + "\" > " + kNull;
    if (std::system(cmd.c_str()) != 0 || !fs::exists(file)) {
      std::fprintf(stderr, "could not generate %s with marlin-sample\n", file.string().c_str());
      return 1;
    }
  }
  const std::string table = "A_00_Historic";

  std::vector<double> exportTimes, loadTimes;
  long loaded = 0;
  for (int r = 0; r < runs; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    std::string cmd = "mdb-export \"" + file.string() + "\" " + table + " > " + kNull;
    if (std::system(cmd.c_str()) != 0) {
      std::fprintf(stderr, "mdb-export failed\n");
      return 1;
    }
    exportTimes.push_back(seconds(t0));

    t0 = std::chrono::steady_clock::now();
    auto src = run::openAccessSource(file.string());
    auto count = src->query("SELECT Count(*) AS n FROM " + table);
    loaded = static_cast<long>(count->field("n").asInt());
    loadTimes.push_back(seconds(t0));
  }
  const double exportTime = median(exportTimes), loadTime = median(loadTimes);
  std::printf("table %s: %ld rows (median of %d runs)\n", table.c_str(), loaded, runs);
  std::printf("  load into the query engine: %.2f s, %.0f rows/s\n", loadTime, loaded / loadTime);
  std::printf("  mdb-export of the same table: %.2f s, %.0f rows/s\n", exportTime, loaded / exportTime);
  std::printf("  load / mdb-export = %.2f (target <= 1.5)\n", loadTime / exportTime);

  // Per-document detail queries as the documents step builds them: journal,
  // number and type written into the text, a derived table of matching rows.
  auto src = run::openAccessSource(file.string());
  struct Doc {
    std::string jrnl;
    long doc, type;
  };
  std::vector<Doc> docs;
  auto list = src->query("SELECT Historic.JrnlID, Historic.JrnlType, Historic.JrnlSubType, Historic.Doc, Historic.Period, "
                         "Historic.DocDate From A_00_Historic AS Historic GROUP BY Historic.JrnlID, Historic.JrnlType, "
                         "Historic.JrnlSubType, Historic.Doc, Historic.Period, Historic.DocDate");
  for (; !list->eof(); list->moveNext())
    docs.push_back({list->field("JrnlID").asText(), static_cast<long>(list->field("Doc").asInt()),
                    static_cast<long>(list->field("JrnlType").asInt())});
  std::mt19937 rng(7);
  std::vector<double> rates, cpuRates;
  long lineCount = 0;
  for (int r = 0; r < runs; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    std::clock_t c0 = std::clock();
    for (long q = 0; q < queries; ++q) {
      const Doc& d = docs[rng() % docs.size()];
      auto rows = src->query(
          "SELECT historic.*, test.CheckID AS CheckID FROM A_00_historic AS historic LEFT JOIN [SELECT "
          "Checking.HistoRecordID, Checking.CheckID, Checking.AmntBase From A_00_Checking As Checking WHERE "
          "(((Checking.AmntBase)<>0))]. AS test ON historic.RecordID = test.HistoRecordID WHERE (((historic.JrnlID)= '" +
          d.jrnl + "') AND ((historic.Doc)= " + std::to_string(d.doc) + ") AND ((historic.JrnlType) = " +
          std::to_string(d.type) + ") and (historic.accttype > 0))");
      for (; !rows->eof(); rows->moveNext()) lineCount += rows->field("AmntBase").isNull() ? 0 : 1;
    }
    rates.push_back(queries / seconds(t0));
    cpuRates.push_back(queries / (double(std::clock() - c0) / CLOCKS_PER_SEC));
  }
  std::printf("per-document queries: %zu documents, %ld queries per run, %.0f queries/s (median of %d runs; target > 20000)\n",
              docs.size(), queries, median(rates), runs);
  std::printf("  %.0f queries per CPU second (the machine may be shared); %ld lines read\n", median(cpuRates), lineCount);
  return 0;
}
