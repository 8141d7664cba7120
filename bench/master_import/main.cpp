// Master-data import of a generated company with many customers, suppliers
// and general accounts, read from its Access file through the wizard and the
// real steps (what a person waits for, source reading included). Prints the
// median time of each step at the full size and at half of it: a step whose
// time grows linearly doubles between the two.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "base/recording_ui.h"
#include "host/wizard.h"
#include "jet4_writer.h"
#include "marlin_dossier.h"
#include "marlin_forms.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Times = std::map<std::string, double>;

namespace {

struct Size {
  int customers, suppliers, accounts;
};

bool isType(const jet4::Value& v, int type) {
  if (auto* n = std::get_if<int64_t>(&v)) return *n == type;
  if (auto* t = std::get_if<std::string>(&v)) return *t == std::to_string(type);
  return false;
}

// The sample company with its party and account tables grown to `size` by
// copies of its own rows under new codes.
void writeCompany(const fs::path& dir, const Size& size) {
  marlin::Options options;
  options.years = 1;
  marlin::Dossier d(options);
  fs::create_directories(dir);
  {
    jet4::Database db((dir / "Common.mdb").string());
    marlin::TableData list = d.societyList();
    auto& t = db.addTable(list.name, list.columns);
    for (auto& row : list.rows) t.addRow(row);
    db.close();
  }
  jet4::Database db((dir / marlin::companyFileName(d)).string());
  auto grow = [](marlin::TableData& t, const char* idColumn, int count, const std::string& stem, int keepType) {
    const int id = t.column(idColumn);
    const int type = t.column("TYPE");
    std::vector<marlin::Row> models;
    for (auto& r : t.rows)
      if (keepType < 0 || isType(r[static_cast<std::size_t>(type)], keepType)) models.push_back(r);
    for (int i = 0; static_cast<int>(t.rows.size()) < count; ++i) {
      marlin::Row copy = models[static_cast<std::size_t>(i) % models.size()];
      char code[16];
      std::snprintf(code, sizeof code, "%s%06d", stem.c_str(), i);
      copy[static_cast<std::size_t>(id)] = std::string(code);
      t.rows.push_back(copy);
    }
  };
  for (marlin::TableData t : d.companyTables(true)) {
    if (t.name == "AcctCustomer") grow(t, "CustID", size.customers, "K", -1);
    if (t.name == "AcctSupplier") grow(t, "SUPPID", size.suppliers, "L", -1);
    if (t.name == "AcctGeneral") grow(t, "GENERALID", size.accounts, "7", 0);
    auto& out = db.addTable(marlin::companyTableName(marlin::Form::AccessPrefixed, t.name), t.columns);
    for (auto& row : t.rows) out.addRow(row);
  }
  for (const marlin::TableData& t : d.yearTables(0)) {
    auto& out = db.addTable(marlin::yearTableName(marlin::Form::AccessPrefixed, 0, t.name), t.columns);
    for (auto& row : t.rows) out.addRow(row);
  }
  db.close();
}

// Wraps a step so that its time adds up under `name`.
template <class F>
F timed(const char* name, F step, Times& times) {
  return [name, step, &times](auto&&... args) {
    const auto start = Clock::now();
    auto elapsed = [&] { times[name] += std::chrono::duration<double>(Clock::now() - start).count(); };
    if constexpr (std::is_void_v<decltype(step(args...))>) {
      step(args...);
      elapsed();
    } else {
      auto result = step(args...);
      elapsed();
      return result;
    }
  };
}

Times importOnce(const fs::path& source, const fs::path& kestrel) {
  Times times;
  run::Steps steps = run::defaultSteps();
  steps.categories = timed("categories", steps.categories, times);
  steps.paymentCodes = timed("payment codes", steps.paymentCodes, times);
  steps.companyIdentity = timed("company identity", steps.companyIdentity, times);
  steps.queryGeneralAccountLength = timed("account length", steps.queryGeneralAccountLength, times);
  steps.customers = timed("customers", steps.customers, times);
  steps.suppliers = timed("suppliers", steps.suppliers, times);
  steps.generalAccounts = timed("general accounts", steps.generalAccounts, times);
  steps.bookYear = timed("book year", steps.bookYear, times);
  steps.dossierLanguages = timed("dossier languages", steps.dossierLanguages, times);

  fs::remove_all(kestrel);
  fs::create_directories(kestrel);
  base::RecordingUi ui;
  host::frmMain wizard(ui, run::defaultServices(), steps, (kestrel / "Marlin2KS.ini").string());
  wizard.ctx.language = "F";
  wizard.load();
  ui.folderAnswers.push_back(source.string());
  wizard.click("cmdPathMarlin");
  wizard.control("txtPathKestrel").text = kestrel.string();
  wizard.control("txtCompanyName").text = "BENCH";
  const auto start = Clock::now();
  wizard.click("cmdOk");
  times["whole import"] = std::chrono::duration<double>(Clock::now() - start).count();
  if (ui.messages.empty() || ui.messages.back().text != "L'importation s'est déroulée correctement") {
    std::fprintf(stderr, "import failed: %s\n", ui.messages.empty() ? "(no message)" : ui.messages.back().text.c_str());
    std::exit(1);
  }
  return times;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const Size full{50000, 20000, 10000}, half{25000, 10000, 5000};
  const fs::path work = fs::temp_directory_path() / "m2k_bench_master_import";
  fs::remove_all(work);

  std::map<std::string, std::vector<double>> fullTimes, halfTimes;
  for (auto [size, times, name] : {std::tuple{full, &fullTimes, "full"}, std::tuple{half, &halfTimes, "half"}}) {
    writeCompany(work / name / "marlin", size);
    for (int i = 0; i < runs; ++i)
      for (auto& [step, t] : importOnce(work / name / "marlin", work / name / "kestrel")) (*times)[step].push_back(t);
  }
  std::printf("Master-data import, %d customers, %d suppliers, %d general accounts (median of %d runs)\n",
              full.customers, full.suppliers, full.accounts, runs);
  std::printf("  %-20s %10s %10s %8s\n", "step", "full (s)", "half (s)", "ratio");
  for (auto& [step, t] : fullTimes) {
    const double f = median(t), h = median(halfTimes[step]);
    std::printf("  %-20s %10.3f %10.3f %8.2f\n", step.c_str(), f, h, h > 0 ? f / h : 0.0);
  }
  std::printf("Target: whole import under 30 s; ratios near 2 (linear growth).\n");
  fs::remove_all(work);
  return 0;
}
