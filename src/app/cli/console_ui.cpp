#include "app/cli/console_ui.h"

#include <chrono>
#include <ostream>

namespace app {
using namespace base;

namespace {

const char* iconWord(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical: return "!! ";
    case MsgIcon::Exclamation: return "! ";
    case MsgIcon::Question: return "? ";
    case MsgIcon::Information: return "i ";
    case MsgIcon::None: break;
  }
  return "";
}

std::string bar(int progress) {
  if (progress < 0) progress = 0;
  if (progress > 100) progress = 100;
  const int filled = progress / 5;
  std::string text = '[' + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(20 - filled), ' ') + "] ";
  std::string pct = std::to_string(progress) + "%";
  return text + std::string(4 - pct.size(), ' ') + pct;
}

}  // namespace

ConsoleUi::ConsoleUi(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

void ConsoleUi::endProgressLine() {
  if (lineOpen_) out_ << "\n";
  lineOpen_ = false;
}

MsgResult ConsoleUi::messageBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) {
  endProgressLine();
  ++messageCount_;
  std::string body = text;
  for (std::size_t p = body.find("\r\n"); p != std::string::npos; p = body.find("\r\n", p)) body.replace(p, 2, 1, '\n');
  out_ << iconWord(icon) << (title.empty() ? std::string("MarlinToKestrel") : title) << ": " << body << std::endl;
  shown_.clear();
  shownHead_.clear();
  // Nobody answers on a windowless run: the affirmative choice keeps it going.
  return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes : MsgResult::Ok;
}

void ConsoleUi::processEvents() {
  if (!status) return;
  Status s = status();
  std::string line = bar(s.progress) + "  " + s.phase;
  if (!s.step.empty()) line += " | " + s.step;
  if (line == shownHead_ && !terminal_) return;
  const bool headChanged = line != shownHead_;
  shownHead_ = line;
  // Records scroll by too fast to read: a log gets the steps only, a
  // terminal the current record a few times a second.
  if (!s.record.empty()) line += " | " + s.record;
  const auto now = std::chrono::steady_clock::now();
  if (line == shown_ || (!headChanged && now - lastDraw_ < std::chrono::milliseconds(100))) return;
  lastDraw_ = now;
  if (terminal_) {
    // Redraw in place, blanking what the previous line left behind.
    std::string padded = line;
    if (padded.size() < shown_.size()) padded += std::string(shown_.size() - padded.size(), ' ');
    out_ << "\r" << padded << std::flush;
    lineOpen_ = true;
  } else {
    out_ << shownHead_ << "\n";
  }
  shown_ = line;
}

std::optional<std::string> ConsoleUi::browseFolder(const std::string&, const std::string&) {
  auto answer = folderAnswer;
  folderAnswer.reset();
  return answer;
}

}  // namespace app
