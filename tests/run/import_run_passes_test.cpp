// Which steps a run calls, in which order and on which book years, and how
// the finished dossier is put in place.
#include <algorithm>
#include <atomic>
#include <chrono>

#include "import_run_fixture.h"
#include "store/file_operations.h"

namespace {

using Trace = std::vector<std::string>;

class Passes : public ImportRunTest {};

TEST_F(Passes, MasterDataOnlyMakesOnePassOnTheNewestYear) {
  lastIndex = 3;
  company = prefixedCompany(3);
  auto& w = accessWizard();
  w.click("cmdOk");
  EXPECT_EQ(trace, (Trace{"categories:03", "paymentCodes:03", "accountLength:03", "companyIdentity:03",
                          "customers:03", "suppliers:03", "generalAccounts:03", "bookYear:03",
                          "dossierLanguages:03"}));
  // The working dossiers are built in a run folder of the Kestrel data folder.
  ASSERT_EQ(workingFolders.size(), 1u);
  const fs::path runFolder = *workingFolders.begin();
  EXPECT_EQ(runFolder.parent_path(), kestrel);
  EXPECT_EQ(prefixes.front(), (runFolder / "VIDE03" / "VIDE03").string());
  EXPECT_EQ(messageTexts(), Trace{"L'importation s'est déroulée correctement"});
  EXPECT_EQ(ui.messages[0].icon, base::MsgIcon::None);
  EXPECT_EQ(executionDone, 1);
  EXPECT_TRUE(w.isUnloaded());
  EXPECT_EQ(w.control("Label8").text, "Terminated...");
  EXPECT_EQ(w.control("ProgressBar1").progress, 100);
  // The working dossier of the year is placed under the dossier's name; the
  // run folder goes with the run.
  ASSERT_EQ(placements.size(), 1u);
  EXPECT_EQ(placements[0].workingFolder, runFolder.string());
  EXPECT_EQ(placements[0].bookYearIndex, 3);
  EXPECT_FALSE(placements[0].twoYears);
  EXPECT_EQ(placements[0].kestrelFolder, kestrel.string());
  EXPECT_EQ(placements[0].dossierName, "ACME");
  EXPECT_TRUE(fs::exists(kestrel / "ACME" / "ACME_PARAM.DBF"));
  EXPECT_EQ(std::distance(fs::directory_iterator(kestrel), fs::directory_iterator()), 1);
}

TEST_F(Passes, UntickedMasterDataIsSkipped) {
  auto& w = accessWizard("N");
  w.click("chkClients");
  w.click("chkGeneralLegders");
  w.click("cmdOk");
  EXPECT_EQ(trace, (Trace{"categories:01", "paymentCodes:01", "accountLength:01", "companyIdentity:01",
                          "suppliers:01", "bookYear:01", "dossierLanguages:01"}));
  EXPECT_EQ(messageTexts(), Trace{"Import OK!"});

  // Accounts only: no categories or payment codes either.
  trace.clear();
  fs::remove_all(kestrel / "ACME");
  auto& again = accessWizard();
  again.click("chkClients");
  again.click("chkSuppliers");
  again.click("cmdOk");
  EXPECT_EQ(trace, (Trace{"accountLength:01", "companyIdentity:01", "generalAccounts:01", "bookYear:01",
                          "dossierLanguages:01"}));
}

TEST_F(Passes, FullImportRunsTwoPassesThenMerges) {
  lastIndex = 1;
  foreignJournals = true;
  auto& w = accessWizard("F", true);
  w.click("OptCompta");
  w.click("cmdOk");
  EXPECT_EQ(trace, (Trace{"categories:00", "paymentCodes:00", "accountLength:00", "companyIdentity:00",
                          "customers:00", "suppliers:00", "generalAccounts:00", "bookYear:00", "journals:00",
                          "openingEntries:00", "yearDocuments:00", "dossierLanguages:00",
                          "completeDocumentAccounts:00", "completeCurrencyAmounts:00",
                          // master data of customers and suppliers only once; the length is settled once
                          "companyIdentity:01", "generalAccounts:01", "bookYear:01", "journals:01",
                          "openingEntries:01", "yearDocuments:01", "dossierLanguages:01",
                          "completeDocumentAccounts:01", "completeCurrencyAmounts:01", "merge:0+1"}));
  EXPECT_EQ(executionDone, 1);
  // The merged older year becomes the dossier.
  ASSERT_EQ(placements.size(), 1u);
  EXPECT_EQ(placements[0].bookYearIndex, 0);
  EXPECT_TRUE(placements[0].twoYears);
  EXPECT_TRUE(fs::exists(kestrel / "ACME" / "ACME_DBK_02.DBF"));
}

// Beside the older year the newer one runs every step of its pass, its messages come after the older year's,
// noted in the report under its own steps, which follow the older year's.
TEST_F(Passes, NewerYearBesideTheOlderShowsItsMessagesAfterTheOlderYears) {
  sideBySide = true;
  foreignJournals = true;
  telling = {"journals:01", "yearDocuments:01", "journals:00", "yearDocuments:00"};
  auto& w = accessWizard("F", true);
  w.click("OptCompta");
  w.click("cmdOk");
  EXPECT_EQ(messageTexts(), (Trace{"journals:00", "yearDocuments:00", "journals:01", "yearDocuments:01",
                                   "L'importation s'est déroulée correctement"}));
  Trace newer;
  std::copy_if(trace.begin(), trace.end(), std::back_inserter(newer),
               [](const std::string& t) { return t.ends_with(":01"); });
  EXPECT_EQ(newer, (Trace{"companyIdentity:01", "generalAccounts:01", "bookYear:01",
                          "journals:01", "openingEntries:01", "yearDocuments:01", "dossierLanguages:01",
                          "completeDocumentAccounts:01", "completeCurrencyAmounts:01"}));
  EXPECT_EQ(trace.back(), "merge:0+1");

  const auto& steps = w.ctx.report.steps();
  std::vector<int> years;
  for (const auto& step : steps)
    if (years.empty() || years.back() != step.bookYear) years.push_back(step.bookYear);
  EXPECT_EQ(years, (std::vector<int>{0, 1, -1}));
  for (const auto& m : w.ctx.report.messages()) {
    if (m.text != "yearDocuments:01") continue;
    ASSERT_GE(m.step, 0);
    EXPECT_EQ(steps[static_cast<size_t>(m.step)].name, "documents");
    EXPECT_EQ(steps[static_cast<size_t>(m.step)].bookYear, 1);
  }
  ASSERT_EQ(placements.size(), 1u);
  EXPECT_TRUE(placements[0].twoYears);
  EXPECT_EQ(w.control("Label8").text, "Terminated...");
  EXPECT_EQ(executionDone, 1);
}

// Either year failing fails the run with its message and leaves the Kestrel
// folder as it was; what the newer year showed beside a failed older year is
// never shown, as it would not have run.
TEST_F(Passes, EitherYearBesideTheOtherFailingFailsTheRun) {
  sideBySide = true;
  telling = {"yearDocuments:00", "bookYear:01"};
  failing = {"journals:01"};
  auto& w = accessWizard("F", true);
  w.click("OptCompta");
  w.click("cmdOk");
  EXPECT_EQ(messageTexts(), (Trace{"yearDocuments:00", "bookYear:01",
                                   "Une erreur est survenue dans la création des journaux."}));
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "openingEntries:01"), 0);
  EXPECT_TRUE(placements.empty());
  EXPECT_TRUE(kestrelUntouched());
  EXPECT_TRUE(w.control("cmdOk").enabled);

  failing = {"journals:00"};
  ui.messages.clear();
  w.click("cmdOk");
  EXPECT_EQ(messageTexts(), Trace{"Une erreur est survenue dans la création des journaux."});
  EXPECT_TRUE(placements.empty());
  EXPECT_TRUE(kestrelUntouched());
  EXPECT_EQ(executionDone, 0);
}

