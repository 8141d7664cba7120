// Working dossiers made from the real templates for the history steps'
// tests, their tables read back and filled through the engine, and a run
// context that collects messages instead of showing them.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/ui.h"
#include "run/run_context.h"

namespace testing_support {

// A working dossier VIDE{index} made from the templates in `language` inside
// `folder` (a fresh folder under the build tree named after the test when
// empty); returns its dossier path prefix, written with backslashes as the
// run writes it.
std::string NewYearDossier(const std::string& testName, int index, const std::string& language = "F",
                           const std::string& folder = "");

// Every live record of a table, fields by upper-case name: text with its
// trailing blanks removed, numbers as the engine's text, dates dd/mm/yyyy,
// logicals "T"/"F".
using Record = std::map<std::string, std::string>;
std::vector<Record> ReadTable(const std::string& file);
double Number(const Record& r, const std::string& field);
// Appends records (text fields only).
void AppendRecords(const std::string& file, const std::vector<Record>& records);

struct CollectingUi : host::Ui {
  std::vector<std::string> boxes;
  host::MsgResult messageBox(const std::string& text, host::MsgButtons, host::MsgIcon, const std::string&) override {
    boxes.push_back(text);
    return host::MsgResult::Ok;
  }
  void processEvents() override {}
  void setBusy(bool) override {}
  std::optional<std::string> browseFolder(const std::string&, const std::string&) override { return std::nullopt; }
  std::vector<std::string> listServers() override { return {}; }
};

// A run context for one step: account length 6, closing period "13", the
// failure reports in `errors` (tables closed as the run does), message boxes
// in `ui.boxes`.
struct StepContext {
  explicit StepContext(const std::string& language = "F");
  run::RunContext ctx;
  std::vector<std::string> errors;
  CollectingUi ui;
  std::vector<std::string>& boxes = ui.boxes;
};

}  // namespace testing_support
