// A UI for tests: records every message and answers OK.
#pragma once
#include <string>
#include <vector>

#include "host/ui.h"

namespace testing_support {

class RecordingUi : public host::Ui {
 public:
  std::vector<std::string> messages;
  std::vector<host::MsgIcon> icons;

  host::MsgResult messageBox(const std::string& text, host::MsgButtons, host::MsgIcon icon, const std::string&) override {
    messages.push_back(text);
    icons.push_back(icon);
    return host::MsgResult::Ok;
  }
  void processEvents() override {}
  void setBusy(bool) override {}
  std::optional<std::string> browseFolder(const std::string&, const std::string&) override { return std::nullopt; }
  std::vector<std::string> listServers() override { return {}; }
};

}  // namespace testing_support