// A question cannot be kept for later: the newer year is converted again on
// the window's thread, where it is asked once and its answer used.
TEST_F(Passes, AQuestionOfTheNewerYearIsAskedWhereThePersonCanAnswer) {
  sideBySide = true;
  asking = {"yearDocuments:01"};
  auto& w = accessWizard("F", true);
  w.click("OptCompta");
  w.click("cmdOk");
  EXPECT_EQ(answers, Trace{"yearDocuments:01 yes"});
  EXPECT_EQ(messageTexts(), (Trace{"yearDocuments:01 ?", "L'importation s'est déroulée correctement"}));
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "yearDocuments:01"), 2) << "stopped at the question, then again";
  ASSERT_EQ(placements.size(), 1u);
  EXPECT_TRUE(placements[0].twoYears);
}

TEST_F(Passes, FailedMergeOrPlacementIsAFailedRun) {
  lastIndex = 1;
  failing = {"merge"};
  auto& w = accessWizard("N", true);
  w.click("OptCompta");
  w.click("cmdOk");
  EXPECT_EQ(messageTexts(), Trace{"Er is een fout ontstaan bij het samenvoegen van de twee boekjaren."});
  EXPECT_TRUE(placements.empty());
  EXPECT_EQ(executionDone, 0);
  EXPECT_FALSE(w.isUnloaded());
  EXPECT_TRUE(w.control("cmdOk").enabled);
  EXPECT_TRUE(kestrelUntouched());

  failing.clear();
  placeProblem = "Impossible de mettre le dossier en place dans ACME : le disque est plein.";
  ui.messages.clear();
  w.click("cmdOk");
  EXPECT_EQ(messageTexts(), Trace{*placeProblem});
  EXPECT_EQ(executionDone, 0);
  EXPECT_FALSE(w.isUnloaded());
  EXPECT_TRUE(kestrelUntouched()) << "the run folder goes with a failed run";
}

