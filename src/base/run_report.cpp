#include "base/run_report.h"

#include <algorithm>

namespace base {

const char* changeKindCode(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::Clipped:
      return "clipped";
    case ChangeKind::Dropped:
      return "dropped";
    case ChangeKind::Reformatted:
      return "reformatted";
    case ChangeKind::Shortened:
      return "shortened";
    case ChangeKind::Renamed:
      return "renamed";
    case ChangeKind::Lengthened:
      return "lengthened";
  }
  return "";
}

bool losesInformation(ChangeKind kind) {
  return kind == ChangeKind::Clipped || kind == ChangeKind::Dropped || kind == ChangeKind::Shortened;
}

const char* skipReasonCode(SkipReason reason) {
  switch (reason) {
    case SkipReason::DuplicateNumber:
      return "duplicate-number";
    case SkipReason::NumberTooLong:
      return "number-too-long";
    case SkipReason::NoType:
      return "no-type";
    case SkipReason::ExistingAccount:
      return "existing-account";
    case SkipReason::ExistingCode:
      return "existing-code";
    case SkipReason::ExistingJournal:
      return "existing-journal";
    case SkipReason::NoShortCode:
      return "no-short-code";
  }
  return "";
}

bool dropsData(SkipReason reason) {
  return reason != SkipReason::ExistingAccount && reason != SkipReason::ExistingCode &&
         reason != SkipReason::ExistingJournal;
}

std::string RepeatedMessage::text() const {
  std::string shown = summary;
  const size_t at = shown.find("%n");
  if (at != std::string::npos) shown.replace(at, 2, std::to_string(cases.size()));
  return shown;
}

void RunReport::begin(Kind kind, const std::string& language) {
  *this = RunReport();
  kind_ = kind;
  language_ = language;
  active_ = true;
  start_ = end_ = Clock::now();
}

void RunReport::finish(bool succeeded) {
  succeeded_ = succeeded;
  active_ = false;
  current_ = -1;
  end_ = Clock::now();
}

int RunReport::beginStep(const std::string& name, int bookYear, bool shared) {
  StepRecord step;
  step.name = name;
  step.bookYear = bookYear;
  step.shared = shared;
  steps_.push_back(std::move(step));
  current_ = static_cast<int>(steps_.size()) - 1;
  return current_;
}

void RunReport::endStep(double seconds, bool succeeded) {
  if (StepRecord* step = current()) {
    step->seconds = seconds;
    step->succeeded = succeeded;
  }
  current_ = -1;
}

int RunReport::append(const RunReport& pass) {
  const int offset = static_cast<int>(steps_.size());
  const auto moved = [offset](int step) { return step < 0 ? step : step + offset; };
  // Changes and skipped rows are recorded again under the steps' new
  // indexes, so that a shared step finds what this run's passes recorded.
  const int was = current_;
  for (const StepRecord& step : pass.steps_) {
    steps_.push_back(step);
    steps_.back().skipped.clear();
    current_ = static_cast<int>(steps_.size()) - 1;
    for (const SkippedRow& row : step.skipped) skipped(row.reason, row.key, row.detail);
  }
  for (const ValueChange& c : pass.changes_) {
    current_ = moved(c.step);
    changed(c.kind, c.field, c.key, c.oldValue, c.newValue, c.detail);
  }
  current_ = was;
  for (RepeatedMessage r : pass.repeats_) {
    r.step = moved(r.step);
    repeats_.push_back(std::move(r));
  }
  for (ShownMessage m : pass.messages_) {
    m.step = moved(m.step);
    messages_.push_back(std::move(m));
  }
  bookYears.insert(bookYears.end(), pass.bookYears.begin(), pass.bookYears.end());
  for (const SourceFile& file : pass.source.files) {
    const bool known = std::any_of(source.files.begin(), source.files.end(),
                                   [&](const SourceFile& f) { return f.path == file.path; });
    if (!known) source.files.push_back(file);
  }
  return offset;
}

void RunReport::rowRead() {
  if (StepRecord* step = current()) ++step->rowsRead;
}

void RunReport::rowsWritten(const std::string& table, long count) {
  if (StepRecord* step = current()) step->rowsWritten[table] += count;
}

