// bench_history [--lines N] [--runs R] [--folder DIR]
//
// Generates an Access dossier (prefixed layout, two book years of N lines
// each, about one document per five lines) and imports it in full, R times
// for N/4 and for N lines, with the book years side by side (as the program
// does) and, at N lines, one after the other (MARLIN2KESTREL_PASSES=
// sequential, the run as it was before). Prints the time of each step of the
// import (the report's, per book year, elapsed; in turn also from each
// status label to the next, with processor time), the peak memory of the
// import process, the
// ratio of the two sizes' times, and the time mdb-export takes to read every
// source table: the floor no import can go below. Every time is given as
// elapsed (wall) and processor (user + system) time: on a shared, loaded
// machine only the processor times and the ratios taken side by side in
// one run compare.
//
// Each import runs in a child process of this program (--import), so its
// peak memory is its own; /usr/bin/time reports it.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/platform.h"
#include "marlin_dossier.h"
#include "marlin_forms.h"
#include "run/import_run.h"
#include "run/services.h"
#include "run/steps_table.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Processor time of this process, every thread included.
double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// Processor time of the finished children (and theirs) so far.
double childrenSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct NoUi : base::Ui {
  base::MsgResult messageBox(const std::string& text, base::MsgButtons, base::MsgIcon, const std::string&) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return base::MsgResult::Ok;
  }
  void processEvents() override {}
  void setBusy(bool) override {}
  std::optional<std::string> browseFolder(const std::string&, const std::string&) override { return std::nullopt; }
  std::vector<std::string> listServers() override { return {}; }
};

// Times each phase (book year) and step label of the run.
struct TimingView : run::RunView {
  Clock::time_point mark = Clock::now();
  double cpuMark = processSeconds();
  std::string current = "start";
  struct Span {
    std::string label;
    double wall, cpu;
  };
  std::vector<Span> spans;
  std::string phase;
  void next(const std::string& label) {
    auto now = Clock::now();
    const double cpu = processSeconds();
    spans.push_back({current, seconds(mark, now), cpu - cpuMark});
    mark = now;
    cpuMark = cpu;
    current = label;
  }
  void enableWizardControls(bool) override {}
  void showImportError(const std::string& m) override { std::fprintf(stderr, "error: %s\n", m.c_str()); }
  void setPhase(const std::string& text) override {
    phase = text;
    next(text);
  }
  void setProgress(int) override {}
  void clearStepLabel() override {}
  void raiseExecutionDone() override {}
  void unload() override {}
};

// The child: one full import, its step times on standard output.
int importOnce(const std::string& sourceFolder, const std::string& kestrelFolder) {
  NoUi ui;
  base::RunContext ctx;
  ctx.language = "F";
  ctx.companyCode = "001";
  ctx.ui = &ui;
  TimingView view;
  ctx.setStepLabel = [&](const std::string& label) { view.next(view.phase + " / " + label); };
  ctx.setRecordLabel = [](const std::string&) {};
  run::RunChoices choices;
  choices.sourceFolder = sourceFolder;
  choices.companyItem = "001 - sample";
  choices.kestrelFolder = kestrelFolder;
  choices.dossierName = "BENCH";
  choices.fullImport = true;
  // As the wizard runs it.
  const host::ImportMemory memory;
  run::Services services = run::defaultServices();
  services.releaseFreeMemory = [&memory] { memory.releaseFree(); };
  const auto start = Clock::now();
  const bool ok = run::runImport(ctx, choices, view, run::defaultSteps(), services);
  view.next("end");
  const double total = seconds(start, Clock::now());
  for (const auto& step : ctx.report.steps())
    std::printf("report\t%-20s year %2d  wall %7.3f\n", step.name.c_str(), step.bookYear, step.seconds);
  // Beside the older year the newer one's labels are shown after the fact.
  const char* passes = std::getenv("MARLIN2KESTREL_PASSES");
  if (!passes || std::string(passes) != "sequential") view.spans.clear();
  std::map<std::string, std::pair<double, double>> byStep;
  std::vector<std::string> order;
  for (const auto& span : view.spans) {
    if (!byStep.count(span.label)) order.push_back(span.label);
    byStep[span.label].first += span.wall;
    byStep[span.label].second += span.cpu;
  }
  for (const auto& label : order)
    std::printf("step\t%-40s wall %7.3f  cpu %7.3f\n", label.c_str(), byStep[label].first, byStep[label].second);
  std::printf("total\t%.3f\n", total);
  return ok ? 0 : 1;
}

// Standard output of a shell command.
std::string run(const std::string& command) {
  const fs::path out = fs::temp_directory_path() / "m2k-bench-history.out";
  std::system((command + " > \"" + out.string() + "\"").c_str());
  std::stringstream ss;
  ss << std::ifstream(out).rdbuf();
  return ss.str();
}

