// The wizard on a terminal: message boxes as titled lines, and a progress
// line with the book year (Label8), the running step (Label9) and the
// current record (Label6), redrawn in place on a terminal.
#pragma once
#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "base/ui.h"

namespace app {

class ConsoleUi : public base::Ui {
 public:
  struct Status {
    int progress = 0;
    std::string phase, step, record;  // Label8, Label9, Label6
  };

  ConsoleUi(std::ostream& out, bool terminal);

  base::MsgResult messageBox(const std::string& text, base::MsgButtons buttons, base::MsgIcon icon,
                       const std::string& title) override;
  void processEvents() override;
  void setBusy(bool) override {}
  // The folder given in advance (a command-line option); nothing otherwise.
  std::optional<std::string> browseFolder(const std::string& title, const std::string& start) override;
  std::vector<std::string> listServers() override { return {}; }

  // How many message boxes have been shown so far.
  int messageCount() const { return messageCount_; }

  // Where the progress line comes from (the wizard's controls).
  std::function<Status()> status;
  std::optional<std::string> folderAnswer;

 private:
  void endProgressLine();

  std::ostream& out_;
  bool terminal_;
  std::string shown_, shownHead_;
  std::chrono::steady_clock::time_point lastDraw_{};
  bool lineOpen_ = false;
  int messageCount_ = 0;
};

}  // namespace app
