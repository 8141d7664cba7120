// A wizard wired to recording steps and to a source held in memory, with
// real folders for the Kestrel data folder and the Marlin source folder.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/recording_ui.h"
#include "base/text.h"
#include "convert/entries/history_queries.h"
#include "host/wizard.h"
#include "store/dossier_placement.h"
#include "support/memory_source.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using testing_support::MemorySource;
using testing_support::MemoryTable;

class ImportRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = scratch.path();
    kestrel = root / "kestrel";
    marlin = root / "marlin";
    fs::create_directories(kestrel);
    fs::create_directories(marlin);
    touch(marlin / "001Soc.MDB");
    company = prefixedCompany(1);
  }

  static void touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
  }

  static MemoryTable versionTable(int major, int minor) {
    return {{"Major", "Minor", "Build"}, {{base::Value::ofInt(major), base::Value::ofInt(minor), base::Value::ofInt(7)}}};
  }

  // A prefixed-layout company with book years 0..last.
  static MemorySource prefixedCompany(int last) {
    MemorySource s;
    s.tables["version"] = versionTable(1, 60);
    s.tables["D_Version"] = versionTable(2, 10);
    for (const char* t : {"D_dParam", "D_AcctCustomer", "D_AcctSupplier", "D_AcctGeneral"}) s.tables[t] = {{"X"}, {}};
    for (int y = 0; y <= last; ++y) {
      const std::string nn = base::twoDigits(y);
      s.tables["A_" + nn + "_Period"] = {{"PeriodId", "BeginDate"},
                                                       {{base::Value::ofInt(0), testing_support::dateValue(2020 + y, 1, 1)}}};
      s.tables["A_" + nn + "_journal"] = {{"JrnlID"}, {}};
      s.answers[convert::documentListQuery(convert::SourceForm::AccessPrefixed, nn)] = {{"JrnlID"}, {}};
    }
    return s;
  }

  run::Services services() {
    run::Services s;
    s.prepareEngine = [this] { call("prepareEngine"); };
    s.closeAllTables = [this] { call("closeAllTables"); };
    s.passesSideBySide = sideBySide;
    if (engineWrites) {
      s.tableWriteFailure = run::defaultServices().tableWriteFailure;
      s.tableWriteFailure("F");  // nothing an earlier test left behind
    }
    s.createTemplateDossier = [this](base::Ui* shown, const std::string& working, const std::string& language) {
      calls.push_back("template:" + language);
      if (templateProblem) {
        shown->messageBox(*templateProblem, base::MsgButtons::Ok, base::MsgIcon::Exclamation, "");
        return false;
      }
      touch(fs::path(working) / "VIDE" / "VIDE_PARAM.DBF");
      touch(fs::path(working) / "VIDE" / "VIDE_ACF.DBF");
      return true;
    };
    s.prepareWorkingDossier = [this](base::Ui*, const std::string& working, int index, const std::string& language) {
      call("prepare:" + base::twoDigits(index) + ":" + language);
      std::lock_guard<std::mutex> hold(mutex);
      workingFolders.insert(working);
      const std::string name = "VIDE" + base::twoDigits(index);
      fs::path folder = fs::path(working) / name;
      fs::remove_all(folder);
      fs::create_directories(folder);
      for (auto& e : fs::directory_iterator(fs::path(working) / "VIDE"))
        fs::copy_file(e.path(), folder / (name + e.path().filename().string().substr(4)));
      return true;
    };
    s.placeDossier = [this](base::Ui* shown, const store::Placement& p) {
      placements.push_back(p);
      if (placeProblem) {
        shown->messageBox(*placeProblem, base::MsgButtons::Ok, base::MsgIcon::Critical, "");
        return false;
      }
      const std::string name = "VIDE" + base::twoDigits(p.bookYearIndex);
      const fs::path target = fs::path(p.kestrelFolder) / p.dossierName;
      fs::create_directories(target);
      for (auto& e : fs::directory_iterator(fs::path(p.workingFolder) / name))
        fs::copy_file(e.path(), target / (p.dossierName + e.path().filename().string().substr(6)));
      return true;
    };
    s.openAccess = [this](const std::string& file) -> std::unique_ptr<base::Source> {
      call("openAccess:" + fs::path(file).filename().string());
      std::string name = fs::path(file).filename().string();
      if (auto it = yearDatabases.find(name); it != yearDatabases.end())
        return std::make_unique<MemorySource>(it->second);
      return std::make_unique<MemorySource>(company);
    };
    s.openSql = [this](const run::SqlLogin& login, const std::string& database) -> std::unique_ptr<base::Source> {
      call("openSql:" + login.server + "/" + login.login + "/" + database);
      if (!sqlDatabases.count(database)) throw base::SourceError("Login failed");
      return std::make_unique<MemorySource>(sqlDatabases[database]);
    };
    s.lastBookYearIndex = [this](base::Source*, bool, bool, const std::string&) {
      if (auto it = throwing.find("lastBookYearIndex"); it != throwing.end()) it->second();
      return lastIndex;
    };
    s.checkVersionSe = [](base::Source& src) {
      for (auto& n : src.tableNames())
        if (n.rfind("D_", 0) == 0) return true;
      return false;
    };
    s.perYearDatabasePath = [this](const std::string& key, int index) -> std::string {
      std::string path = key + "A" + base::twoDigits(index) + ".mdb";
      return fs::exists(path) ? path : std::string();
    };
    if (moreServices) moreServices(s);
    return s;
  }

  // Steps that record "step:nn" and succeed unless told otherwise.
  run::Steps steps(bool withHistory) {
    run::Steps s;
    auto prefixStep = [this](const char* name) {
      return [this, name](base::RunContext& ctx, const std::string& prefix) {
        record(name, ctx, prefix);
        return !fails(name, ctx);
      };
    };
    auto rowsStep = [this](const char* name) {
      return [this, name](base::RunContext& ctx, base::RowSet&, const std::string& prefix) {
        record(name, ctx, prefix);
        return !fails(name, ctx);
      };
    };
    s.categories = prefixStep("categories");
    s.paymentCodes = prefixStep("paymentCodes");
    s.companyIdentity = rowsStep("companyIdentity");
    s.queryGeneralAccountLength = [this](base::RunContext& ctx) {
      record("accountLength", ctx, "");
      return longestAccount;
    };
    s.customers = rowsStep("customers");
    s.suppliers = rowsStep("suppliers");
    s.generalAccounts = rowsStep("generalAccounts");
    s.bookYear = rowsStep("bookYear");
    s.dossierLanguages = prefixStep("dossierLanguages");
    if (withHistory) {
      s.journals = [this](base::RunContext& ctx, base::RowSet&, const std::string& prefix) {
        record("journals", ctx, prefix);
        if (foreignJournals) ctx.journals.foreignCurrency.insert("USD");
        return !fails("journals", ctx);
      };
      s.openingEntries = prefixStep("openingEntries");
      s.yearDocuments = rowsStep("yearDocuments");
      s.completeDocumentAccounts = prefixStep("completeDocumentAccounts");
      s.completeCurrencyAmounts = prefixStep("completeCurrencyAmounts");
      s.mergeYears = [this](base::RunContext&, const std::string& working, int older, int newer) {
        trace.push_back("merge:" + std::to_string(older) + "+" + std::to_string(newer));
        // The merged result lives in the older year dossier.
        touch(fs::path(working) / ("VIDE0" + std::to_string(older)) / ("VIDE0" + std::to_string(older) + "_DBK_02.DBF"));
        return !failing.count("merge");
      };
    }
    return s;
  }

  // With `sideBySide` the newer book year's steps run on a thread of their own.
  void call(const std::string& what) {
    std::lock_guard<std::mutex> hold(mutex);
    calls.push_back(what);
  }

  // A step fails for every book year ("journals") or for one ("journals:01").
  bool fails(const std::string& name, const base::RunContext& ctx) const {
    return failing.count(name) || failing.count(name + ":" + base::twoDigits(ctx.bookYearIndex));
  }

  void record(const std::string& name, base::RunContext& ctx, const std::string& prefix) {
    const std::string year = name + ":" + base::twoDigits(ctx.bookYearIndex);
    {
      std::lock_guard<std::mutex> hold(mutex);
      trace.push_back(year);
      if (!prefix.empty()) prefixes.push_back(prefix);
    }
    if (telling.count(year)) ctx.ui->messageBox(year, base::MsgButtons::Ok, base::MsgIcon::Information, "");
    if (asking.count(year)) {
      const bool yes = ctx.ui->messageBox(year + " ?", base::MsgButtons::YesNo, base::MsgIcon::Question, "") ==
                       base::MsgResult::Yes;
      std::lock_guard<std::mutex> hold(mutex);
      answers.push_back(year + (yes ? " yes" : " no"));
    }
    if (auto it = throwing.find(name); it != throwing.end()) it->second();
    if (auto it = writing.find(name); it != writing.end()) it->second(prefix);
    // The window belongs to the test's thread.
    if (form && std::this_thread::get_id() == testThread)
      seen[name] = {form->control("ProgressBar1").progress, form->control("Label8").text};
  }

  // The wizard, loaded in the given edition and language, with an INI file in the test folder.
  host::frmMain& wizard(bool sql = false, const std::string& language = "F", bool withHistory = false) {
    form = std::make_unique<host::frmMain>(ui, services(), steps(withHistory), (root / "Marlin2KS.ini").string());
    form->ctx.language = language;
    form->ctx.isVersionSql = sql;
    form->ExecutionDone = [this] { ++executionDone; };
    form->reportFolder = (root / "reports").string();
    form->load();
    return *form;
  }

  // An Access wizard with the source folder and company chosen and the target named.
  host::frmMain& accessWizard(const std::string& language = "F", bool withHistory = false) {
    auto& w = wizard(false, language, withHistory);
    w.control("txtPathMarlin").text = marlin.string();
    w.control("cboCompany").text = "001 - Acme";
    w.ctx.companyCode = "001";
    w.control("txtPathKestrel").text = kestrel.string();
    w.control("txtCompanyName").text = "ACME";
    return w;
  }

  // The texts of the messages shown, without the paragraph of the run's last
  // message that names its report (a failure already reported by its step
  // gets a box of that paragraph alone).
  std::vector<std::string> messageTexts() const {
    std::vector<std::string> texts;
    for (std::string t : ui.texts()) {
      for (const char* line : {"Rapport de migration : ", "Migratierapport: "}) {
        const size_t at = t.find(line);
        if (at != std::string::npos) t.erase(at >= 4 ? at - 4 : at);
      }
      if (!t.empty()) texts.push_back(t);
    }
    return texts;
  }

  bool targetWritten() const { return fs::exists(kestrel / "ACME"); }
  // The Kestrel data folder as the run found it: empty, run folders included.
  bool kestrelUntouched() const { return fs::is_empty(kestrel); }

  testing_support::ScratchFolder scratch;
  fs::path root, kestrel, marlin;
  MemorySource company;
  std::map<std::string, MemorySource> sqlDatabases, yearDatabases;
  int lastIndex = 1;
  std::string longestAccount = "6";
  std::optional<std::string> templateProblem, placeProblem;
  std::set<std::string> failing;
  // Steps that throw instead of returning, and how.
  std::map<std::string, std::function<void()>> throwing;
  // Steps that write a table of the working dossier through the engine, and
  // how; with `engineWrites` the run asks the engine whether its writes failed.
  std::map<std::string, std::function<void(const std::string& prefix)>> writing;
  bool engineWrites = false;
  std::function<void(run::Services&)> moreServices;  // services a test adds or replaces
  bool foreignJournals = false;
  // The book years side by side, as the real components allow; steps that
  // show a message ("yearDocuments:01") or ask a question, with the answers.
  bool sideBySide = false;
  std::set<std::string> telling, asking;
  std::vector<std::string> answers;
  std::mutex mutex;
  const std::thread::id testThread = std::this_thread::get_id();

  base::RecordingUi ui;
  std::unique_ptr<host::frmMain> form;
  std::vector<std::string> calls, trace, prefixes;
  std::set<std::string> workingFolders;  // where the working dossiers were built
  std::vector<store::Placement> placements;
  // Progress bar and Label8 as each step found them.
  std::map<std::string, std::pair<int, std::string>> seen;
  int executionDone = 0;
};
