#include "run/pass_recorder.h"

namespace run {
namespace {
enum Kind { Other, StepLabel, RecordLabel };
}

void PassRecorder::keep(std::function<void(const Shown&)> show, int kind) {
  // The document step names every document it reads: only the last name of
  // such a run of calls was ever readable, and a hundred thousand of them
  // would fill memory.
  if (kind != Other && !calls_.empty() && calls_.back().kind == kind && calls_.back().step == stepOf_()) {
    calls_.back().show = std::move(show);
    return;
  }
  calls_.push_back({stepOf_(), kind, std::move(show)});
}

base::MsgResult PassRecorder::messageBox(const std::string& text, base::MsgButtons buttons, base::MsgIcon icon,
                                         const std::string& title) {
  if (buttons != base::MsgButtons::Ok) throw QuestionAsked{};
  keep([=](const Shown& s) { s.ui.messageBox(text, buttons, icon, title); });
  return base::MsgResult::Ok;
}

void PassRecorder::setBusy(bool busy) {
  keep([=](const Shown& s) { s.ui.setBusy(busy); });
}

void PassRecorder::enableWizardControls(bool enabled) {
  keep([=](const Shown& s) { s.view.enableWizardControls(enabled); });
}

void PassRecorder::showImportError(const std::string& message) {
  keep([=](const Shown& s) { s.view.showImportError(message); });
}

void PassRecorder::setPhase(const std::string& text) {
  keep([=](const Shown& s) { s.view.setPhase(text); });
}

void PassRecorder::setProgress(int value) {
  keep([=](const Shown& s) { s.view.setProgress(value); });
}

void PassRecorder::clearStepLabel() {
  keep([](const Shown& s) { s.view.clearStepLabel(); });
}

void PassRecorder::raiseExecutionDone() {
  keep([](const Shown& s) { s.view.raiseExecutionDone(); });
}

void PassRecorder::unload() {
  keep([](const Shown& s) { s.view.unload(); });
}

void PassRecorder::bindTo(base::RunContext& ctx) {
  ctx.ui = this;
  ctx.showImportError = [this](const std::string& message) {
    keep([=](const Shown& s) {
      if (s.ctx.showImportError) s.ctx.showImportError(message);
    });
  };
  ctx.setStepLabel = [this](const std::string& text) {
    keep(
        [=](const Shown& s) {
          if (s.ctx.setStepLabel) s.ctx.setStepLabel(text);
        },
        StepLabel);
  };
  ctx.setRecordLabel = [this](const std::string& text) {
    keep(
        [=](const Shown& s) {
          if (s.ctx.setRecordLabel) s.ctx.setRecordLabel(text);
        },
        RecordLabel);
  };
}

void PassRecorder::replay(const Shown& shown, base::RunReport& report, int firstStep) const {
  for (const Call& call : calls_) {
    report.resumeStep(call.step < 0 ? -1 : firstStep + call.step);
    call.show(shown);
  }
  report.resumeStep(-1);
}

}  // namespace run
