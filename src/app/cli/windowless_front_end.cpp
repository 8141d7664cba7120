#include "app/cli/windowless_front_end.h"

#include <filesystem>

#include "base/path.h"
#include "run/source_discovery.h"

namespace app {

namespace {

// Why a source folder can give no company list. A person at the window sees
// an empty list and the folder it came from; a terminal has to be told.
std::string accessFolderProblem(const std::string& folder, bool french) {
  std::error_code ec;
  if (!std::filesystem::is_directory(std::filesystem::u8path(folder), ec))
    return french ? "Le dossier Marlin " + folder + " n'existe pas." : "De Marlin map " + folder + " bestaat niet.";
  if (!run::sourceFileExists(base::joinPath(folder, "Common.mdb")))
    return french ? "Le dossier " + folder + " ne contient pas le fichier Common.mdb de Marlin."
                  : "De map " + folder + " bevat het bestand Common.mdb van Marlin niet.";
  return {};
}

}  // namespace

WindowlessFrontEnd::WindowlessFrontEnd(const CliOptions& options, std::string password, std::ostream& out,
                                       bool terminal)
    : options_(options), password_(std::move(password)), ui_(out, terminal) {}

bool WindowlessFrontEnd::chooseCompany(host::frmMain& wizard, const std::string& list) {
  const auto& items = wizard.control(list).items;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (run::companyCodeOfItem(items[i]) == options_.company) {
      wizard.choose(list, static_cast<int>(i));
      return true;
    }
  }
  return false;
}

void WindowlessFrontEnd::showModal(host::frmMain& wizard) {
  ui_.status = [&wizard] {
    return ConsoleUi::Status{wizard.control("ProgressBar1").progress, wizard.control("Label8").text,
                                   wizard.control("Label9").text, wizard.control("Label6").text};
  };
  const bool french = wizard.ctx.french();
  auto refuse = [&](const std::string& message) {
    base::showMessage(ui_, message, base::MsgIcon::Exclamation, wizard.caption);
    wizard.Unload();
  };
  const int said = ui_.messageCount();
  std::string list;
  if (options_.sqlEdition()) {
    wizard.type("cboServeur", options_.sqlServer);
    wizard.type("txtLogin", options_.login);
    wizard.type("txtPw", password_);
    wizard.click("cmdConnect");
    list = "cboCompanySql";
  } else {
    if (auto problem = accessFolderProblem(options_.sourceFolder, french); !problem.empty()) return refuse(problem);
    ui_.folderAnswer = options_.sourceFolder;
    wizard.click("cmdPathMarlin");
    list = "cboCompany";
  }
  if (!chooseCompany(wizard, list)) {
    if (!wizard.control(list).items.empty())
      return refuse(french ? "La société " + options_.company + " n'est pas dans la liste des sociétés Marlin."
                           : "Het bedrijf " + options_.company + " staat niet in de lijst van Marlin bedrijven.");
    // The wizard explains a damaged Common.mdb or a refused connection
    // itself; an empty SOCIETYLIST it leaves to the person's eyes.
    if (ui_.messageCount() == said) {
      const std::string common = base::joinPath(options_.sourceFolder, "Common.mdb");
      return refuse(french ? "Aucune société n'est définie dans " + common
                           : "Geen enkel bedrijf werd bepaald in " + common);
    }
    wizard.Unload();
    return;
  }
  wizard.reportFolder = options_.reportFolder;
  wizard.checkSourceOnly = options_.checkSource;
  wizard.click(options_.masterOnly ? "OptSignal" : "OptCompta");
  if (options_.masterOnly) {
    auto tick = [&wizard](const char* name, bool on) {
      if (wizard.control(name).value != on) wizard.click(name);
    };
    tick("chkClients", options_.customers);
    tick("chkSuppliers", options_.suppliers);
    tick("chkGeneralLegders", options_.accounts);
  }
  wizard.click("cmdOk");
  // A failed run leaves the wizard open; without a person there is nothing more to do.
  wizard.Unload();
}

}  // namespace app