// The finished dossier's books are read beside the writing of its entries
// index. A failure is shown as when the two ran in turn: the index's alone,
// the read, joined before the run's folder goes, saying nothing; else the
// read's reason, then the reconciliation's message.
TEST_F(Passes, FinishedBooksAreReadBesideTheEntriesIndex) {
  lastIndex = 1;
  bool indexFails = true, readBeside = false, filesLastedTheRead = false;
  std::atomic<bool> reading{false};
  moreServices = [&](run::Services& s) {
    s.deferIndex = [](const std::string&) {};
    s.dropDeferredIndex = [](const std::string&) {};
    s.writeDeferredIndex = [&](base::Ui* shown, const std::string&, const std::string&) {
      for (int i = 0; i < 1000 && !reading; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      readBeside = reading;
      if (indexFails) shown->messageBox("index", base::MsgButtons::Ok, base::MsgIcon::Critical, "");
      return !indexFails;
    };
    s.readTargetBooks = [&](const std::string& prefix, run::TargetBooks&, base::Bilingual& error) {
      reading = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      filesLastedTheRead = fs::exists(store::nativePath(prefix + "_PARAM.DBF"));
      error = base::Bilingual("lecture", "lezen");
      return false;
    };
  };
  auto& w = accessWizard("F", true);
  w.click("OptCompta");
  w.click("cmdOk");
  EXPECT_TRUE(readBeside);
  EXPECT_EQ(messageTexts(), Trace{"index"});
  EXPECT_TRUE(filesLastedTheRead);
  EXPECT_TRUE(kestrelUntouched());

  indexFails = false;
  reading = false;
  ui.messages.clear();
  w.click("cmdOk");
  EXPECT_TRUE(readBeside);
  EXPECT_EQ(messageTexts(), (Trace{"lecture", "La réconciliation n'a pas pu lire le dossier Kestrel terminé."}));
  EXPECT_TRUE(placements.empty());
}

TEST_F(Passes, FullImportOfASingleYearNeedsNoMerge) {
  lastIndex = 0;
  company = prefixedCompany(0);
  auto& w = accessWizard("F", true);
  w.click("OptCompta");
  w.click("cmdOk");
  EXPECT_EQ(trace.back(), "completeDocumentAccounts:00") << "no currency journals, no merge";
  EXPECT_TRUE(fs::exists(kestrel / "ACME" / "ACME_PARAM.DBF"));
  EXPECT_FALSE(fs::exists(kestrel / "ACME" / "ACME_DBK_02.DBF"));
}

TEST_F(Passes, GeneralAccountLengthIsClampedToFourToEight) {
  for (auto [longest, expected] : std::vector<std::pair<std::string, std::string>>{
           {"3", "4"}, {"10", "8"}, {"6", "6"}, {"", "4"}}) {
    longestAccount = longest;
    fs::remove_all(kestrel / "ACME");
    auto& w = accessWizard();
    w.click("cmdOk");
    EXPECT_EQ(w.ctx.generalAccountLength, expected) << longest;
  }
}

TEST_F(Passes, SqlEditionReadsItsVersionAndTablesThroughQueries) {
  sqlDatabases["PW0001SOC"] = prefixedCompany(1);
  auto& w = wizard(true, "N");
  w.type("cboServeur", " srv ");
  w.ctx.companyCode = "001";
  w.control("txtPathKestrel").text = kestrel.string();
  w.control("txtCompanyName").text = "ACME";
  w.click("cmdOk");
  EXPECT_EQ(messageTexts(), Trace{"Import OK!"});
  EXPECT_EQ(w.ctx.sourceVersion, "2.10.7");
  EXPECT_TRUE(w.ctx.prefixedLayout);
  // Tested, then the template written, then opened for the run.
  EXPECT_EQ((Trace{calls[1], calls[2], calls[3]}),
            (Trace{"openSql:srv//PW0001SOC", "template:N", "openSql:srv//PW0001SOC"}));
}

TEST_F(Passes, OldAccessVersionWarnsAndGoesOn) {
  company.tables["version"] = versionTable(1, 49);
  auto& w = accessWizard();
  w.click("cmdOk");
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "Ce Programme n'a été testé qu'avec les fichier Marlin 1.50 et supérieurs.");
  EXPECT_EQ(ui.messages[0].title, "MarlinToKestrel");
  EXPECT_EQ(w.ctx.sourceVersion, "");
  EXPECT_EQ(w.ctx.sourceMinorVersion, "49");
  EXPECT_EQ(executionDone, 1);
}

