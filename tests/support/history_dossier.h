// Working dossiers made from the real templates for the history steps' tests,
// and their tables read back through the engine.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "run/run_context.h"

namespace test {

// A fresh folder under the build tree holding a working dossier VIDE{nn}
// made from the templates in `language`; returns its dossier path prefix.
std::string NewYearDossier(const std::string& testName, int index, const std::string& language = "F",
                           const std::string& folder = "");

// Every record of a table (deleted ones left out), fields by upper-case name:
// text trimmed, numbers as the engine's text of their value, dates dd/mm/yyyy.
using Record = std::map<std::string, std::string>;
std::vector<Record> ReadTable(const std::string& file);
// The numeric fields of `field` of every record.
double Number(const Record& r, const std::string& field);

// Appends records to a table (text fields and numbers given as text).
void AppendRecords(const std::string& file, const std::vector<Record>& records);

// A run context for the steps: the language, an account length of 6, the
// closing period "13", and messages collected instead of shown.
struct StepContext {
  run::RunContext ctx;
  std::vector<std::string> errors;
  std::vector<std::string> boxes;
  explicit StepContext(const std::string& language = "F");
 private:
  struct Ui;
  std::shared_ptr<host::Ui> ui_;
};

}  // namespace test
