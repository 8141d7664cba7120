// A fresh working dossier made from the real templates, the run state the
// master-data steps expect, and reading rows back through the engine.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/recording_ui.h"
#include "base/run_context.h"
#include "support/memory_source.h"
#include "support/scratch_folder.h"
#include "support/working_dossier.h"

namespace master_test {

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
  // The same records as read by an independent reader (python3-dbfread):
  // the fields of each live record, right blanks removed, joined with "|".
  std::vector<std::string> readIndependently(const std::string& table, const std::vector<std::string>& fields);
  // The table's structural index agrees with its records.
  void expectIndexesAgree(const std::string& table);
  std::string file(const std::string& table) const { return prefix + "_" + table + ".DBF"; }

  testing_support::ScratchFolder scratch;
  std::filesystem::path root = scratch.path();
  std::string prefix;  // built with backslashes, as the run builds it
  base::RecordingUi ui;
  base::RunContext ctx;
  std::vector<std::string> errors;
  std::vector<std::string> records;  // Label6 texts
  std::vector<std::string> steps;    // Label9 texts
  testing_support::MemorySource source;
};

}  // namespace master_test
