#include "host/obj_marlin.h"

namespace host {

objMarlin::objMarlin(FrontEnd& frontEnd, run::Services services, run::Steps steps, std::string iniFile)
    : frontEnd_(frontEnd), services_(std::move(services)), steps_(std::move(steps)), iniFile_(std::move(iniFile)) {}

void objMarlin::Execute() {
  mainMarlin_ = std::make_unique<frmMain>(frontEnd_.ui(), services_, steps_, iniFile_);
  frmMain& wizard = *mainMarlin_;
  wizard.ExecutionDone = [this] { mainMarlin_ExecutionDone(); };
  wizard.ctx.language = language_;
  wizard.ctx.isVersionSql = isVersionSql_;
  wizard.Load();
  if (wizard.isUnloaded()) return;
  // Setting the text is a change of the box like any other: the INI file
  // then remembers the host's folder.
  if (wizard.control("txtPathKestrel").text != kestrelPath_) {
    wizard.control("txtPathKestrel").text = kestrelPath_;
    wizard.txtPathKestrel_Change();
  }
  wizard.control("txtCompanyName").text = kestrelDossierName_;
  wizard.visible = true;
  frontEnd_.showModal(wizard);
}

void objMarlin::mainMarlin_ExecutionDone() {
  // The wizard is hidden at once; the run then restores the pointer and unloads it.
  if (mainMarlin_) mainMarlin_->visible = false;
  if (ExecutionDone) ExecutionDone();
}

}  // namespace host
