// A book year converted on a thread of its own shows nothing itself: a window
// may be touched from its own thread only, and the person is to read the
// newer year's messages after the older year's, as in a run that converts
// them one after the other. The pass shows to this recorder, which keeps
// every call with the step of the pass it came in; the run shows them on its
// own thread once the older year is done.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "base/run_context.h"
#include "base/ui.h"
#include "run/import_run.h"

namespace run {

class PassRecorder : public base::Ui, public RunView {
 public:
  // What the recorded calls are shown on.
  struct Shown {
    base::Ui& ui;
    RunView& view;
    base::RunContext& ctx;
  };

  // `stepOf` tells the step of the pass a call comes in (-1: none).
  explicit PassRecorder(std::function<int()> stepOf) : stepOf_(std::move(stepOf)) {}

  // A question cannot wait for the older year: the pass stops here and the
  // run converts this book year again on its own thread, where the person is
  // asked (see QuestionAsked). A message with only OK is shown later.
  base::MsgResult messageBox(const std::string& text, base::MsgButtons buttons, base::MsgIcon icon,
                             const std::string& title) override;
  void processEvents() override {}
  void setBusy(bool busy) override;
  std::optional<std::string> browseFolder(const std::string&, const std::string&) override { return std::nullopt; }
  std::vector<std::string> listServers() override { return {}; }

  void enableWizardControls(bool enabled) override;
  void showImportError(const std::string& message) override;
  void setPhase(const std::string& text) override;
  void setProgress(int value) override;
  void clearStepLabel() override;
  void raiseExecutionDone() override;
  void unload() override;

  // The run context's labels and failure report, recorded the same way.
  void bindTo(base::RunContext& ctx);

  // Shows every call in the order it came, each noted in `report` under its
  // step there: `firstStep` is where the pass's first step was appended.
  void replay(const Shown& shown, base::RunReport& report, int firstStep) const;

 private:
  struct Call {
    int step;
    int kind;  // a label is kept once per run of calls that set it
    std::function<void(const Shown&)> show;
  };
  void keep(std::function<void(const Shown&)> show, int kind = 0);

  std::function<int()> stepOf_;
  std::vector<Call> calls_;
};

// Thrown by PassRecorder::messageBox for a question (yes/no, OK/cancel).
struct QuestionAsked {};

}  // namespace run
