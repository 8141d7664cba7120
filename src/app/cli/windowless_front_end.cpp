#include "app/cli/windowless_front_end.h"

#include "run/source_discovery.h"

namespace app {

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
  std::string list;
  if (options_.sqlEdition()) {
    wizard.type("cboServeur", options_.sqlServer);
    wizard.type("txtLogin", options_.login);
    wizard.type("txtPw", password_);
    wizard.click("cmdConnect");
    list = "cboCompanySql";
  } else {
    ui_.folderAnswer = options_.sourceFolder;
    wizard.click("cmdPathMarlin");
    list = "cboCompany";
  }
  // A company missing from the list is only worth a message when a list was
  // read at all; otherwise the wizard has already said why there is none.
  if (!chooseCompany(wizard, list)) {
    if (!wizard.control(list).items.empty())
      base::showMessage(ui_,
                        (french ? "La société " + options_.company + " n'est pas dans la liste des sociétés Marlin."
                                : "Het bedrijf " + options_.company + " staat niet in de lijst van Marlin bedrijven."),
                        base::MsgIcon::Exclamation, wizard.caption);
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
