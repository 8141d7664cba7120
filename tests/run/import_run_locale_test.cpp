// The run and its steps called from a host whose C library writes numbers
// with a decimal comma (a Belgian desktop): the dossier must be the one a run
// under the classic locale writes, number for number. The run is driven here
// without the host object, whose switch to the classic locale would hide it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "base/recording_ui.h"
#include "host/wizard.h"
#include "run/services.h"
#include "run/steps_table.h"
#include "store/table_report.h"
#include "support/belgian_locale.h"
#include "support/bilingual_print.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

// A full import of the generated sample company into `kestrel`; every table
// of the dossier as CSV text, by file name.
std::map<std::string, std::string> importSample(const fs::path& kestrel) {
  fs::create_directories(kestrel);
  base::RecordingUi ui;
  host::frmMain w(ui, run::defaultServices(), run::defaultSteps(), (kestrel / "Marlin2KS.ini").string());
  w.ctx.language = "F";
  w.reportFolder = (kestrel / "reports").string();
  w.Load();
  w.control("txtPathMarlin").text = std::string(M2K_BUILD_DIR) + "/samples/access-prefixed";
  w.control("cboCompany").text = "001 - Sample";
  w.ctx.companyCode = "001";
  w.control("txtPathKestrel").text = kestrel.string();
  w.control("txtCompanyName").text = "ACME";
  w.click("OptCompta");
  w.click("cmdOk");
  EXPECT_TRUE(w.isUnloaded()) << ::testing::PrintToString(ui.texts());
  std::map<std::string, std::string> tables;
  for (const auto& e : fs::directory_iterator(kestrel / "ACME")) {
    if (e.path().extension() != ".DBF") continue;
    std::ostringstream csv;
    base::Bilingual error;
    EXPECT_TRUE(store::dumpTableCsv(e.path(), csv, error)) << error;
    tables[e.path().filename().string()] = csv.str();
  }
  return tables;
}

TEST(ImportRunLocale, ADecimalCommaInTheHostChangesNoNumber) {
  const auto& locale = testing_support::belgianFrenchLocale();
  if (locale.name.empty()) GTEST_SKIP() << "no fr_BE.UTF-8 locale and none can be generated (localedef, Debian package locales)";
  testing_support::ScratchFolder scratch;
  const auto classic = importSample(scratch.path() / "classic");
  ASSERT_GT(classic.size(), 10u);
  testing_support::ProcessLocale host(locale);
  ASSERT_TRUE(host.set());
  const auto comma = importSample(scratch.path() / "comma");
  ASSERT_EQ(comma.size(), classic.size());
  for (const auto& [file, csv] : classic) {
    // The first line that differs, not the whole table.
    std::istringstream a(csv), b(comma.at(file));
    std::string lineA, lineB;
    for (int line = 1;; ++line) {
      const bool inA = static_cast<bool>(std::getline(a, lineA)), inB = static_cast<bool>(std::getline(b, lineB));
      if (!inA && !inB) break;
      if (inA && inB && lineA == lineB) continue;
      ADD_FAILURE() << file << " line " << line << "\nclassic: " << lineA << "\ncomma:   " << lineB;
      break;
    }
  }
}

}  // namespace
