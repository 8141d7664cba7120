// The import wizard frmMain as a model without a window: every control with
// its state, the form-level run state, and every event handler. A front end
// (Qt window, terminal, test) shows the controls, forwards the person's
// actions to the handlers and receives every effect through base::Ui.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/reporting_ui.h"
#include "base/run_context.h"
#include "base/ui.h"
#include "run/import_run.h"
#include "run/services.h"
#include "run/steps_table.h"

namespace host {

struct Control {
  enum class Kind { Label, TextBox, ComboBox, Button, Option, Check, Frame, ProgressBar, Image };
  Kind kind = Kind::Label;
  std::string name;
  std::string parent;  // the frame holding it, "" for the form
  std::string text;    // caption of labels, buttons, frames, options, check boxes; text of the others
  bool enabled = true;
  bool visible = true;
  bool value = false;  // option buttons and check boxes
  int progress = 0;    // progress bar, 0 to 100
  int left = 0, top = 0, width = 0, height = 0;  // twips, relative to the parent
  int foreColor = 0;                             // RGB as 0xBBGGRR; 255 is red
  std::vector<std::string> items;                // combo boxes
  int listIndex = -1;
};

class frmMain : public run::RunView {
 public:
  // `iniFile` is the full path of Marlin2KS.ini.
  frmMain(base::Ui& ui, run::Services services, run::Steps steps, std::string iniFile);

  // --- Form ------------------------------------------------------------------
  std::string caption;
  int width = 0, height = 0;  // twips
  bool visible = false;
  // The decimal separator of the program's number texts; replaceable for tests.
  std::function<std::string()> decimalSeparator;
  // The wizard's own ExecutionDone event.
  std::function<void()> ExecutionDone;
  // Called when the wizard unloads, so a front end can close its window.
  std::function<void()> onUnload;

  // Form-level state shared with the run and the steps (dossier language,
  // edition, source company code, run state, the last run's report).
  base::RunContext ctx;
  // Set by a host without a window: where a report that does not go into the
  // dossier is written (empty: the user's state folder), and whether Import
  // only checks the source (see run::RunChoices).
  std::string reportFolder;
  bool checkSourceOnly = false;

  Control& control(const std::string& name);
  const Control& control(const std::string& name) const;
  const std::vector<std::string>& controlOrder() const { return order_; }

  // Load sequence; the form may unload itself during it (decimal separator).
  void Load();
  bool isLoaded() const { return loaded_ && !unloaded_; }
  bool isUnloaded() const { return unloaded_; }
  void Unload();

  // --- Routines ----------------------------------------------------------------
  void langueInt(const std::string& code);
  std::string LireINI(const std::string& section, const std::string& key) const;
  bool EcrireINI(const std::string& section, const std::string& key, const std::string& value) const;
  // `reportFile`: the run's report, named by its last message (a window may offer to open it).
  void ShowImportError(const std::string& message, const std::string& reportFile = "");
  void EnableWizardControls(bool enabled);
  std::string SysDec() const;

  // --- Source selection ------------------------------------------------------------
  void loadAccessCompanyList(const std::string& folder);
  // The folder dialog's choice or a typed path: remembered in the INI file,
  // then its company list.
  void useMarlinFolder(const std::string& folder);
  void loadSqlCompanyList();
  int listServers();

  // --- Event handlers --------------------------------------------------------------
  void Option1_Click();
  void Option2_Click();
  void OptCompta_Click();
  void OptSignal_Click();
  void txtPathKestrel_Change();
  void cmdCancel_Click();
  void Command1_Click();
  void cmdOk_Click();
  void cmdPathMarlin_Click();
  void txtPathMarlin_LostFocus();
  void cboCompany_Click();
  void cboServeur_GotFocus();
  void cboServeur_Change();
  void txtLogin_Change();
  void txtPw_Change();
  void cmdConnect_Click();
  void cboCompanySql_Click();

  // --- What a person does, for the front ends ------------------------------------------
  // Clicking a button, option button or check box (sets its value first, as
  // the window would) and runs the handler.
  void click(const std::string& name);
  // Typing into a text box or the editable server list.
  void type(const std::string& name, const std::string& text);
  // Choosing a list item.
  void choose(const std::string& name, int index);
  void focus(const std::string& name);
  // Leaving a text box, or pressing Enter in it.
  void leave(const std::string& name);

  // True from the press of Import to the end of the run. Every input is
  // then out of use, whatever the run's own enabling says (it enables the
  // controls again at the end of each book year), and a click that reaches
  // the wizard anyway is ignored.
  bool isRunning() const { return running_; }
  // Out of use only because a run is going (every input, not the labels,
  // frames and progress bar that show the run).
  bool isLocked(const std::string& name) const;
  // Whether a person can use the control now.
  bool isUsable(const std::string& name) const;

  // --- The run's view of the wizard ---------------------------------------------------
  void enableWizardControls(bool enabled) override { EnableWizardControls(enabled); }
  void showImportError(const std::string& message) override { ShowImportError(message); }
  void showFinalError(const std::string& message, const std::string& reportFile) override {
    ShowImportError(message, reportFile);
  }
  void setPhase(const std::string& text) override;
  void setProgress(int value) override;
  void clearStepLabel() override;
  void raiseExecutionDone() override;
  void unload() override { Unload(); }

  base::Ui& ui() { return ui_; }

 private:
  void addControls();
  void applyEditionLayout();
  void languageFromOptions();
  void resetSqlCompanyList();
  // The server and login trimmed; the password exactly as typed, blanks
  // included, since blanks can be part of it.
  run::SqlLogin sqlLogin() const;
  std::string msg(const char* fr, const char* nl) const { return ctx.french() ? fr : nl; }

  // Every message box goes through the report first (noted only while a run is on).
  base::ReportingUi reportingUi_;
  base::Ui& ui_;
  run::Services services_;
  run::Steps steps_;
  std::string iniFile_;
  std::map<std::string, Control, std::less<>> controls_;
  std::vector<std::string> order_;
  bool loaded_ = false, unloaded_ = false;
  bool running_ = false;
  // The folder the Access company list was last read for (or tried).
  std::string listFolder_;
};

// The INI file beside the component's own file.
std::string defaultIniFile();

}  // namespace host
