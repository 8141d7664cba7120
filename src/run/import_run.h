// The Import button: checks the wizard's choices, opens the source, builds
// one working dossier per imported book year, runs the conversion steps in
// their fixed order and puts the finished dossier in place. The target
// dossier folder is written only after every step succeeded.
#pragma once
#include <string>

#include "base/run_context.h"
#include "run/services.h"
#include "run/steps_table.h"

namespace run {

// The wizard's inputs as the run reads them.
struct RunChoices {
  std::string sourceFolder;  // txtPathMarlin (Access edition)
  std::string companyItem;   // text of the Access company list (cboCompany)
  SqlLogin sql;              // server, login and password, trimmed
  std::string kestrelFolder; // txtPathKestrel
  std::string dossierName;   // txtCompanyName as typed
  bool fullImport = false;   // OptCompta; otherwise master data only (OptSignal)
  bool customers = true, suppliers = true, generalAccounts = true;
  // Where a report goes that does not go into the dossier (a failed run, a
  // source check); empty: the user's state folder (defaultReportFolder()).
  std::string reportFolder;
  // Source check: the whole conversion into a private folder that is removed
  // afterwards, no Kestrel folder needed, nothing placed, the report kept.
  bool checkOnly = false;
};

// What the run does to the wizard around it.
class RunView {
 public:
  virtual ~RunView() = default;
  virtual void enableWizardControls(bool enabled) = 0;
  virtual void showImportError(const std::string& message) = 0;
  // The failure report of the run's last message, which names the run's
  // report (`reportFile`, empty when it could not be written).
  virtual void showFinalError(const std::string& message, const std::string& reportFile) {
    (void)reportFile;
    showImportError(message);
  }
  // Label8 (book year and phase), followed by a repaint.
  virtual void setPhase(const std::string& text) = 0;
  virtual void setProgress(int value) = 0;  // ProgressBar1, 0 to 100
  virtual void clearStepLabel() = 0;        // Label9
  virtual void raiseExecutionDone() = 0;
  virtual void unload() = 0;
};

// Runs one import. ctx carries the language, the edition, the company code
// and the UI; its run state is reset at the start, and ctx.report holds the
// run's report at the end. True when the run succeeded (the wizard has then
// been unloaded; a source check leaves it loaded).
bool runImport(base::RunContext& ctx, const RunChoices& choices, RunView& view, const Steps& steps,
               const Services& services);

}  // namespace run
