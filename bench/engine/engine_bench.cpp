// Table engine figures on an ACT-shaped table (38 fields, 14 tags): appending
// N records through the sx_ calls and closing (which writes the index), then
// seeking random keys on tag GL. Each measurement runs in its own process so
// its peak memory is its own; the figures are medians of several runs.
//
//   engine_bench [runs]            all measurements, printed as a table
//   engine_bench append N folder   one append-and-close run (internal)
//   engine_bench seek K folder     one seek run on the table of a previous append
//   engine_bench interleaved N folder   appends with a seek on GL after every fourth
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "store/engine/sx.h"
#include "store/engine/table.h"
#include "store/templates/template_catalog.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Processor time of the whole process, all threads: the figure that stays
// meaningful when other work shares the machine.
double cpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// Peak resident memory of this process in MiB (Linux); -1 where unknown.
double peakMiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return -1;
}

std::string account(uint32_t i) { return std::to_string(400000 + i % 5000); }

int runAppend(uint32_t n, const fs::path& folder, uint32_t seekEvery) {
  const auto* def = store::templates::findTemplate("ACT");
  store::TableLayout layout;
  for (const auto& f : def->fields)
    layout.fields.push_back(store::FieldDef{f.name, f.type, uint8_t(f.width), uint8_t(f.decimals), 0});
  for (const auto& t : def->tags) layout.tags.push_back(store::TagDef{t.name, t.keyExpr, "", t.unique, t.descending});
  fs::create_directories(folder);
  fs::path file = folder / "BENCH_ACT.DBF";
  base::Bilingual error;
  auto empty = store::Table::create(file, layout, error);
  if (!empty || !empty->close(error)) {
    std::fprintf(stderr, "%s\n", error.french.c_str());
    return 1;
  }
  empty.reset();

  std::mt19937 rng(42);
  auto start = Clock::now();
  store::sx_SetDateFormat(3);
  store::sx_SetCentury(-1);
  store::sx_SetEpoch(1960);
  if (store::sx_Use(file.string(), "ACT", 2, 2) == 0) {
    std::fprintf(stderr, "%s\n", store::sx_LastError().french.c_str());
    return 1;
  }
  static const char* journals[] = {"VENTES", "ACHATS", "NCVEN", "OPDIV", "BANK1", "REOPEN"};
  char date[16];
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t doc = i / 4;
    store::sx_AppendBlank();
    store::sx_Replace("DOCTYPE", store::SX_TEXT, std::to_string(1 + rng() % 3));
    store::sx_Replace("DBKCODE", store::SX_TEXT, std::string(journals[doc % 6]));
    store::sx_Replace("DBKTYPE", store::SX_TEXT, std::to_string(doc % 6));
    store::sx_Replace("DOCNUMBER", store::SX_TEXT, std::to_string(doc));
    store::sx_Replace("DOCORDER", store::SX_TEXT, std::to_string(100 + i % 4).substr(1));
    store::sx_Replace("OPCODE", store::SX_TEXT, std::string(i % 4 ? "" : "MAIN"));
    store::sx_Replace("ACCOUNTGL", store::SX_TEXT, account(rng()));
    store::sx_Replace("ACCOUNTRP", store::SX_TEXT, "C" + std::to_string(rng() % 20000));
    store::sx_Replace("BOOKYEAR", store::SX_TEXT, std::string("1"));
    std::snprintf(date, sizeof date, "%02u/%02u/2009", 1 + doc % 28, 1 + doc % 12);
    store::sx_Replace("PERIOD", store::SX_TEXT, std::string(date + 3, 2));
    store::sx_Replace("DATE", store::SX_DATE_TEXT, std::string(date));
    store::sx_Replace("DATEDOC", store::SX_DATE_TEXT, std::string(date));
    store::sx_Replace("COMMENT", store::SX_TEXT, "Facture " + std::to_string(doc));
    store::sx_Replace("AMOUNT", store::SX_DOUBLE, (int(rng() % 2000000) - 1000000) / 100.0);
    store::sx_Replace("AMOUNTEUR", store::SX_DOUBLE, (int(rng() % 2000000) - 1000000) / 100.0);
    store::sx_Replace("CURRCODE", store::SX_TEXT, std::string(rng() % 10 ? "" : "USD"));
    store::sx_Replace("MATCHNO", store::SX_TEXT, std::string(rng() % 3 ? "" : "10000001"));
    store::sx_Replace("ISMATCHED", store::SX_LOGICAL, int32_t(rng() % 2 ? -1 : 0));
    if (seekEvery && i % seekEvery == 0) {
      // The way the entry steps look up what they wrote before going on.
      if (i == 0) store::sx_SetOrder(store::sx_TagArea("GL"));
      store::sx_Seek(account(rng()));
      store::sx_GoTop();
    }
  }
  double appended = seconds(start);
  store::sx_CloseAll();
  double elapsed = seconds(start);
  std::printf("%.3f %.0f %.3f %.3f\n", elapsed, peakMiB(), elapsed - appended, cpuSeconds());
  return 0;
}

