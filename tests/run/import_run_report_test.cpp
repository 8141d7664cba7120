// The report around the run's steps (recording steps, a source in memory):
// where it is written, the steps and messages it holds, repeated messages
// shown once, and a source check that keeps nothing but the report.
#include "import_run_fixture.h"

namespace {

using testing_support::readText;

class RunReport : public ImportRunTest {
 protected:
  const base::RunReport& report() const { return form->ctx.report; }
  std::vector<std::string> stepNames() const {
    std::vector<std::string> names;
    for (const base::StepRecord& s : report().steps())
      names.push_back(s.name + (s.bookYear < 0 ? "" : ":" + std::to_string(s.bookYear)));
    return names;
  }
  std::vector<fs::path> filesIn(const fs::path& folder) const {
    std::vector<fs::path> files;
    if (fs::exists(folder))
      for (auto& e : fs::recursive_directory_iterator(folder)) files.push_back(e.path());
    return files;
  }
};

TEST_F(RunReport, SuccessfulImportPlacesItsReportInTheDossier) {
  auto& w = accessWizard();
  w.click("OptSignal");
  w.click("cmdOk");
  ASSERT_EQ(executionDone, 1);
  const fs::path text = kestrel / "ACME" / "ACME_MIGRATION.txt";
  EXPECT_TRUE(fs::exists(text));
  EXPECT_TRUE(fs::exists(kestrel / "ACME" / "ACME_MIGRATION.json"));
  ASSERT_EQ(ui.texts().size(), 1u);
  EXPECT_EQ(ui.texts()[0], "L'importation s'est déroulée correctement\r\n\r\nRapport de migration : " + text.string());
  EXPECT_EQ(stepNames(), (std::vector<std::string>{"categories:1", "payment-codes:1", "account-length:1",
                                                   "company-identity:1", "customers:1", "suppliers:1",
                                                   "general-accounts:1", "book-year:1", "dossier-languages:1"}));
  // Its own last message is part of the report.
  ASSERT_EQ(report().messages().size(), 1u);
  EXPECT_EQ(report().messages()[0].text, ui.texts()[0]);
  EXPECT_TRUE(filesIn(root / "reports").empty());
  EXPECT_NE(readText(text).find("importation réussie"), std::string::npos);
}

TEST_F(RunReport, FailedRunWritesItsReportOutsideTheKestrelFolder) {
  failing.insert("suppliers");
  auto& w = accessWizard("N");
  w.click("cmdOk");
  EXPECT_EQ(executionDone, 0);
  EXPECT_FALSE(targetWritten());
  const auto reports = filesIn(root / "reports");
  ASSERT_EQ(reports.size(), 2u);
  const std::string last = ui.texts().back();
  EXPECT_EQ(last.find("Probleem bij het ophalen van de leveranciers\r\n\r\nMigratierapport: "), 0u) << last;
  EXPECT_EQ(last.substr(last.size() - 4), ".txt");
  EXPECT_TRUE(fs::exists(last.substr(last.find(": ") + 2)));
  EXPECT_FALSE(report().succeeded());
  ASSERT_FALSE(report().steps().empty());
  EXPECT_EQ(report().steps().back().name, "suppliers");
  EXPECT_FALSE(report().steps().back().succeeded);
  EXPECT_EQ(report().messages().back().text, last);
}

// A message once shown per document is one box at the end of its step, with
// the number of cases; the report lists every case.
TEST_F(RunReport, RepeatedMessageIsOneBoxAtTheEndOfItsStep) {
  lastIndex = 0;
  throwing["yearDocuments"] = [this] {
    for (int doc = 1; doc <= 40; ++doc)
      form->ctx.report.repeated("several-matching-entries", "%n cases", "Title", "VEN " + std::to_string(doc));
  };
  auto& w = accessWizard("F", true);
  w.click("OptCompta");
  w.click("cmdOk");
  ASSERT_EQ(executionDone, 1) << ::testing::PrintToString(messageTexts());
  EXPECT_EQ(messageTexts(), (std::vector<std::string>{"40 cases", "L'importation s'est déroulée correctement"}));
  EXPECT_EQ(ui.messages[0].title, "Title");
  ASSERT_EQ(report().repeats().size(), 1u);
  EXPECT_EQ(report().repeats()[0].cases.size(), 40u);
  EXPECT_EQ(report().repeats()[0].cases.back(), "VEN 40");
  EXPECT_EQ(report().steps()[static_cast<size_t>(report().repeats()[0].step)].name, "documents");
  const std::string json = readText(kestrel / "ACME" / "ACME_MIGRATION.json");
  EXPECT_NE(json.find("\"text\":\"40 cases\",\"count\":40"), std::string::npos);
}

TEST_F(RunReport, SourceCheckKeepsNothingButItsReport) {
  auto& w = accessWizard();
  w.control("txtPathKestrel").text.clear();  // no Kestrel folder needed
  w.checkSourceOnly = true;
  w.click("OptSignal");
  w.click("cmdOk");
  EXPECT_EQ(executionDone, 0);
  EXPECT_TRUE(fs::is_empty(kestrel));
  const auto reports = filesIn(root / "reports");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].filename().string().rfind("MARLIN001_CHECK_", 0), 0u);
  EXPECT_EQ(report().kind(), base::RunReport::Kind::SourceCheck);
  EXPECT_TRUE(report().succeeded());
  // The private folder the steps filled is gone.
  for (const std::string& prefix : prefixes) EXPECT_FALSE(fs::exists(fs::path(prefix).parent_path())) << prefix;
  EXPECT_NE(ui.texts().back().find("Rapport du contrôle : " + (root / "reports").string()), std::string::npos);
}

}  // namespace
