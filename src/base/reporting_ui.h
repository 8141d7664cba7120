// A Ui that notes every message box in the run's report before the person
// sees it, so the report holds every message the run showed.
#pragma once
#include "base/run_report.h"
#include "base/ui.h"

namespace base {

class ReportingUi : public Ui {
 public:
  ReportingUi(Ui& shown, RunReport& report) : shown_(shown), report_(report) {}

  MsgResult messageBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) override {
    report_.messageShown(text, title, icon);
    return shown_.messageBox(text, buttons, icon, title);
  }
  void finalMessage(const std::string& text, MsgIcon icon, const std::string& title,
                    const std::string& reportFile) override {
    report_.messageShown(text, title, icon);
    shown_.finalMessage(text, icon, title, reportFile);
  }
  void processEvents() override { shown_.processEvents(); }
  void setBusy(bool busy) override { shown_.setBusy(busy); }
  std::optional<std::string> browseFolder(const std::string& title, const std::string& start) override {
    return shown_.browseFolder(title, start);
  }
  std::vector<std::string> listServers() override { return shown_.listServers(); }

 private:
  Ui& shown_;
  RunReport& report_;
};

}  // namespace base
