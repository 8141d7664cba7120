// Working dossiers made from the real templates for the history steps'
// tests, their tables read back and filled through the engine, and a run
// context that collects messages instead of showing them.
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/recording_ui.h"
#include "base/run_context.h"
#include "support/scratch_folder.h"

namespace testing_support {

// A working dossier VIDE{index} made from the templates in `language` inside
// `folder` (a test's scratch folder; the template dossier is written there
// first when missing); returns its dossier path prefix.
std::string newYearDossier(const std::filesystem::path& folder, int index, const std::string& language = "F");

// Every live record of a table, fields by upper-case name: text with its
// trailing blanks removed, numbers as the engine's text, dates dd/mm/yyyy,
// logicals "T"/"F".
using Record = std::map<std::string, std::string>;
std::vector<Record> readTable(const std::string& file);
double numberOf(const Record& r, const std::string& field);
// The first record whose `field` holds `value`; null when there is none.
const Record* findRecord(const std::vector<Record>& rows, const std::string& field, const std::string& value);
// `wanted` of the first record whose `field` holds `value`; when there is no
// such record the test fails and the text says so.
std::string fieldOf(const std::vector<Record>& rows, const std::string& field, const std::string& value,
                    const std::string& wanted);
// Appends records (text fields only).
void appendRecords(const std::string& file, const std::vector<Record>& records);

// A run context for one step: account length 6, closing period "13", the
// failure reports in `errors` (tables closed as the run does), message boxes
// in `ui`.
struct StepContext {
  explicit StepContext(const std::string& language = "F");
  ScratchFolder folder;  // for the test's dossiers
  base::RunContext ctx;
  std::vector<std::string> errors;
  base::RecordingUi ui;
};

}  // namespace testing_support
