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
    ctx.journals.add(type, code);
  return ctx;
}

TEST(JournalRename, FreeCodesFollowTheCounterSeries) {
  base::RunContext ctx = withTemplateJournals();
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VENTES", "0"), "VENTE0");
  ctx.journals.add("2", "VENTE2");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VENTES", "2"), "VENT02");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VENTES", "2"), "VENT12");
  // A key keeps the first code given to it.
  EXPECT_EQ(ctx.journals.renamed, (std::map<std::string, std::string>{{"0VENTES", "VENTE0"}, {"2VENTES", "VENT02"}}));
  EXPECT_TRUE(ctx.journals.knows("2", "vent12"));
}

TEST(JournalRename, ShortCodesGrowInsteadOfBeingCut) {
  base::RunContext ctx;
  ctx.journals.add("2", "VEN");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VEN", "2"), "VEN2");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VEN", "2"), "VEN02");
  EXPECT_EQ(convert::RenameJournalCode(ctx, "VEN", "2"), "VEN12");
}

TEST(JournalResolution, SecondTypeOfOneJournalGetsOneNewJournal) {
  base::RunContext ctx = withTemplateJournals();
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, "J1", "2"), "J1");
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, "j1", "2"), "j1");
  EXPECT_TRUE(ctx.journals.added.empty());
  const std::string other = convert::ResolveDocumentJournal(ctx, "J1", "5");
  EXPECT_EQ(other, "J15");
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, "J1", "5"), other);
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, " J1 ", "5"), other);
  EXPECT_EQ(ctx.journals.added, std::vector<std::string>{"5J15"});
  // A template journal keeps its code for its own type.
  EXPECT_EQ(convert::ResolveDocumentJournal(ctx, "ACHATS", "0"), "ACHATS");
  EXPECT_EQ(ctx.journals.added.size(), 1u);
}

}  // namespace
