// Journal codes: renaming a code taken by another journal type, and the
// resolution of the journal a document is booked in.
#include <gtest/gtest.h>

#include "convert/entries/entry_helpers.h"
#include "convert/master/journal_registry.h"

namespace {

base::RunContext withTemplateJournals() {
  base::RunContext ctx;
  for (auto [type, code] : std::vector<std::pair<std::string, std::string>>{
           {"2", "VENTES"}, {"0", "ACHATS"}, {"3", "NCVEN"}, {"1", "NCACHA"}, {"5", "OPDIV"}})
    convert::RegisterJournal(ctx, type, code);
  return ctx;
}

TEST(JournalRename, FreeCodesFollowTheCounterSeries) {
  base::RunContext ctx = withTemplateJournals();
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VENTES", "0"), "VENTE0");
  convert::RegisterJournal(ctx, "2", "VENTE2");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VENTES", "2"), "VENT02");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VENTES", "2"), "VENT12");
  EXPECT_EQ(ctx.journalKeys, (std::vector<std::string>{"0VENTES", "2VENTES", "2VENTES"}));
  EXPECT_EQ(ctx.journalCodes, (std::vector<std::string>{"VENTE0", "VENT02", "VENT12"}));
  EXPECT_TRUE(convert::JournalPairKnown(ctx, "2", "vent12"));
}

TEST(JournalRename, ShortCodesGrowInsteadOfBeingCut) {
  base::RunContext ctx;
  convert::RegisterJournal(ctx, "2", "VEN");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VEN", "2"), "VEN2");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VEN", "2"), "VEN02");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VEN", "2"), "VEN12");
}

TEST(JournalResolution, SecondTypeOfOneJournalGetsOneNewJournal) {
  base::RunContext ctx = withTemplateJournals();
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, "J1", "2"), "J1");
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, "j1", "2"), "j1");
  EXPECT_TRUE(ctx.addedJournals.empty());
  const std::string other = convert::ResolveDocumentJournal(ctx, "J1", "5");
  EXPECT_EQ(other, "J15");
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, "J1", "5"), other);
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, " J1 ", "5"), other);
  EXPECT_EQ(ctx.addedJournals, std::vector<std::string>{"5J15"});
  // A template journal keeps its code for its own type.
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, "ACHATS", "0"), "ACHATS");
  EXPECT_EQ(ctx.addedJournals.size(), 1u);
}

}  // namespace
