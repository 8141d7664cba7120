// marlin-sample: writes one sample Marlin company dossier in a chosen form.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "marlin_forms.h"
#include "report_variants.h"

namespace {

const char* kUsage =
    "Usage: marlin-sample --form access-prefixed|access-older|sql --out DIR --company CODE\n"
    "                     [--years N] [--lines N] [--seed S] [--variant seeded|clean|number-too-long]\n"
    "  --years N   book years 00 .. N-1 (default 2)\n"
    "  --lines N   accounting lines per book year (default 200, at least 14)\n"
    "  --seed S    the same seed gives the same dossier (default 1)\n"
    "  --variant   seeded: every value the import clips, drops or renames (default);\n"
    "              clean: none of them, the source imports as it is;\n"
    "              number-too-long: clean, with one customer number too long to import\n";

bool wholeNumber(const std::string& s, long long& out) {
  if (s.empty() || s.size() > 18) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  out = std::stoll(s);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string form, out;
  marlin::Options options;
  bool haveCompany = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "Option incomplète / onvolledige optie: %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
    const std::string value = argv[++i];
    long long n = 0;
    if (arg == "--form") form = value;
    else if (arg == "--out") out = value;
    else if (arg == "--company") options.company = value, haveCompany = true;
    else if (arg == "--variant") {
      try {
        options.variant = marlin::parseVariant(value);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n%s", e.what(), kUsage);
        return 2;
      }
    }
    else if ((arg == "--years" || arg == "--lines" || arg == "--seed") && wholeNumber(value, n)) {
      if (arg == "--years") options.years = int(std::min<long long>(n, 1000));
      else if (arg == "--lines") options.lines = n;
      else options.seed = uint64_t(n);
    } else {
      std::fprintf(stderr, "Option ou valeur invalide / ongeldige optie of waarde: %s %s\n%s", arg.c_str(),
                   value.c_str(), kUsage);
      return 2;
    }
  }
  if (form.empty() || out.empty() || !haveCompany) {
    std::fprintf(stderr, "--form, --out et --company sont obligatoires / zijn verplicht.\n%s", kUsage);
    return 2;
  }
  try {
    const marlin::Form f = marlin::parseForm(form);
    const marlin::Dossier dossier(options);
    const auto start = std::chrono::steady_clock::now();
    const auto files = marlin::writeDossier(dossier, f, out);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Dossier %s (%s), %d book year(s), %lld lines per year, seed %llu\n", options.company.c_str(),
                dossier.companyName().c_str(), options.years, (long long)options.lines,
                (unsigned long long)options.seed);
    for (const auto& file : files) {
      std::error_code ec;
      const auto size = std::filesystem::file_size(file.path, ec);
      std::printf("%s (%llu bytes)\n", file.path.string().c_str(), ec ? 0ull : (unsigned long long)size);
      for (const auto& t : file.tables) std::printf("  %-22s %10lld rows\n", t.name.c_str(), (long long)t.rows);
    }
    std::printf("Written in %.2f s\n", seconds);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