bool RunReport::recordedByEarlierPass(const std::string& what) {
  StepRecord* step = current();
  if (!step || !step->shared) return false;
  const auto [first, added] = sharedKeys_.emplace(step->name + '\x1f' + what, current_);
  // Two like rows of one pass are two rows.
  if (added || first->second == current_) return false;
  ++step->repeated;
  return true;
}

void RunReport::skipped(SkipReason reason, const std::string& key, const std::string& detail) {
  // A step called on its own (a test, a tool) records under a step without name.
  if (!current()) beginStep("", -1);
  if (recordedByEarlierPass(std::string(skipReasonCode(reason)) + '\x1f' + key + '\x1f' + detail)) return;
  current()->skipped.push_back({reason, key, detail});
}

namespace {

bool sameChange(const ValueChange& a, const ValueChange& b) {
  return a.step == b.step && a.kind == b.kind && a.key == b.key && a.field == b.field && a.oldValue == b.oldValue &&
         a.newValue == b.newValue && a.detail == b.detail;
}

size_t hashOf(const ValueChange& c) {
  const std::hash<std::string> text;
  size_t h = std::hash<int>()(c.step) ^ (static_cast<size_t>(c.kind) << 8);
  for (const std::string* s : {&c.field, &c.key, &c.oldValue, &c.newValue, &c.detail})
    h = (h ^ text(*s)) * 0x100000001b3ull;
  return h;
}

}  // namespace

const ValueChange& RunReport::met(long index) const {
  return index >= 0 ? changes_[static_cast<size_t>(index)] : unlisted_[static_cast<size_t>(~index)];
}

void RunReport::changed(ChangeKind kind, const std::string& field, const std::string& key, const std::string& oldValue,
                        const std::string& newValue, const std::string& detail) {
  ValueChange change{current_, kind, field, key, oldValue, newValue, detail};
  if (lastMet_ != -1 && sameChange(met(lastMet_), change)) return;
  const size_t hash = hashOf(change);
  for (auto [at, end] = changesMet_.equal_range(hash); at != end; ++at)
    if (sameChange(met(at->second), change)) {
      lastMet_ = at->second;
      return;
    }
  const StepRecord* step = current();
  if (step && step->shared) {
    const char separator = '\x1f';
    const std::string what = std::string(changeKindCode(kind)) + separator + field + separator + key + separator +
                             oldValue + separator + newValue + separator + detail;
    if (recordedByEarlierPass(what)) {
      lastMet_ = ~static_cast<long>(unlisted_.size());
      unlisted_.push_back(std::move(change));
      changesMet_.emplace(hash, lastMet_);
      return;
    }
  }
  lastMet_ = static_cast<long>(changes_.size());
  changes_.push_back(std::move(change));
  changesMet_.emplace(hash, lastMet_);
}

void RunReport::repeated(const std::string& id, const std::string& summary, const std::string& title,
                         const std::string& caseText) {
  for (RepeatedMessage& r : repeats_) {
    if (r.step == current_ && r.id == id && !r.shown) {
      r.cases.push_back(caseText);
      return;
    }
  }
  repeats_.push_back({current_, id, summary, title, {caseText}, false});
}

std::vector<RepeatedMessage*> RunReport::unshownRepeats() {
  std::vector<RepeatedMessage*> pending;
  for (RepeatedMessage& r : repeats_)
    if (!r.shown) pending.push_back(&r);
  return pending;
}

void RunReport::messageShown(const std::string& text, const std::string& title, MsgIcon icon) {
  if (active_) messages_.push_back({current_, text, title, icon});
}

void RunReport::setLastMessage(const std::string& text, MsgIcon icon) { last_ = {{-1, text, "", icon}}; }

std::vector<ShownMessage> RunReport::messages() const {
  std::vector<ShownMessage> all = messages_;
  all.insert(all.end(), last_.begin(), last_.end());
  return all;
}

long RunReport::droppedRows() const {
  long n = 0;
  for (const StepRecord& step : steps_)
    for (const SkippedRow& row : step.skipped)
      if (dropsData(row.reason)) ++n;
  return n;
}

long RunReport::lossyChanges() const {
  long n = 0;
  for (const ValueChange& c : changes_)
    if (losesInformation(c.kind)) ++n;
  return n;
}

}  // namespace base
