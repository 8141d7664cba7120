// The run state the wizard shares with the import run and the conversion steps
// (form-level in a classic event-driven wizard). One instance per wizard.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/journal_registry.h"
#include "base/run_report.h"
#include "base/source.h"
#include "base/ui.h"

namespace base {

struct RunContext {
  // --- Set by the host object and the wizard --------------------------------
  std::string language = "F";     // dossier language: "F" French, anything else Dutch
  bool isVersionSql = false;
  std::string companyCode;        // source company code
  base::Ui* ui = nullptr;
  // What the run read, wrote, changed and skipped, for the migration report.
  RunReport report;

  bool french() const { return language == "F"; }
  // The message text of the dossier language.
  const std::string& msg(const std::string& fr, const std::string& nl) const { return french() ? fr : nl; }

  // Failure report of the run (message box, release source, enable inputs, close tables).
  std::function<void(const std::string&)> showImportError;
  // Status labels owned by the steps: Label9 (step name) and Label6 (current record).
  // Each change is followed by a repaint and pending events.
  std::function<void(const std::string&)> setStepLabel;
  std::function<void(const std::string&)> setRecordLabel;

  // --- Source --------------------------------------------------------------
  Source* source = nullptr;       // SQL connection, or the Access company database
  Source* yearSource = nullptr;   // older Access layout: the per-year database; else == source
  bool prefixedLayout = false;
  int16_t bookYearIndex = 0;
  std::string sourceVersion;      // "Major.Minor.Build"
  std::string sourceMinorVersion; // Access edition only; compared with "60" as text

  // --- Run state carried between passes --------------------------------------
  std::string generalAccountLength = "0";

  // --- Journal registry and entry state (journals and document steps) ---------
  JournalRegistry journals;
  std::string sourceClosingPeriod;        // two-digit text
  std::string documentOrderCounter;       // three characters
};

}  // namespace base
