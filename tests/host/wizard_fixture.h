// A wizard on a recording UI, with its INI file in a fresh test folder.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/recording_ui.h"
#include "host/wizard.h"
#include "support/memory_source.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = scratch.path();
    ini = (root / "Marlin2KS.ini").string();
  }

  // The Access company list and SQL lists come from these.
  run::Services services() {
    run::Services s;
    s.closeAllTables = [] {};
    s.openAccess = [this](const std::string& file) -> std::unique_ptr<base::Source> {
      openedFiles.push_back(file);
      if (brokenCommon) throw base::SourceError("not an Access database");
      if (strangeCommon) throw 42;  // no std::exception
      return std::make_unique<testing_support::MemorySource>(common);
    };
    s.openSql = [this](const run::SqlLogin& login, const std::string& database) -> std::unique_ptr<base::Source> {
      logins.push_back(login.server + "|" + login.login + "|" + login.password + "|" + database);
      if (refuseLogin) throw base::SourceError("  Login failed for user 'sa'.  ");
      return std::make_unique<testing_support::MemorySource>(common);
    };
    return s;
  }

  host::frmMain& load(const std::string& language, bool sql = false) {
    form = std::make_unique<host::frmMain>(ui, services(), run::Steps{}, ini);
    form->ctx.language = language;
    form->ctx.isVersionSql = sql;
    form->decimalSeparator = [this] { return separator; };
    form->Load();
    return *form;
  }

  void societies(std::vector<std::pair<base::Value, std::string>> rows) {
    common.tables["SOCIETYLIST"] = {{"SOCIETYID", "NAME"}, {}};
    for (auto& [id, name] : rows)
      common.tables["SOCIETYLIST"].rows.push_back({id, name.empty() ? base::Value::null() : base::Value::ofText(name)});
  }

  testing_support::ScratchFolder scratch;
  fs::path root;
  std::string ini;
  std::string separator = ".";
  base::RecordingUi ui;
  testing_support::MemorySource common;
  bool brokenCommon = false, strangeCommon = false, refuseLogin = false;
  std::vector<std::string> openedFiles, logins;
  std::unique_ptr<host::frmMain> form;
};
