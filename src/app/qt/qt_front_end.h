// The wizard as a Qt 6 dialog: one widget per control of the model, placed
// where the model says, refreshed from the model after every action and at
// every repaint the run asks for.
#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "base/ui.h"
#include "host/obj_marlin.h"

class QApplication;
class QDialog;
class QWidget;

namespace app {

class QtFrontEnd : public host::FrontEnd, public base::Ui {
 public:
  // Uses the running QApplication, or starts one.
  QtFrontEnd();
  QtFrontEnd(int& argc, char** argv);
  ~QtFrontEnd() override;

  base::Ui& ui() override { return *this; }
  void showModal(host::frmMain& wizard) override;

  base::MsgResult messageBox(const std::string& text, base::MsgButtons buttons, base::MsgIcon icon,
                             const std::string& title) override;
  void processEvents() override;
  void setBusy(bool busy) override;
  std::optional<std::string> browseFolder(const std::string& title, const std::string& start) override;
  std::vector<std::string> listServers() override { return {}; }
  // The run's last message, with a button that opens its report.
  void finalMessage(const std::string& text, base::MsgIcon icon, const std::string& title,
                    const std::string& reportFile) override;

  // When set, message boxes and the folder browser are answered here instead
  // of on screen (tests on the offscreen platform).
  std::function<base::MsgResult(const std::string& text, base::MsgIcon icon, const std::string& title)> messageHook;
  std::function<std::optional<std::string>(const std::string& title)> folderHook;
  // When set, a report the person asked to open is handed here instead of to
  // the desktop (the message hook answers Yes for that button).
  std::function<void(const std::string& file)> openHook;
  // Called once the dialog is on screen.
  std::function<void(QDialog& dialog)> onShown;
  // Least time between two of the repaints the run asks for: the steps ask at
  // every record, a screen needs far fewer.
  std::chrono::milliseconds repaintInterval{40};

  // The widget of a control while the dialog is shown (its objectName is the control's name).
  QWidget* widget(const std::string& name) const;
  // Copies the model's state into the widgets.
  void sync();

 private:
  void build();

  std::unique_ptr<QApplication> ownApp_;
  int argc_ = 1;
  char arg0_[16] = "marlin2kestrel";
  char* argv_[2] = {arg0_, nullptr};
  host::frmMain* wizard_ = nullptr;
  QDialog* dialog_ = nullptr;
  std::map<std::string, QWidget*> widgets_;
  int busy_ = 0;
  std::chrono::steady_clock::time_point lastRepaint_{};
  bool syncing_ = false;
};

}  // namespace app
