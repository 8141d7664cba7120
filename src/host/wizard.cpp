#include "host/wizard.h"

#include <stdexcept>

#include "base/path.h"
#include "base/text.h"
#include "host/captions.h"
#include "host/ini_file.h"
#include "host/platform.h"
#include "run/source_discovery.h"

namespace host {
using namespace base;

namespace {
const char* const kSection = "Marlin2Kestrel";

// The wizard's events come from a window toolkit, or through the C interface
// from a host, and neither can carry an exception: whatever a handler lets
// escape is shown here as the unexpected error, and the wizard stays usable.
template <class Handler>
void guardedEvent(base::Ui& ui, bool french, Handler&& handler) {
  try {
    handler();
  } catch (...) {
    base::showMessage(ui, base::handledErrorText(french));
  }
}

}  // namespace

std::string defaultIniFile() { return base::joinPath(componentDirectory(), "Marlin2KS.ini"); }

frmMain::frmMain(Ui& ui, run::Services services, run::Steps steps, std::string iniFile)
    : reportingUi_(ui, ctx.report), ui_(reportingUi_), services_(std::move(services)), steps_(std::move(steps)), iniFile_(std::move(iniFile)) {
  ctx.ui = &ui_;
  ctx.showImportError = [this](const std::string& message) { ShowImportError(message); };
  ctx.setStepLabel = [this](const std::string& text) {
    control("Label9").text = text;
    ui_.processEvents();
  };
  ctx.setRecordLabel = [this](const std::string& text) {
    control("Label6").text = text;
    ui_.processEvents();
  };
  // The point the program itself writes into number texts, not the desktop's
  // regional setting, which it does not use.
  decimalSeparator = [] { return base::numberText(0.5).substr(1, 1); };
  addControls();
}

Control& frmMain::control(const std::string& name) {
  auto it = controls_.find(name);
  if (it == controls_.end()) throw std::out_of_range("no control " + name);
  return it->second;
}

const Control& frmMain::control(const std::string& name) const {
  auto it = controls_.find(name);
  if (it == controls_.end()) throw std::out_of_range("no control " + name);
  return it->second;
}

void frmMain::load() {
  loaded_ = true;
  control("txtPathKestrel").text = LireINI(kSection, "PathDataKestrel");
  if (!ctx.isVersionSql) {
    const std::string folder = control("txtPathMarlin").text;
    if (!folder.empty() && run::sourceFileExists(base::joinPath(folder, "Common.mdb")))
      loadAccessCompanyList(folder);
  }
  if (SysDec() != ".") {
    ui_.messageBox(ctx.french() ? "Le séparateur décimal doit être '.' et le séparateur des milliers doit être ','"
                                : "The decimal seprator must be '.' and the thousand separator must be ','",
                   MsgButtons::Ok, MsgIcon::Critical, "Marlin2Kestrel");
    ui_.messageBox(ctx.french() ? "La récupération est annulée, veuillez modifier les paramètres régionaux dans "
                                  "le panneau de configuration."
                                : "Please modify your reginal setting via the control pannel",
                   MsgButtons::Ok, MsgIcon::Information, "Marlin2Kestrel");
    unload();
    return;
  }
  control("Option1").value = ctx.language == "F";
  control("Option2").value = ctx.language != "F";
  languageFromOptions();
  applyEditionLayout();
}

void frmMain::unload() {
  if (unloaded_) return;
  unloaded_ = true;
  visible = false;
  if (onUnload) onUnload();
}

void frmMain::langueInt(const std::string& code) {
  const bool dutch = code == "N";
  for (const auto& c : wizardCaptions()) control(c.control).text = dutch ? c.dutch : c.french;
  caption = formCaption(dutch, ctx.isVersionSql);
}

std::string frmMain::LireINI(const std::string& section, const std::string& key) const {
  return readIniValue(iniFile_, section, key);
}

bool frmMain::EcrireINI(const std::string& section, const std::string& key, const std::string& value) const {
  return writeIniValue(iniFile_, section, key, value);
}

std::string frmMain::SysDec() const { return decimalSeparator(); }

void frmMain::ShowImportError(const std::string& message, const std::string& reportFile) {
  const std::string title = importErrorTitle(ctx.french(), ctx.isVersionSql);
  if (reportFile.empty())
    ui_.messageBox(message, MsgButtons::Ok, MsgIcon::Exclamation, title);
  else
    ui_.finalMessage(message, MsgIcon::Exclamation, title, reportFile);
  ctx.source = nullptr;
  ctx.yearSource = nullptr;
  EnableWizardControls(true);
  if (services_.closeAllTables) services_.closeAllTables();
}

void frmMain::EnableWizardControls(bool enabled) {
  for (const char* name : {"cmdOk", "cmdCancel", "cmdPathMarlin", "cboCompany", "cboServeur", "txtLogin", "txtPw",
                           "cboCompanySql", "cmdConnect", "chkClients", "chkSuppliers", "chkGeneralLegders"})
    control(name).enabled = enabled;
}

void frmMain::languageFromOptions() {
  ctx.language = control("Option1").value ? std::string("F") : std::string("N");
  langueInt(ctx.language);
}

// --- Event handlers -------------------------------------------------------------

void frmMain::Option1_Click() {
  if (control("Option1").value) control("Option2").value = false;
  languageFromOptions();
}

void frmMain::Option2_Click() {
  if (control("Option2").value) control("Option1").value = false;
  languageFromOptions();
}

void frmMain::OptCompta_Click() {
  if (!control("OptCompta").value) return;
  for (const char* name : {"chkClients", "chkSuppliers", "chkGeneralLegders"}) control(name).enabled = false;
}

void frmMain::OptSignal_Click() {
  if (!control("OptSignal").value) return;
  for (const char* name : {"chkClients", "chkSuppliers", "chkGeneralLegders"}) control(name).enabled = true;
}

void frmMain::txtPathKestrel_Change() { EcrireINI(kSection, "PathDataKestrel", control("txtPathKestrel").text); }

void frmMain::cmdCancel_Click() { unload(); }

void frmMain::Command1_Click() { raiseExecutionDone(); }

void frmMain::cmdOk_Click() {
  if (running_) return;
  running_ = true;
  struct EndOfRun {
    bool& running;
    ~EndOfRun() { running = false; }
  } endOfRun{running_};
  run::RunChoices choices;
  choices.sourceFolder = control("txtPathMarlin").text;
  choices.companyItem = control("cboCompany").text;
  choices.sql = sqlLogin();
  choices.kestrelFolder = control("txtPathKestrel").text;
  choices.dossierName = control("txtCompanyName").text;
  choices.fullImport = control("OptCompta").value;
  choices.customers = control("chkClients").value;
  choices.suppliers = control("chkSuppliers").value;
  choices.generalAccounts = control("chkGeneralLegders").value;
  choices.reportFolder = reportFolder;
  choices.checkOnly = checkSourceOnly;
  const ImportMemory memory;
  run::Services services = services_;
  services.releaseFreeMemory = [&memory] { memory.releaseFree(); };
  run::runImport(ctx, choices, *this, steps_, services);
}

// --- The run's view --------------------------------------------------------------

void frmMain::setPhase(const std::string& text) {
  control("Label8").text = text;
  ui_.processEvents();
}

void frmMain::setProgress(int value) { control("ProgressBar1").progress = value; }

void frmMain::clearStepLabel() {
  control("Label9").text.clear();
  ui_.processEvents();
}

void frmMain::raiseExecutionDone() {
  if (ExecutionDone) ExecutionDone();
}

// --- Front-end actions ---------------------------------------------------------------

bool frmMain::isLocked(const std::string& name) const {
  using K = Control::Kind;
  const K kind = control(name).kind;
  return running_ && kind != K::Label && kind != K::Frame && kind != K::ProgressBar && kind != K::Image;
}

bool frmMain::isUsable(const std::string& name) const {
  const Control& c = control(name);
  return c.enabled && c.visible && !isLocked(name);
}

void frmMain::click(const std::string& name) {
  guardedEvent(ui_, ctx.french(), [&] {
    if (!isUsable(name)) return;
    Control& c = control(name);
    if (c.kind == Control::Kind::Option) {
      // Option buttons of one container exclude each other.
      for (auto& [other, oc] : controls_)
        if (oc.kind == Control::Kind::Option && oc.parent == c.parent) oc.value = false;
      c.value = true;
    } else if (c.kind == Control::Kind::Check) {
      c.value = !c.value;
    }
    static const std::map<std::string, void (frmMain::*)(), std::less<>> handlers = {
        {"Option1", &frmMain::Option1_Click},         {"Option2", &frmMain::Option2_Click},
        {"OptCompta", &frmMain::OptCompta_Click},     {"OptSignal", &frmMain::OptSignal_Click},
        {"cmdCancel", &frmMain::cmdCancel_Click},     {"Command1", &frmMain::Command1_Click},
        {"cmdOk", &frmMain::cmdOk_Click},             {"cmdPathMarlin", &frmMain::cmdPathMarlin_Click},
        {"cmdConnect", &frmMain::cmdConnect_Click},
    };
    if (auto it = handlers.find(name); it != handlers.end()) (this->*(it->second))();
  });
}

void frmMain::type(const std::string& name, const std::string& text) {
  guardedEvent(ui_, ctx.french(), [&] {
    Control& c = control(name);
    if (!isUsable(name) || c.text == text) return;
    c.text = text;
    if (name == "txtPathKestrel") txtPathKestrel_Change();
    else if (name == "cboServeur") cboServeur_Change();
    else if (name == "txtLogin") txtLogin_Change();
    else if (name == "txtPw") txtPw_Change();
  });
}

void frmMain::choose(const std::string& name, int index) {
  guardedEvent(ui_, ctx.french(), [&] {
    Control& c = control(name);
    if (!isUsable(name) || index < 0 || index >= static_cast<int>(c.items.size())) return;
    c.listIndex = index;
    c.text = c.items[static_cast<std::size_t>(index)];
    if (name == "cboCompany") cboCompany_Click();
    else if (name == "cboCompanySql") cboCompanySql_Click();
    else if (name == "cboServeur") cboServeur_Change();
  });
}

void frmMain::focus(const std::string& name) {
  guardedEvent(ui_, ctx.french(), [&] {
    if (name == "cboServeur" && isUsable(name)) cboServeur_GotFocus();
  });
}

void frmMain::leave(const std::string& name) {
  guardedEvent(ui_, ctx.french(), [&] {
    if (name == "txtPathMarlin" && isUsable(name)) txtPathMarlin_LostFocus();
  });
}

}  // namespace host
