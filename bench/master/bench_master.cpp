// Master-data import of a large company: 50,000 customers, 20,000 suppliers
// and 10,000 general accounts, each step timed. Every figure is the median of
// several runs, at full size and at half size; the ratio full/half shows how a
// step grows with its row count (2 is linear, 4 quadratic).
//
//   bench_master [runs] [folder]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/recording_ui.h"
#include "convert/master/master_steps.h"
#include "store/engine/sx.h"
#include "support/memory_source.h"
#include "support/working_dossier.h"

namespace {

using testing_support::dateValue;
using testing_support::integer;
using testing_support::MemoryRowSet;
using testing_support::MemoryTable;
using testing_support::namedRows;
using testing_support::Row;
using testing_support::text;

std::string digits(long value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*ld", width, value);
  return buffer;
}

// A valid Belgian account: ten digits and their check value.
std::string belgianAccount(long seed) {
  long long first = 1000000000LL + seed * 7919 % 8999999999LL;
  long long r = first % 97;
  return std::to_string(first) + digits(r == 0 ? 97 : r, 2);
}

MemoryTable partyTable(const char* numberColumn, const char* prefix, long count) {
  std::vector<Row> t;
  t.reserve(count);
  for (long i = 0; i < count; ++i) {
    bool foreign = i % 10 == 0;
    t.push_back({{numberColumn, text(prefix + digits(i, 7))},
                      {"COMPANY", text("Société " + std::to_string(i) + " SPRL")},
                      {"LASTNAME", text("Contact " + std::to_string(i))},
                      {"ADDRESS", text("Rue de la Station " + std::to_string(i % 300))},
                      {"COUNTRYID", text(foreign ? "NL" : "BE")},
                      {"PHONEBUSINESS", text("02/" + digits(i, 7))},
                      {"VATNUM", text("0" + digits(400000000 + i, 9))},
                      {"BANKNUM", text(belgianAccount(i))},
                      {"BANKFORMAT", text("BE")},
                      {"LANGID", text(std::to_string(i % 2))},
                      {"CITY", text("Ville " + std::to_string(i % 2000))},
                      // Belgian codes of the template, and foreign ones that are added.
                      {"ZIPCODEID", text(foreign ? digits(i % 5000, 4) : std::to_string(1000 + i % 8000))},
                      {"PAYTYPE", text(i % 3 ? "30" : "60F")},
                      {"IBAN1", text("BE" + digits(i, 14))},
                      {"BIC1", text("GEBABEBB")}});
  }
  return namedRows({numberColumn, "COMPANY", "LASTNAME", "ADDRESS", "COUNTRYID", "PHONEBUSINESS", "PHONEFAX", "VATNUM",
                    "BANKNUM", "BANKFORMAT", "LANGID", "CITY", "ZIPCODEID", "PAYTYPE", "INPUTID", "CTRZACCTID", "IBAN1",
                    "BIC1"},
                   t);
}

MemoryTable accountTable(long count) {
  std::vector<Row> t;
  t.reserve(count);
  for (long i = 0; i < count; ++i) {
    int type = i % 50 == 0 ? 3 : i % 97 == 0 ? 1 : i % 89 == 0 ? 2 : i % 83 == 0 ? 4 : 0;
    std::string number = type == 3 ? std::to_string(10 + i / 50) : digits(100000 + i * 89 % 899999, 6);
    t.push_back({{"TYPE", integer(type)},
                      {"GENERALID", text(number)},
                      {"WORDINGFR", text("Compte " + number)},
                      {"WORDINGNL", text("Rekening " + number)},
                      {"CRCYID", text(type == 4 ? "USD" : "")}});
  }
  return namedRows({"TYPE", "GENERALID", "WORDINGFR", "WORDINGNL", "CRCYID", "FLAGDC"}, t);
}

MemoryTable periodTable() {
  std::vector<Row> t;
  t.push_back({{"PeriodId", integer(0)}, {"BeginDate", dateValue(2024, 1, 1)}, {"EndDate", dateValue(2024, 1, 1)}});
  for (int m = 1; m <= 12; ++m) {
    t.push_back({{"PeriodId", integer(m)}, {"BeginDate", dateValue(2024, m, 1)}, {"EndDate", dateValue(2024, m, 28)}});
  }
  t.push_back({{"PeriodId", integer(13)}, {"BeginDate", dateValue(2024, 12, 31)}, {"EndDate", dateValue(2024, 12, 31)}});
  return namedRows({"PeriodId", "BeginDate", "EndDate"}, t);
}

struct Sizes {
  long customers, suppliers, accounts, categories, payments;
};

// Seconds per step of one import into a fresh working dossier.
std::map<std::string, double> importOnce(const std::filesystem::path& folder, const Sizes& n) {
  testing_support::MemorySource source;
  std::vector<Row> categories;
  for (long i = 0; i < n.categories; ++i) {
    categories.push_back({{"CatID", text(digits(i, 4) + "CAT")}, {"TypeID", text(i % 2 ? "20" : "10")},
                               {"Wording", text("Catégorie " + std::to_string(i))}});
  }
  source.answers["select * from D_Category order by catID"] = namedRows({"CatID", "TypeID", "Wording"}, categories);
  std::vector<Row> payments;
  for (long i = 0; i < n.payments; ++i) {
    payments.push_back({{"PayType", text(std::to_string(i))}, {"Wording", text(std::to_string(i) + " jours")}});
  }
  source.answers["select * from D_PayType order by paytype"] = namedRows({"PayType", "Wording"}, payments);

  base::RecordingUi ui;
  bool created = false;
  store::WorkingDossier dossier = testing_support::newWorkingDossier(ui, folder, "F", created);
  if (!created) std::exit(1);

  base::RunContext ctx;
  ctx.ui = &ui;
  ctx.source = ctx.yearSource = &source;
  ctx.prefixedLayout = true;
  ctx.generalAccountLength = "6";
  ctx.sourceVersion = "2.10.0";
  bool failed = false;
  ctx.showImportError = [&](const std::string& m) {
    std::fprintf(stderr, "import error: %s\n", m.c_str());
    failed = true;
  };
  ctx.setStepLabel = [&](const std::string&) { ui.processEvents(); };
  ctx.setRecordLabel = [&](const std::string&) { ui.processEvents(); };

  MemoryRowSet company(namedRows({"NAME", "ADDRESS", "ZIPCODEID", "CITY", "CountryID", "VATFORMAT", "VATNUM"},
                                   {{{"NAME", text("Grande Société SA")}, {"VATNUM", text("0123456789")}}}));
  MemoryRowSet customers(partyTable("CustID", "C", n.customers));
  MemoryRowSet suppliers(partyTable("SUPPID", "F", n.suppliers));
  MemoryRowSet accounts(accountTable(n.accounts));
  MemoryRowSet periods(periodTable());

  std::map<std::string, double> seconds;
  auto time = [&](const char* name, const std::function<bool()>& step) {
    auto start = std::chrono::steady_clock::now();
    bool ok = step();
    seconds[name] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok || failed) {
      std::fprintf(stderr, "step %s failed\n", name);
      std::exit(1);
    }
  };
  const std::string& prefix = dossier.prefix;
  time("categories", [&] { return convert::ConvertCategories(ctx, prefix); });
  time("payment codes", [&] { return convert::ConvertPaymentCodes(ctx, prefix); });
  time("company", [&] { return convert::writeCompanyIdentity(ctx, company, dossier.paramFile); });
  time("customers", [&] { return convert::ConvertCustomers(ctx, customers, prefix); });
  time("suppliers", [&] { return convert::ConvertSuppliers(ctx, suppliers, prefix); });
  time("general accounts", [&] { return convert::ConvertGeneralAccounts(ctx, accounts, prefix); });
  time("book year", [&] { return convert::writeBookYear(ctx, periods, prefix); });
  time("languages", [&] {
    convert::writeDossierLanguages(ctx, prefix);
    return true;
  });
  store::sx_CloseAll();
  return seconds;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::filesystem::path folder = argc > 2 ? std::filesystem::path(argv[2])
                                          : std::filesystem::temp_directory_path() / "m2k_bench_master";
  const Sizes full{50000, 20000, 10000, 200, 50};
  const Sizes half{25000, 10000, 5000, 100, 25};
  const char* order[] = {"categories", "payment codes", "company", "customers", "suppliers",
                         "general accounts", "book year", "languages"};
  std::map<std::string, std::vector<double>> fullTimes, halfTimes;
  for (int r = 0; r < runs; ++r) {
    for (auto& [step, s] : importOnce(folder, half)) halfTimes[step].push_back(s);
    for (auto& [step, s] : importOnce(folder, full)) fullTimes[step].push_back(s);
  }
  std::filesystem::remove_all(folder);

  std::printf("master-data import, median of %d runs (50,000 customers, 20,000 suppliers, 10,000 accounts)\n", runs);
  std::printf("%-18s %12s %12s %10s\n", "step", "full (s)", "half (s)", "full/half");
  double total = 0;
  for (const char* step : order) {
    double f = median(fullTimes[step]), h = median(halfTimes[step]);
    total += f;
    std::printf("%-18s %12.3f %12.3f %10.2f\n", step, f, h, h > 0 ? f / h : 0.0);
  }
  std::printf("%-18s %12.3f   (target: under 30 s)\n", "whole import", total);
  return total < 30 ? 0 : 2;
}