TEST_F(Passes, OlderLayoutReadsEachYearFromItsOwnDatabase) {
  company = MemorySource{};
  company.tables["version"] = versionTable(1, 60);
  for (const char* t : {"dParam", "AcctCustomer", "AcctSupplier", "AcctGeneral"}) company.tables[t] = {{"X"}, {}};
  MemorySource year;
  year.tables["Period"] = {{"BeginDate"}, {{testing_support::dateValue(2019, 4, 1)}}};
  yearDatabases["001A01.mdb"] = year;
  touch(marlin / "001A01.mdb");
  auto& w = accessWizard();
  w.click("cmdOk");
  EXPECT_EQ(messageTexts(), Trace{"L'importation s'est déroulée correctement"});
  EXPECT_FALSE(w.ctx.prefixedLayout);
  EXPECT_NE(std::find(calls.begin(), calls.end(), "openAccess:001A01.mdb"), calls.end());
}

TEST_F(Passes, LabelsAndProgressFollowTheRun) {
  auto& w = accessWizard();
  w.click("cmdOk");
  using Seen = std::pair<int, std::string>;
  EXPECT_EQ(seen["categories"], (Seen{2, "Dossier Ex. 2021"}));
  EXPECT_EQ(seen["paymentCodes"], (Seen{3, "Dossier Ex. 2021"}));
  EXPECT_EQ(seen["companyIdentity"].first, 5);
  EXPECT_EQ(seen["customers"].first, 10);
  EXPECT_EQ(seen["suppliers"].first, 15);
  EXPECT_EQ(seen["generalAccounts"].first, 20);
  EXPECT_EQ(seen["bookYear"].first, 25);
  EXPECT_EQ(seen["dossierLanguages"].first, 100);
  EXPECT_EQ(w.control("Label9").text, "");
  EXPECT_EQ(w.control("Label8").text, "Terminated...");
  EXPECT_TRUE(ui.busyChanges.front());
  EXPECT_FALSE(ui.busy);
}

}  // namespace

namespace {

TEST_F(Passes, RunStateOfAFailedRunDoesNotLeakIntoTheNext) {
  auto& w = accessWizard("F", true);
  w.click("OptCompta");
  foreignJournals = true;
  failing = {"yearDocuments"};
  w.click("cmdOk");
  ASSERT_EQ(executionDone, 0);
  EXPECT_EQ(w.ctx.journals.foreignCurrency, std::set<std::string>{"USD"});

  // The same wizard, pressed again: no currency journals this time.
  foreignJournals = false;
  failing.clear();
  trace.clear();
  w.click("cmdOk");
  EXPECT_EQ(executionDone, 1);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "completeCurrencyAmounts:00"), 0);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "customers:00"), 1) << "master data again in the first pass";
}

}  // namespace