// mdb-export of every table of every source file, output thrown away; its
// processor time in `cpu`.
double exportFloor(const fs::path& folder, double& cpu) {
  const double cpuStart = childrenSeconds();
  const auto start = Clock::now();
  for (const auto& e : fs::directory_iterator(folder)) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext != ".mdb") continue;
    std::stringstream tables(run("mdb-tables -1 \"" + e.path().string() + "\""));
    for (std::string t; std::getline(tables, t);)
      if (!t.empty()) std::system(("mdb-export \"" + e.path().string() + "\" \"" + t + "\" > /dev/null").c_str());
  }
  cpu = childrenSeconds() - cpuStart;
  return seconds(start, Clock::now());
}

struct Result {
  double total = 0, floor = 0, cpu = 0, floorCpu = 0;
  long peakKb = 0;
  std::string steps;
};

Result measure(const std::string& self, const fs::path& root, long long lines, int runs, bool inTurn = false) {
  const fs::path source = root / ("source-" + std::to_string(lines));
  if (!fs::exists(source / "001Soc.MDB")) {
    marlin::Options o;
    o.company = "001";
    o.years = 2;
    o.lines = lines;
    marlin::writeDossier(marlin::Dossier(o), marlin::Form::AccessPrefixed, source);
  }
  std::vector<double> totals, floors, cpus, floorCpus;
  Result r;
  for (int i = 0; i < runs; ++i) {
    double floorCpu = 0;
    floors.push_back(exportFloor(source, floorCpu));
    floorCpus.push_back(floorCpu);
    const fs::path kestrel = root / ("kestrel-" + std::to_string(lines));
    fs::remove_all(kestrel);
    fs::create_directories(kestrel);
    const fs::path timeFile = root / "time.txt";
    std::string out = run(std::string(inTurn ? "MARLIN2KESTREL_PASSES=sequential " : "") +
                          "/usr/bin/time -f '%M %U %S' -o \"" + timeFile.string() + "\" \"" + self + "\" --import \"" +
                          source.string() + "\" \"" + kestrel.string() + "\" 2>/dev/null");
    double user = 0, system = 0;
    std::ifstream(timeFile) >> r.peakKb >> user >> system;
    cpus.push_back(user + system);
    std::stringstream ss(out);
    for (std::string line; std::getline(ss, line);)
      if (line.rfind("total\t", 0) == 0) totals.push_back(std::stod(line.substr(6)));
    r.steps = out;
  }
  r.total = median(totals);
  r.floor = median(floors);
  r.cpu = median(cpus);
  r.floorCpu = median(floorCpus);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  long long lines = 500000;
  int runs = 1;
  fs::path root = fs::temp_directory_path() / "m2k-bench-history";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--import" && i + 2 < argc) return importOnce(argv[i + 1], argv[i + 2]);
    if (a == "--lines" && i + 1 < argc) lines = std::atoll(argv[++i]);
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--folder" && i + 1 < argc) root = argv[++i];
  }
  fs::create_directories(root);
  const std::string self = fs::absolute(argv[0]).string();
  std::printf("Full import, Access prefixed layout, 2 book years, median of %d run(s)\n", runs);
  Result small = measure(self, root, lines / 4, runs);
  Result big = measure(self, root, lines, runs);
  Result inTurn = measure(self, root, lines, runs, true);
  std::printf("\nSteps of the import of %lld lines per year, book years side by side (seconds):\n%s", lines,
              big.steps.c_str());
  std::printf("\nThe same, book years in turn (seconds):\n%s", inTurn.steps.c_str());
  std::printf("\n%-20s %10s %10s %10s %12s %12s %10s %10s\n", "lines per book year", "import s", "cpu s", "peak MiB",
              "mdb-export s", "its cpu s", "wall x", "cpu x");
  for (const Result* r : {&small, &big, &inTurn})
    std::printf("%-20s %10.2f %10.2f %10.1f %12.2f %12.2f %10.2f %10.2f\n",
                (std::to_string(r == &small ? lines / 4 : lines) + (r == &inTurn ? " in turn" : "")).c_str(), r->total,
                r->cpu, r->peakKb / 1024.0, r->floor, r->floorCpu, r->floor > 0 ? r->total / r->floor : 0,
                r->floorCpu > 0 ? r->cpu / r->floorCpu : 0);
  std::printf("\nimport / mdb-export at %lld lines: wall %.2f x, processor %.2f x (target <= 2.0, stretch <= 1.0)\n",
              lines, big.floor > 0 ? big.total / big.floor : 0, big.floorCpu > 0 ? big.cpu / big.floorCpu : 0);
  std::printf("time(4x lines) / time(x): wall %.2f, processor %.2f (target <= 4.2)\n",
              small.total > 0 ? big.total / small.total : 0, small.cpu > 0 ? big.cpu / small.cpu : 0);
  std::printf("peak %.0f MiB (target <= 1024 MiB); in turn %.0f MiB\n", big.peakKb / 1024.0, inTurn.peakKb / 1024.0);
  std::printf("in turn / side by side at %lld lines: wall %.2f, processor %.2f\n", lines,
              big.total > 0 ? inTurn.total / big.total : 0, big.cpu > 0 ? inTurn.cpu / big.cpu : 0);
  return 0;
}
