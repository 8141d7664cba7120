// Choosing the source company: the Access folder and its company list, or
// the SQL server, login and password and the list of the server's PWCOMMON.
#include <exception>

#include "host/wizard.h"
#include "run/path_lookup.h"

namespace host {

namespace {

std::string trim(const std::string& s) {
  auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

const char* const kCompanyQuery = "SELECT * FROM SOCIETYLIST ORDER BY SOCIETYID";

// One item per company row; rows without number or name are left out.
std::vector<std::string> companyItems(run::Source& common) {
  std::vector<std::string> items;
  auto rows = common.query(kCompanyQuery);
  for (; !rows->eof(); rows->moveNext()) {
    run::Value id = rows->field("SOCIETYID");
    run::Value name = rows->field("NAME");
    if (!id.present() || !name.present()) continue;
    items.push_back(frmMain::companyItemText(id, name.asText()));
  }
  return items;
}

}  // namespace

std::string frmMain::companyItemText(const run::Value& id, const std::string& name) {
  const std::string text = id.asText();
  const int64_t n = id.asInt();
  if (n >= 1 && n <= 9) return "00" + text + " - " + name;
  if (n >= 10 && n <= 99) return "0" + text + " - " + name;
  if (n >= 100 && n <= 999) return text + " - " + name;
  return text + name;
}

std::string frmMain::companyCodeOfItem(const std::string& item) { return trim(item).substr(0, 3); }

void frmMain::loadAccessCompanyList(const std::string& folder) {
  Control& list = control("cboCompany");
  auto common = run::findPathAnyCase(run::joinPath(folder, "Common.mdb"));
  list.items.clear();
  list.listIndex = -1;
  list.text.clear();
  if (!common) {
    ctx.companyCode.clear();
    return;
  }
  try {
    auto source = services_.openAccess(*common);
    list.items = companyItems(*source);
  } catch (const std::exception& e) {
    // A damaged or foreign Common.mdb leaves the list empty, so no import can start from it.
    ctx.companyCode.clear();
    showMessage(ui_, msg("Le fichier ", "Het bestand ") + *common + msg(" ne peut pas être lu : ", " kan niet gelezen worden: ") + e.what(),
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
  const std::string code = companyCodeOfItem(control("cboCompany").text);
  ctx.companyCode = code;
  if (run::pathExistsAnyCase(run::joinPath(control("txtPathMarlin").text, "E" + code + "Soc.MDB")))
    ctx.companyCode = "E" + code;
}

void frmMain::cmdPathMarlin_Click() {
  auto folder = ui_.browseFolder(msg("Récupérer les signalétiques Marlin", "Te recupereren signalementgegevens"),
                                 control("txtPathMarlin").text);
  if (!folder || folder->empty()) return;
  control("txtPathMarlin").text = *folder;
  EcrireINI("Marlin2Kestrel", "PathMarlin", *folder);
  loadAccessCompanyList(*folder);
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
  if (trim(control("cboServeur").text).empty()) {
    showMessage(ui_, msg("Le nom du serveur est obligatoire", "De naam van de server is verplicht"), MsgIcon::None);
  } else if (!trim(control("txtPw").text).empty() && trim(control("txtLogin").text).empty()) {
    showMessage(ui_, msg("Le login est obligatoire", "De login is verplicht"), MsgIcon::None);
  } else {
    loadSqlCompanyList();
  }
  ui_.setBusy(false);
}

void frmMain::loadSqlCompanyList() {
  Control& list = control("cboCompanySql");
  try {
    run::SqlLogin login{trim(control("cboServeur").text), trim(control("txtLogin").text),
                        trim(control("txtPw").text)};
    auto common = services_.openSql(login, "PWCOMMON");
    auto items = companyItems(*common);
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
    showMessage(ui_, "Connection error : " + trim(e.what()), MsgIcon::None);
  }
}

void frmMain::cboCompanySql_Click() { ctx.companyCode = companyCodeOfItem(control("cboCompanySql").text); }

}  // namespace host
