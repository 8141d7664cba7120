// The wizard without a window: fills its controls from the command line the
// way a person would fill them, presses Import, and reports on the terminal.
#pragma once
#include <iosfwd>
#include <string>

#include "app/cli/cli_options.h"
#include "app/cli/console_ui.h"
#include "host/obj_marlin.h"

namespace app {

class WindowlessFrontEnd : public host::FrontEnd {
 public:
  WindowlessFrontEnd(const CliOptions& options, std::string password, std::ostream& out, bool terminal);

  base::Ui& ui() override { return ui_; }
  void showModal(host::frmMain& wizard) override;

 private:
  bool chooseCompany(host::frmMain& wizard, const std::string& list);

  const CliOptions& options_;
  std::string password_;
  ConsoleUi ui_;
};

}  // namespace app
