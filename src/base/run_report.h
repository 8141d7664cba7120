// What one import run read, wrote, changed, skipped and showed, collected
// while it happens: the steps record where they decide to clip, drop, rename
// or skip a value or a row; the run times the steps, counts their rows and
// fills in the source, the target and the reconciliation; the wizard's
// message boxes are noted as they are shown (base::ReportingUi). The import
// run writes it out as the migration report.
#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ui.h"

namespace base {

// How a value was changed on its way into the dossier.
enum class ChangeKind { Clipped, Dropped, Reformatted, Shortened, Renamed, Lengthened };
// Its code in the report: "clipped", "dropped", ...
const char* changeKindCode(ChangeKind kind);
// Clipped, dropped and shortened values lose part of what the source held;
// reformatted, renamed and lengthened ones keep all of it in another form.
bool losesInformation(ChangeKind kind);

// Why a source row did not become a row of its own in the dossier.
enum class SkipReason {
  DuplicateNumber,  // a customer or supplier number already written (an empty number included)
  NumberTooLong,    // a number the target field cannot hold: the run stops
  NoType,           // a general account without type
  ExistingAccount,  // a heading whose number is an account's: its name went onto that account
  ExistingCode,     // a category or payment code the dossier already holds
  ExistingJournal,  // a journal of the same code and type the dossier already holds
  NoShortCode,      // a long code for which no free short code exists: the run stops
};
const char* skipReasonCode(SkipReason reason);
// True when the row's data is lost; false when the row joined one the dossier
// already holds under the same key.
bool dropsData(SkipReason reason);

struct SkippedRow {
  SkipReason reason;
  std::string key;     // the source row's number or code
  std::string detail;  // the row's name, or what it joined
};

struct ValueChange {
  int step = -1;  // index into steps(); -1 outside a step
  ChangeKind kind;
  std::string field;  // target table and field, "CSF.NAME1"
  std::string key;    // the source row's number or code
  std::string oldValue, newValue;
  std::string detail;  // what else tells the case, "DBKTYPE=0" for a journal renamed for its type
};

struct ShownMessage {
  int step = -1;
  std::string text, title;
  MsgIcon icon = MsgIcon::None;
};

// A message that used to be shown once per case (one box per document):
// shown once at the end of its step with the number of cases, every case
// listed in the report.
struct RepeatedMessage {
  int step = -1;
  std::string id;       // stable code, "several-matching-entries"
  std::string summary;  // text of the one box, "%n" standing for the number of cases
  std::string title;
  std::vector<std::string> cases;
  bool shown = false;

  // The text of the one box: the summary with its number of cases.
  std::string text() const;
};

struct StepRecord {
  std::string name;   // stable code, "customers"
  int bookYear = -1;  // source book-year index; -1 for a step of the whole run
  double seconds = 0;
  long rowsRead = 0;                        // source rows whose values the step read
  std::map<std::string, long> rowsWritten;  // records added, by target table
  bool succeeded = true;
  std::vector<SkippedRow> skipped;
  bool shared = false;  // see RunReport::beginStep
  // Changes and skipped rows of a shared step an earlier pass already recorded.
  long repeated = 0;
};

struct SourceFile {
  std::string path;
  uint64_t bytes = 0;
  std::string sha256;
};

struct SourceInfo {
  std::string edition;  // "access" or "sql"
  std::string layout;   // "prefixed" or "older"
  std::string company, server, database, version;
  std::vector<SourceFile> files;
};

struct BookYearInfo {
  int index = 0;           // source book-year index
  int targetBookYear = 1;  // 1 or 2 in the dossier
  std::string label;       // "Dossier Ex. 2024"
};

struct TargetInfo {
  std::string kestrelFolder, dossier, folder;
  std::string generalAccountLength;
};

// --- Reconciliation ------------------------------------------------------------
// Amounts are whole thousandths of a euro (or of the currency), the precision
// of the dossier's amount fields.

struct Balance {
  int bookYear = 0;  // 1 or 2 in the dossier
  std::string key;   // account number; "1/number" customer, "2/number" supplier
  int64_t source = 0, target = 0;
};

struct JournalPeriod {
  int bookYear = 0;
  std::string journal;         // in the dossier
  std::string sourceJournals;  // the source journals booked in it, "VEN" or "J1, J2"
  std::string period;          // in the dossier: "00" opening, "99" closing
  long sourceDocuments = 0, targetDocuments = 0;
  long sourceLines = 0, targetLines = 0;
};

struct UnbalancedDocument {
  bool inTarget = false;
  int bookYear = 0;
  std::string journal, period, number;
  std::string currency;  // empty: the euro balance
  int64_t balance = 0;
};

// Master data: every source row is in the dossier or reported as skipped.
struct RecordCount {
  std::string table;  // "customers", "suppliers", "general-accounts"
  long source = 0, target = 0, skipped = 0;
};

// What the conversion changes on purpose in the books, counted so that the
// totals above reconcile (the newer year's opening entries, for one).
struct Adjustment {
  std::string code;  // "newer-opening-entries", ...
  int bookYear = 0;
  long lines = 0;
  int64_t amount = 0;
};

struct Difference {
  std::string section;  // "account", "party", "journal", "unbalanced", "records", "missing-account", ...
  int bookYear = 0;
  std::string key;
  std::string detail;
};

struct Reconciliation {
  bool performed = false;
  std::vector<Balance> accounts, parties;
  std::vector<JournalPeriod> journals;
  std::vector<UnbalancedDocument> unbalanced;
  std::vector<RecordCount> records;
  std::vector<Adjustment> adjustments;
  std::vector<Difference> differences;
};

class RunReport {
 public:
  using Clock = std::chrono::system_clock;
  enum class Kind { Import, SourceCheck };

