#include "host/obj_marlin.h"

#include <clocale>
#include <string>

namespace host {

namespace {

// A window toolkit sets the C library's numeric locale from the desktop (Qt
// does, to "," for a Belgian French or Dutch desktop) and a host may set it
// too. Our own number texts no longer follow it (base/number_text.h); the
// libraries the run calls may (an ODBC driver turning a server's number text
// into a double), so the wizard still works with the classic locale and
// gives the host its own back when it closes.
class ClassicNumbers {
 public:
  ClassicNumbers() {
    if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) saved_ = current;
    std::setlocale(LC_NUMERIC, "C");
  }
  ~ClassicNumbers() { std::setlocale(LC_NUMERIC, saved_.c_str()); }
  ClassicNumbers(const ClassicNumbers&) = delete;
  ClassicNumbers& operator=(const ClassicNumbers&) = delete;

 private:
  std::string saved_ = "C";
};

}  // namespace

objMarlin::objMarlin(FrontEnd& frontEnd, run::Services services, run::Steps steps, std::string iniFile)
    : frontEnd_(frontEnd), services_(std::move(services)), steps_(std::move(steps)), iniFile_(std::move(iniFile)) {}

void objMarlin::Execute() {
  ClassicNumbers numbers;
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
