// A Ui that remembers everything shown to it and answers from a script, for
// tests and for hosts that drive the wizard without a person.
#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "base/ui.h"

namespace base {

class RecordingUi : public Ui {
 public:
  struct Message {
    std::string text;
    MsgButtons buttons;
    MsgIcon icon;
    std::string title;
  };

  MsgResult messageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                       const std::string& title) override {
    messages.push_back({text, buttons, icon, title});
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes : MsgResult::Ok;
  }
  void processEvents() override { ++repaints; }
  void setBusy(bool busy) override {
    this->busy = busy;
    busyChanges.push_back(busy);
  }
  std::optional<std::string> browseFolder(const std::string& title, const std::string&) override {
    browseTitles.push_back(title);
    if (folderAnswers.empty()) return std::nullopt;
    auto answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
  }
  std::vector<std::string> listServers() override { return servers; }

  // The texts of the messages shown, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> all;
    for (const auto& m : messages) all.push_back(m.text);
    return all;
  }

  std::vector<Message> messages;
  std::vector<bool> busyChanges;
  std::vector<std::string> browseTitles;
  std::deque<std::optional<std::string>> folderAnswers;
  std::vector<std::string> servers;
  bool busy = false;
  int repaints = 0;
};

}  // namespace base
