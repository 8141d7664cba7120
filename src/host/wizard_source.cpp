// Choosing the source company: the Access folder and its company list, or
// the SQL server, login and password and the list of the server's PWCOMMON.
#include <exception>

#include "base/path.h"
#include "base/text.h"
#include "host/wizard.h"
#include "run/source_discovery.h"

namespace host {
using namespace base;

void frmMain::loadAccessCompanyList(const std::string& folder) {
  // Remembered before anything is shown, so that the focus moving to a
  // message box does not read the same folder again.
  listFolder_ = folder;
  Control& list = control("cboCompany");
  const std::string common = base::joinPath(folder, "Common.mdb");
  list.items.clear();
  list.listIndex = -1;
  list.text.clear();
  if (folder.empty() || !run::sourceFileExists(common)) {
    ctx.companyCode.clear();
    return;
  }
  try {
    auto source = services_.openAccess(common);
    list.items = run::companyListItems(*source);
  } catch (const std::exception& e) {
    // A damaged or foreign Common.mdb leaves the list empty, so no import can start from it.
    ctx.companyCode.clear();
    showMessage(ui_, msg("Le fichier ", "Het bestand ") + common + msg(" ne peut pas être lu : ", " kan niet gelezen worden: ") + errorText(e, ctx.french()),
                MsgIcon::None);
    return;
  }
  if (list.items.empty()) {
    ctx.companyCode.clear();
    return;
  }
  list.listIndex = 0;
  list.text = list.items.front();
  cboCompany_Click();
}

void frmMain::cboCompany_Click() {
  const std::string code = run::companyCodeOfItem(control("cboCompany").text);
  ctx.companyCode = code;
  if (run::sourceFileExists(base::joinPath(control("txtPathMarlin").text, "E" + code + "Soc.MDB")))
    ctx.companyCode = "E" + code;
}

void frmMain::cmdPathMarlin_Click() {
  auto folder = ui_.browseFolder(msg("Récupérer les signalétiques Marlin", "Te recupereren signalementgegevens"),
                                 control("txtPathMarlin").text);
  if (!folder || folder->empty()) return;
  control("txtPathMarlin").text = *folder;
  useMarlinFolder(*folder);
}

void frmMain::useMarlinFolder(const std::string& folder) {
  EcrireINI("Marlin2Kestrel", "PathMarlin", folder);
  loadAccessCompanyList(folder);
}

// A typed or pasted path counts once the person leaves the box: read on every
// keystroke, a half-typed path would load wrong lists and repeat messages.
void frmMain::txtPathMarlin_LostFocus() {
  const std::string folder = control("txtPathMarlin").text;
  if (folder == listFolder_) return;
  if (!folder.empty() && run::sourceFileExists(base::joinPath(folder, "Common.mdb"))) {
    useMarlinFolder(folder);
  } else {
    // The list of another folder must not stay next to this path.
    loadAccessCompanyList(folder);
  }
}

int frmMain::listServers() {
  auto servers = ui_.listServers();
  Control& list = control("cboServeur");
  // No servers at all means the platform's discovery found nothing to offer;
  // "(local)" is only added next to a list the discovery produced.
  if (servers.empty()) return 0;
  list.items.push_back("(local)");
  for (auto& s : servers) list.items.push_back(s);
  return static_cast<int>(servers.size());
}

void frmMain::cboServeur_GotFocus() {
  Control& list = control("cboServeur");
  if (!list.items.empty()) return;
  Control& label = control("Label12");
  const bool french = ctx.language != "N";
  label.text = french ? "(Recherche serveurs ...)" : "(Zoeken van servers ...)";
  label.foreColor = 255;
  ui_.processEvents();
  ui_.setBusy(true);
  listServers();
  ui_.setBusy(false);
  if (!list.items.empty()) {
    list.listIndex = 0;
    list.text = list.items.front();
    cboServeur_Change();
  }
  label.text = french ? "Nom du serveur" : "Naam van de server";
  label.foreColor = 0;
}

void frmMain::resetSqlCompanyList() {
  control("cmdConnect").enabled = true;
  Control& list = control("cboCompanySql");
  list.enabled = false;
  list.items.clear();
  list.listIndex = -1;
  list.text.clear();
  // The code chosen from the old list no longer matches the connection fields.
  ctx.companyCode.clear();
}

void frmMain::cboServeur_Change() { resetSqlCompanyList(); }
void frmMain::txtLogin_Change() { resetSqlCompanyList(); }
void frmMain::txtPw_Change() { resetSqlCompanyList(); }

void frmMain::cmdConnect_Click() {
  ui_.setBusy(true);
  if (base::Trim(control("cboServeur").text).empty()) {
    showMessage(ui_, msg("Le nom du serveur est obligatoire", "De naam van de server is verplicht"), MsgIcon::None);
  } else if (!base::Trim(control("txtPw").text).empty() && base::Trim(control("txtLogin").text).empty()) {
    showMessage(ui_, msg("Le login est obligatoire", "De login is verplicht"), MsgIcon::None);
  } else {
    loadSqlCompanyList();
  }
  ui_.setBusy(false);
}

void frmMain::loadSqlCompanyList() {
  Control& list = control("cboCompanySql");
  try {
    auto common = services_.openSql(sqlLogin(), "PWCOMMON");
    auto items = run::companyListItems(*common);
    list.items = items;
    list.listIndex = -1;
    list.text.clear();
    if (items.empty()) {
      showMessage(ui_, msg("Aucune société n'est définie dans Sql server", "Geen enkel bedrijf werd bepaald in de Sql server"),
                  MsgIcon::None);
      return;
    }
    control("cmdConnect").enabled = false;
    list.enabled = true;
    list.listIndex = 0;
    list.text = items.front();
    cboCompanySql_Click();
  } catch (const std::exception& e) {
    showMessage(ui_, "Connection error : " + base::Trim(errorText(e, ctx.french())), MsgIcon::None);
  }
}

run::SqlLogin frmMain::sqlLogin() const {
  return {base::Trim(control("cboServeur").text), base::Trim(control("txtLogin").text), control("txtPw").text};
}

void frmMain::cboCompanySql_Click() { ctx.companyCode = run::companyCodeOfItem(control("cboCompanySql").text); }

}  // namespace host
