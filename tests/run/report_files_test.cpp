// Pieces of the report that stand on their own: the SHA-256 of source files
// (checked against coreutils' sha256sum), the exact reading of amounts and
// figures written the same whatever locale the host set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <random>

#include "run/file_digest.h"
#include "run/reconciliation.h"
#include "run/report_writer.h"
#include "support/belgian_locale.h"

namespace {

namespace fs = std::filesystem;

std::string sha256sum(const fs::path& file) {
  const fs::path out = file.string() + ".sum";
  std::system(("sha256sum '" + file.string() + "' > '" + out.string() + "'").c_str());
  std::string line;
  std::getline(std::ifstream(out), line);
  fs::remove(out);
  return line.substr(0, 64);
}

TEST(FileDigest, MatchesSha256sumAcrossBlockBoundaries) {
  const fs::path dir = fs::temp_directory_path() / ("m2k-digest-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  std::mt19937 random(7);
  // Sizes around the 64-byte block and the 56-byte padding limit, and a large file.
  for (size_t size : {size_t(0), size_t(55), size_t(56), size_t(63), size_t(64), size_t(65), size_t(200003), size_t(3u << 20)}) {
    const fs::path file = dir / ("f" + std::to_string(size));
    {
      std::ofstream out(file, std::ios::binary);
      for (size_t i = 0; i < size; ++i) out.put(static_cast<char>(random()));
    }
    const std::string expected = sha256sum(file);
    // The processor's instructions (where it has them) and the plain code.
    for (run::DigestCode code : {run::DigestCode::Fastest, run::DigestCode::Portable}) {
      std::string digest;
      uint64_t bytes = 0;
      ASSERT_TRUE(run::fileDigest(file.string(), digest, bytes, code));
      EXPECT_EQ(bytes, size);
      EXPECT_EQ(digest, expected) << size;
    }
  }
  std::string digest;
  uint64_t bytes = 0;
  EXPECT_FALSE(run::fileDigest((dir / "missing").string(), digest, bytes));
  fs::remove_all(dir);
}

TEST(ReconciliationAmounts, DecimalTextsInThousandthsHalvesAwayFromZero) {
  EXPECT_EQ(run::thousandthsOf(std::string("  125.50")), 125500);
  EXPECT_EQ(run::thousandthsOf(std::string("-12.3456")), -12346);
  EXPECT_EQ(run::thousandthsOf(std::string("-12.3454")), -12345);
  EXPECT_EQ(run::thousandthsOf(std::string("0.0005")), 1);
  EXPECT_EQ(run::thousandthsOf(std::string("1.5E2")), 150000);
  EXPECT_EQ(run::thousandthsOf(std::string("")), 0);
  EXPECT_EQ(run::thousandthsOf(std::string("99999999999.999")), 99999999999999);
  EXPECT_EQ(run::thousandthsOf(base::Value::ofInt(-7)), -7000);
}

// A host may set the global C++ locale from a Belgian desktop (thousands
// grouped with a dot, a decimal comma).
TEST(ReportText, FiguresIgnoreTheHostsLocale) {
  const auto& locale = testing_support::belgianFrenchLocale();
  if (locale.name.empty()) GTEST_SKIP() << "no fr_BE.UTF-8 locale and none can be generated";
  base::RunReport report;
  report.begin(base::RunReport::Kind::Import, "F");
  report.source.files.push_back({"001Soc.MDB", 294912, "ab"});
  report.beginStep("documents", 0);
  for (int row = 0; row < 1234; ++row) report.rowRead();
  report.endStep(1.5, true);
  report.finish(true);
  if (locale.made) setenv("LOCPATH", locale.folder().c_str(), 1);
  const std::locale before = std::locale::global(std::locale(locale.name));
  const std::string text = run::reportText(report);
  std::locale::global(before);
  unsetenv("LOCPATH");
  EXPECT_NE(text.find("294912 octets"), std::string::npos) << text;
  EXPECT_NE(text.find("1.500 s, 1234 lignes source lues"), std::string::npos) << text;
}

}  // namespace