int runSeek(uint32_t k, const fs::path& folder) {
  auto start = Clock::now();
  if (store::sx_Use((folder / "BENCH_ACT.DBF").string(), "ACT", 2, 2) == 0) {
    std::fprintf(stderr, "%s\n", store::sx_LastError().french.c_str());
    return 1;
  }
  store::sx_SetOrder(store::sx_TagArea("GL"));
  store::sx_Seek(account(0));  // the first seek loads the tag
  double open = seconds(start);
  std::mt19937 rng(9);
  std::vector<std::string> keys;
  for (uint32_t i = 0; i < k; ++i) keys.push_back(account(rng()) + "  1" + std::to_string(10 + rng() % 3).substr(1));
  uint32_t found = 0;
  auto t0 = Clock::now();
  double c0 = cpuSeconds();
  for (const std::string& key : keys) found += store::sx_Seek(key) ? 1 : 0;
  double s = seconds(t0);
  double c = cpuSeconds() - c0;
  store::sx_CloseAll();
  std::printf("%.3f %.0f %.3f %u %.0f\n", open, k / s, s, found, c > 0 ? k / c : 0);
  return 0;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::vector<double> runChild(const std::string& self, const std::string& args, const fs::path& out) {
  std::string cmd = "\"" + self + "\" " + args + " > \"" + out.string() + "\"";
  if (std::system(cmd.c_str()) != 0) return {};
  std::ifstream in(out);
  std::vector<double> values;
  double v;
  while (in >> v) values.push_back(v);
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "append") return runAppend(uint32_t(std::atol(argv[2])), argv[3], 0);
  if (argc == 4 && std::string(argv[1]) == "interleaved")
    return runAppend(uint32_t(std::atol(argv[2])), argv[3], 4);
  if (argc == 4 && std::string(argv[1]) == "seek") return runSeek(uint32_t(std::atol(argv[2])), argv[3]);
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  fs::path folder = fs::temp_directory_path() / "m2k_engine_bench";
  fs::path out = folder / "figures.txt";
  fs::create_directories(folder);
  std::string self = fs::absolute(argv[0]).string();

  std::printf("ACT table, 38 fields, 14 tags; medians of %d runs\n", runs);
  double append[2] = {0, 0}, peak[2] = {0, 0}, cpuTime[2] = {0, 0};
  const uint32_t sizes[2] = {250000, 1000000};
  for (int s = 0; s < 2; ++s) {
    std::vector<double> t, m, c, cpu;
    for (int r = 0; r < runs; ++r) {
      auto v = runChild(self, "append " + std::to_string(sizes[s]) + " \"" + folder.string() + "\"", out);
      if (v.size() < 4) {
        std::fprintf(stderr, "append run failed\n");
        return 1;
      }
      t.push_back(v[0]);
      m.push_back(v[1]);
      c.push_back(v[2]);
      cpu.push_back(v[3]);
    }
    cpuTime[s] = median(cpu);
    append[s] = median(t);
    peak[s] = median(m);
    std::printf("append+close %7u records: %7.2f s wall (close %.2f s), %.2f s cpu  peak %6.0f MiB"
                "  (target for 1M: < 15 s, < 1536 MiB)\n",
                sizes[s], append[s], median(c), cpuTime[s], peak[s]);
  }
  std::printf("time(1M) / time(250k): %.2f wall, %.2f cpu  (target <= 4.5)\n", append[1] / append[0],
              cpuTime[1] / cpuTime[0]);
  for (uint32_t n : {100000u, 400000u}) {
    std::vector<double> t, cpu;
    for (int r = 0; r < runs; ++r) {
      auto v = runChild(self, "interleaved " + std::to_string(n) + " \"" + folder.string() + "\"", out);
      if (v.size() < 4) {
        std::fprintf(stderr, "interleaved run failed\n");
        return 1;
      }
      t.push_back(v[0]);
      cpu.push_back(v[3]);
    }
    std::printf("append with a GL seek every 4 records, %6u records: %6.2f s wall, %.2f s cpu\n", n, median(t),
                median(cpu));
  }
  std::vector<double> open, rate, cpuRate;
  for (int r = 0; r < runs; ++r) {
    auto v = runChild(self, "seek 100000 \"" + folder.string() + "\"", out);
    if (v.size() < 5) {
      std::fprintf(stderr, "seek run failed\n");
      return 1;
    }
    open.push_back(v[0]);
    rate.push_back(v[1]);
    cpuRate.push_back(v[4]);
  }
  std::printf("open + load tag GL (1M records): %.2f s\n", median(open));
  std::printf("seeks on GL: %.0f per wall second, %.0f per cpu second  (target > 200000)\n", median(rate),
              median(cpuRate));
  std::error_code ec;
  fs::remove_all(folder, ec);
  return 0;
}
