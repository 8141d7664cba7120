// A fresh working dossier made from the real templates, the run state the
// master-data steps expect, and reading rows back through the engine.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "host/ui.h"
#include "run/run_context.h"
#include "support/memory_source.h"

namespace master_test {

class SilentUi : public host::Ui {
 public:
  host::MsgResult messageBox(const std::string& text, host::MsgButtons, host::MsgIcon, const std::string&) override {
    messages.push_back(text);
    return host::MsgResult::Ok;
  }
  void processEvents() override {}
  void setBusy(bool) override {}
  std::optional<std::string> browseFolder(const std::string&, const std::string&) override { return std::nullopt; }
  std::vector<std::string> listServers() override { return {}; }
  std::vector<std::string> messages;
};

using Record = std::map<std::string, std::string>;  // field name -> text, right blanks removed

class MasterDossier : public ::testing::Test {
 protected:
  // Builds the dossier in `language` ("F" or "N") with general account length `length`.
  void makeDossier(const std::string& language = "F", const std::string& length = "6");
  void TearDown() override;

  // Every live record of a table of the dossier ("CSF", "PARAM" ...), in record order.
  std::vector<Record> rows(const std::string& table, const std::vector<std::string>& fields);
  // The VALUE of the first PARAM row with that ID (any case).
  std::string param(const std::string& id);
  // The table's structural index agrees with its records.
  void expectIndexesAgree(const std::string& table);
  std::string file(const std::string& table) const { return prefix + "_" + table + ".DBF"; }

  std::filesystem::path root;
  std::string prefix;  // built with backslashes, as the run builds it
  SilentUi ui;
  run::RunContext ctx;
  std::vector<std::string> errors;
  std::vector<std::string> records;  // Label6 texts
  std::vector<std::string> steps;    // Label9 texts
  test_support::MemorySource source;
};

}  // namespace master_test
