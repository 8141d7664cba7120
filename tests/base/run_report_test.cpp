// The run's report as the steps and the wizard fill it.
#include "base/run_report.h"

#include <gtest/gtest.h>

namespace {

using base::ChangeKind;
using base::RunReport;
using base::SkipReason;

TEST(RunReportCollector, ChangesKeptOncePerStepAndCountedByWhatTheyLose) {
  RunReport r;
  r.begin(RunReport::Kind::Import, "F");
  r.beginStep("documents", 0);
  // A document's number is fitted on each of its lines: one change.
  for (int line = 0; line < 3; ++line)
    r.changed(ChangeKind::Shortened, "ACT.DOCNUMBER", "VEN 2024000001", "2024000001", "94000001");
  r.changed(ChangeKind::Reformatted, "CSF.VATNUMBER", "C1", "0123456789", "123.456.789");
  r.changed(ChangeKind::Renamed, "DBK.DBKID", "VEN", "VEN", "VEN2", "DBKTYPE=0");
  r.changed(ChangeKind::Renamed, "DBK.DBKID", "VEN", "VEN", "VEN2", "DBKTYPE=1");  // another change
  r.changed(ChangeKind::Lengthened, "ACF.NUMBER", "4400", "4400", "440000");
  r.changed(ChangeKind::Clipped, "CSF.NAME1", "C1", "a long name", "a long");
  r.changed(ChangeKind::Dropped, "CSF.BNKACCNT", "C1", "123", "");
  r.endStep(0.5, true);
  // The same change in the next book year's pass is that pass's own.
  r.beginStep("documents", 1);
  r.changed(ChangeKind::Shortened, "ACT.DOCNUMBER", "VEN 2024000001", "2024000001", "94000001");
  r.skipped(SkipReason::DuplicateNumber, "C1");
  r.skipped(SkipReason::NoType, "999999");
  r.skipped(SkipReason::ExistingJournal, "VENTES");
  r.skipped(SkipReason::ExistingAccount, "61");
  r.endStep(0.1, true);
  EXPECT_EQ(r.changes().size(), 8u);
  EXPECT_EQ(r.lossyChanges(), 4);
  EXPECT_EQ(r.droppedRows(), 2);
  EXPECT_EQ(r.steps()[1].skipped.size(), 4u);
  EXPECT_EQ(r.changes()[2].detail, "DBKTYPE=0");
}

// Both passes convert the general accounts into the one account plan the
// merged dossier keeps: what the first pass recorded is listed and totalled
// once; what only the second pass meets is its own. The same when the second
// pass ran beside the first, in a report of its own joined afterwards.
TEST(RunReportCollector, SharedStepOfTwoPassesRecordsEachValueOnce) {
  for (const bool besides : {false, true}) {
    SCOPED_TRACE(besides ? "second pass in a report of its own" : "passes in turn");
    RunReport r, own;
    r.begin(RunReport::Kind::Import, "F");
    own.begin(RunReport::Kind::Import, "F");
    for (int pass = 0; pass < 2; ++pass) {
      RunReport& to = pass == 1 && besides ? own : r;
      to.beginStep("general-accounts", pass, true);
      for (int line = 0; line < 2; ++line) to.changed(ChangeKind::Clipped, "ACF.NAME11", "1", "a long name", "a long");
      // Two like rows of one pass are two rows.
      for (int row = 0; row < 2; ++row) to.skipped(SkipReason::NoType, "999999", "Compte sans type");
      if (pass == 1) {
        to.changed(ChangeKind::Lengthened, "ACF.NUMBER", "4400", "4400", "440000");
        to.skipped(SkipReason::NoType, "888888");
      }
      to.endStep(0.1, true);
    }
    if (besides) r.append(own);
    ASSERT_EQ(r.changes().size(), 2u);
    EXPECT_EQ(r.changes()[0].step, 0);
    EXPECT_EQ(r.changes()[1].step, 1);
    EXPECT_EQ(r.lossyChanges(), 1);
    EXPECT_EQ(r.droppedRows(), 3);
    EXPECT_EQ(r.steps()[0].skipped.size(), 2u);
    ASSERT_EQ(r.steps()[1].skipped.size(), 1u);
    EXPECT_EQ(r.steps()[1].skipped[0].key, "888888");
    EXPECT_EQ(r.steps()[0].repeated, 0);
    EXPECT_EQ(r.steps()[1].repeated, 3);
  }
}

TEST(RunReportCollector, MessagesAndRepeatedCasesOfOneRun) {
  RunReport r;
  r.messageShown("before the run", "", base::MsgIcon::None);
  r.begin(RunReport::Kind::Import, "N");
  r.beginStep("documents", 0);
  r.repeated("several-matching-entries", "%n", "T", "VEN 1");
  r.repeated("several-matching-entries", "%n", "T", "VEN 2");
  ASSERT_EQ(r.unshownRepeats().size(), 1u);
  r.unshownRepeats()[0]->shown = true;
  r.endStep(0, true);
  r.beginStep("documents", 1);
  r.repeated("several-matching-entries", "%n", "T", "VEN 3");
  r.messageShown("during the run", "", base::MsgIcon::Exclamation);
  r.finish(true);
  r.messageShown("after the run", "", base::MsgIcon::None);
  ASSERT_EQ(r.repeats().size(), 2u);
  EXPECT_EQ(r.repeats()[0].cases, (std::vector<std::string>{"VEN 1", "VEN 2"}));
  EXPECT_EQ(r.repeats()[1].cases, std::vector<std::string>{"VEN 3"});
  ASSERT_EQ(r.messages().size(), 1u);
  EXPECT_EQ(r.messages()[0].text, "during the run");
  EXPECT_EQ(r.messages()[0].step, 1);
  // A new run forgets the previous one.
  r.begin(RunReport::Kind::SourceCheck, "F");
  EXPECT_TRUE(r.messages().empty() && r.repeats().empty() && r.steps().empty());
}

// A pass recorded in a report of its own joins the run's after its steps:
// changes, repeated messages and messages keep their own steps, a source file
// already listed is listed once.
TEST(RunReportCollector, APassOfItsOwnJoinsAfterTheRunsSteps) {
  RunReport run, pass;
  run.begin(RunReport::Kind::Import, "F");
  run.source.files.push_back({"001Soc.MDB", 1, "a"});
  run.beginStep("documents", 0);
  run.changed(ChangeKind::Shortened, "ACT.DOCNUMBER", "VEN 1", "2024000001", "94000001");
  run.endStep(1, true);
  pass.begin(RunReport::Kind::Import, "F");
  pass.source.files = {{"001Soc.MDB", 1, "a"}, {"001A01.mdb", 2, "b"}};
  pass.bookYears.push_back({1, 2, "Dossier Ex. 2025"});
  pass.beginStep("journals", 1);
  pass.endStep(1, true);
  pass.beginStep("documents", 1);
  pass.changed(ChangeKind::Shortened, "ACT.DOCNUMBER", "VEN 1", "2024000001", "94000001");
  pass.repeated("several-matching-entries", "%n", "T", "VEN 3");
  pass.messageShown("in the pass", "", base::MsgIcon::None);
  pass.endStep(1, true);
  EXPECT_EQ(run.append(pass), 1);
  ASSERT_EQ(run.steps().size(), 3u);
  EXPECT_EQ(run.steps()[2].name, "documents");
  ASSERT_EQ(run.changes().size(), 2u) << "the same change in another step is its own";
  EXPECT_EQ(run.changes()[1].step, 2);
  ASSERT_EQ(run.repeats().size(), 1u);
  EXPECT_EQ(run.repeats()[0].step, 2);
  ASSERT_EQ(run.messages().size(), 1u);
  EXPECT_EQ(run.messages()[0].step, 2);
  EXPECT_EQ(run.source.files.size(), 2u);
  ASSERT_EQ(run.bookYears.size(), 1u);
  EXPECT_EQ(run.bookYears[0].label, "Dossier Ex. 2025");
}

}  // namespace
