// Everything the system shows to a person goes through this interface: the Qt
// window, the terminal and the tests each provide one.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace base {

enum class MsgIcon { None, Information, Exclamation, Critical, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

class Ui {
 public:
  virtual ~Ui() = default;
  // A modal message box. An empty title means the application's default title.
  virtual MsgResult messageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                               const std::string& title) = 0;
  // Repaint and let pending events through (the run's only yielding points).
  virtual void processEvents() = 0;
  // Hourglass pointer on or off.
  virtual void setBusy(bool busy) = 0;
  // Folder browser; nullopt when the person cancels.
  virtual std::optional<std::string> browseFolder(const std::string& title, const std::string& start) = 0;
  // SQL servers visible on the network, for the server list.
  virtual std::vector<std::string> listServers() = 0;
  // The run's last message, which names its report (`reportFile`, the text
  // file; empty when none could be written). A window may offer to open the
  // report; by default it is an ordinary message box.
  virtual void finalMessage(const std::string& text, MsgIcon icon, const std::string& title,
                            const std::string& reportFile) {
    (void)reportFile;
    messageBox(text, MsgButtons::Ok, icon, title);
  }
};

// Convenience for the common "OK, exclamation" message.
inline void showMessage(Ui& ui, const std::string& text, MsgIcon icon = MsgIcon::Exclamation,
                        const std::string& title = "") {
  ui.messageBox(text, MsgButtons::Ok, icon, title);
}

}  // namespace base