  // --- The run -------------------------------------------------------------
  // Starts a new report (everything of the previous run is forgotten).
  void begin(Kind kind, const std::string& language);
  // Ends it; messages shown after this are not noted.
  void finish(bool succeeded);
  bool active() const { return active_; }

  // Records of the step about to run; returns its index. A `shared` step
  // fills, in every pass, a table the merged dossier holds once (the general
  // accounts: the merge keeps the older year's and adds the newer year's
  // others): a change or skipped row an earlier pass of the same step recorded
  // is only counted in `repeated`, so the report lists and totals it once.
  int beginStep(const std::string& name, int bookYear, bool shared = false);
  void endStep(double seconds, bool succeeded);
  // The step what happens now belongs to (-1: none): messages of a pass that
  // ran on a thread of its own are noted under its steps when they are shown.
  int currentStep() const { return current_; }
  void resumeStep(int index) { current_ = index; }
  // Adds what a pass recorded in a report of its own, after this report's
  // steps: its steps, changes, repeated messages, messages, book years and
  // source files. Returns the index its first step has here.
  int append(const RunReport& pass);
  // A source row read by the current step.
  void rowRead();
  void rowsWritten(const std::string& table, long count);

  // --- What the steps record -------------------------------------------------
  void skipped(SkipReason reason, const std::string& key, const std::string& detail = {});
  // The same change of the same value is kept once per step (a document's
  // number is fitted on each of its lines), and once for a shared step.
  void changed(ChangeKind kind, const std::string& field, const std::string& key, const std::string& oldValue,
               const std::string& newValue, const std::string& detail = {});
  // One case of a repeated message (see RepeatedMessage); `summary` and
  // `title` are kept from its first case.
  void repeated(const std::string& id, const std::string& summary, const std::string& title,
                const std::string& caseText);
  // The repeated messages recorded since they were last taken, to be shown.
  std::vector<RepeatedMessage*> unshownRepeats();

  // A message box being shown (base::ReportingUi); ignored outside a run.
  void messageShown(const std::string& text, const std::string& title, MsgIcon icon);
  // The run's last message, which names the report: noted before the report
  // is written, so the report holds it; a later call replaces it.
  void setLastMessage(const std::string& text, MsgIcon icon);

  // --- What the report holds -------------------------------------------------
  Kind kind() const { return kind_; }
  const std::string& language() const { return language_; }
  Clock::time_point startTime() const { return start_; }
  Clock::time_point endTime() const { return end_; }
  bool succeeded() const { return succeeded_; }
  const std::vector<StepRecord>& steps() const { return steps_; }
  const std::vector<ValueChange>& changes() const { return changes_; }
  // The messages shown during the run, its last message included.
  std::vector<ShownMessage> messages() const;
  const std::vector<RepeatedMessage>& repeats() const { return repeats_; }

  // Skipped rows that lost data, and changes that lost part of a value.
  long droppedRows() const;
  long lossyChanges() const;

  SourceInfo source;
  TargetInfo target;
  std::vector<BookYearInfo> bookYears;
  // The user's choice: full import (history) or master data, and which.
  bool fullImport = false, customers = false, suppliers = false, generalAccounts = false;
  Reconciliation reconciliation;
  // Where the report was written (text file), once it was.
  std::string textFile, jsonFile;

 private:
  StepRecord* current() { return current_ < 0 ? nullptr : &steps_[static_cast<size_t>(current_)]; }

  Kind kind_ = Kind::Import;
  std::string language_ = "F";
  bool active_ = false, succeeded_ = false;
  Clock::time_point start_{}, end_{};
  int current_ = -1;
  std::vector<StepRecord> steps_;
  std::vector<ValueChange> changes_;
  // True when an earlier pass of the current shared step recorded `what`
  // (then counted in the step's `repeated`).
  bool recordedByEarlierPass(const std::string& what);
  // The changes met so far by the hash of what they are (step included):
  // an index into changes_, or ~index into unlisted_ for those an earlier
  // pass of a shared step recorded. Found again by comparing the changes
  // themselves, the one met last first: a document's lines report the same
  // change one after the other.
  std::unordered_multimap<size_t, long> changesMet_;
  std::vector<ValueChange> unlisted_;
  long lastMet_ = -1;
  const ValueChange& met(long index) const;
  std::unordered_map<std::string, int> sharedKeys_;  // step name and what -> step that first recorded it
  std::vector<ShownMessage> messages_;
  std::vector<ShownMessage> last_;  // none or one
  std::vector<RepeatedMessage> repeats_;
};

}  // namespace base
