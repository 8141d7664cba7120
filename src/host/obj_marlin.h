// The public object a Kestrel application drives: four properties, Execute,
// and the ExecutionDone event after a successful import.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "base/ui.h"
#include "host/wizard.h"
#include "run/services.h"
#include "run/steps_table.h"

namespace host {

// How the wizard is shown: a window, a terminal, or a test.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Every message box, pointer change and repaint of the wizard goes here.
  virtual base::Ui& ui() = 0;
  // Shows the loaded wizard modally; returns once it has been unloaded.
  virtual void showModal(frmMain& wizard) = 0;
};

class objMarlin {
 public:
  explicit objMarlin(FrontEnd& frontEnd, run::Services services = run::defaultServices(),
                     run::Steps steps = run::defaultSteps(), std::string iniFile = defaultIniFile());

  const std::string& Language() const { return language_; }
  void Language(const std::string& value) { language_ = value; }
  bool IsVersionSql() const { return isVersionSql_; }
  void IsVersionSql(bool value) { isVersionSql_ = value; }
  const std::string& KestrelPath() const { return kestrelPath_; }
  void KestrelPath(const std::string& value) { kestrelPath_ = value; }
  const std::string& KestrelDossierName() const { return kestrelDossierName_; }
  void KestrelDossierName(const std::string& value) { kestrelDossierName_ = value; }

  // Shows the wizard modally; returns when it is closed.
  void Execute();

  // Raised after a successful import, before the wizard closes.
  std::function<void()> ExecutionDone;

  // The wizard of the current (or last) Execute.
  frmMain* mainMarlin() { return mainMarlin_.get(); }

 private:
  void mainMarlin_ExecutionDone();

  FrontEnd& frontEnd_;
  run::Services services_;
  run::Steps steps_;
  std::string iniFile_;
  std::string language_, kestrelPath_, kestrelDossierName_;
  bool isVersionSql_ = false;
  std::unique_ptr<frmMain> mainMarlin_;
};

}  // namespace host
