// The journals of a source book year into DBK, with bank options and the
// central accounts of financial journals in ACF.
#include <gtest/gtest.h>

#include <algorithm>

#include "convert/master/journal_registry.h"
#include "convert/master/master_steps.h"
#include "support/history_dossier.h"
#include "support/scripted_source.h"

namespace {

using testing_support::integer;
using testing_support::null;
using testing_support::Record;
using testing_support::Row;
using testing_support::text;

Row journal(const std::string& code, int type, int subtype, base::Value account = null(), base::Value bank = null(),
            base::Value wording = text("Journal")) {
  return {{"JrnlID", text(code)}, {"Type", integer(type)}, {"SubType", integer(subtype)},
          {"Wording", wording},   {"AcctID", account}, {"BankNum", bank}};
}

using testing_support::fieldOf;
using testing_support::findRecord;

TEST(JournalsStep, TypesRenamesBankOptionsAndCentralAccounts) {
  testing_support::StepContext step;
  step.ctx.generalAccountLength = "6";
  const std::string prefix = testing_support::newYearDossier(step.folder.path(), 1);
  testing_support::appendRecords(prefix + "_ACF.DBF", {{{"TYPE", "3"}, {"NUMBER", "550000"}, {"CURRENCY", "USD"}},
                                            {{"TYPE", "3"}, {"NUMBER", "570000"}, {"CURRENCY", ""}}});
  const size_t accountsBefore = testing_support::readTable(prefix + "_ACF.DBF").size();
  testing_support::MemoryRowSet rows(testing_support::tableOf({journal("VEN", 1, 0), journal("VENTES", 1, 0), journal("VENTES", 2, 0),
                           journal("BQ1", 4, 1, text("550000"), text("123456789002")),
                           journal("BQ2", 4, 0, text("5510"), null(), null()),
                           journal("CAI", 4, 0, text("580000"), text("BE12 3456")),
                           journal("BQ3", 4, 0, null(), text("123456789002999")),
                           journal("OD2", 3, 3), journal("ODX", 9, 0)}));
  ASSERT_TRUE(convert::ConvertJournals(step.ctx, rows, prefix)) << ::testing::PrintToString(step.errors);

  auto dbk = testing_support::readTable(prefix + "_DBK_01.DBF");
  EXPECT_EQ(dbk.size(), 9u + 8u);  // template + all but the second VENTES
  ASSERT_TRUE(findRecord(dbk, "DBKID", "VEN"));
  EXPECT_EQ(fieldOf(dbk, "DBKID", "VEN", "DBKTYPE"), "2");
  EXPECT_EQ(std::count_if(dbk.begin(), dbk.end(), [](const Record& r) { return r.at("DBKID") == "VENTES"; }), 1);
  const Record* renamed = findRecord(dbk, "DBKID", "VENTE0");
  ASSERT_TRUE(renamed);
  EXPECT_EQ(renamed->at("DBKTYPE"), "0");
  EXPECT_EQ(step.ctx.journals.renamed, (std::map<std::string, std::string>{{"0VENTES", "VENTE0"}}));

  const Record* bq1 = findRecord(dbk, "DBKID", "BQ1");
  ASSERT_TRUE(bq1);
  EXPECT_EQ(bq1->at("DBKOPT"), "BKCPT=123-4567890-02,BIC=NUL,LIMCRED=0,DEV=USD");
  EXPECT_EQ(bq1->at("DBKTYPE"), "4");
  EXPECT_EQ(bq1->at("DBKTYPE2"), "1");
  const Record* bq2 = findRecord(dbk, "DBKID", "BQ2");
  ASSERT_TRUE(bq2);
  EXPECT_EQ(bq2->at("DBKOPT"), "BKCPT=,BIC=NUL,LIMCRED=0,DEV=EUR");
  EXPECT_EQ(bq2->at("DBKDESC"), "0");
  EXPECT_EQ(fieldOf(dbk, "DBKID", "CAI", "DBKOPT"), "BKCPT=BE12 3456,BIC=NUL,LIMCRED=0,DEV=EUR");
  EXPECT_EQ(fieldOf(dbk, "DBKID", "BQ3", "DBKOPT"), "BKCPT=123-4567890-02,BIC=NUL,LIMCRED=0,DEV=EUR");  // 15 characters
  EXPECT_EQ(fieldOf(dbk, "DBKID", "OD2", "DBKTYPE2"), "3");
  EXPECT_EQ(fieldOf(dbk, "DBKID", "ODX", "DBKTYPE"), "5");
  EXPECT_EQ(step.ctx.journals.foreignCurrency, std::set<std::string>{"BQ1"});

  auto acf = testing_support::readTable(prefix + "_ACF.DBF");
  EXPECT_EQ(acf.size(), accountsBefore + 1);  // 551000 added, 580000 left alone
  EXPECT_EQ(fieldOf(acf, "NUMBER", "550000", "CENTRALID"), "FBQ1");
  const Record* added = findRecord(acf, "NUMBER", "551000");
  ASSERT_TRUE(added);
  EXPECT_EQ(added->at("TYPE"), "3");
  EXPECT_EQ(added->at("NAME11"), "551000");
  EXPECT_EQ(added->at("ISINBY1"), "T");
  EXPECT_EQ(added->at("CENTRALID"), "FBQ2");
  EXPECT_EQ(added->at("CURRENCY"), "EUR");
  EXPECT_EQ(findRecord(acf, "NUMBER", "580000"), nullptr);
  EXPECT_EQ(step.ctx.journals.financialAccounts, (std::set<std::string>{"550000", "551000"}));
}

TEST(JournalsStep, MissingJournalTableIsReported) {
  testing_support::StepContext step;
  testing_support::MemoryRowSet rows(testing_support::tableOf({}));
  EXPECT_FALSE(convert::ConvertJournals(step.ctx, rows, "/nonexistent/VIDE01/VIDE01"));
  ASSERT_EQ(step.errors.size(), 1u);
  EXPECT_EQ(step.errors[0], "Le fichier /nonexistent/VIDE01/VIDE01_ACF.DBF n'existe pas");
}

TEST(JournalsStep, AddedAndClosingJournalsAreWrittenAfterTheDocuments) {
  testing_support::StepContext step;
  const std::string prefix = testing_support::newYearDossier(step.folder.path(), 1);
  step.ctx.journals.added = {"5MIX4", " ", "2VEN2"};
  step.ctx.journals.closing = {"J1", "J2"};
  convert::AddDocumentJournals(step.ctx, prefix);
  convert::AddClosingJournals(step.ctx, prefix);
  auto dbk = testing_support::readTable(prefix + "_DBK_01.DBF");
  ASSERT_EQ(dbk.size(), 9u + 4u);
  EXPECT_EQ(dbk[9].at("DBKID"), "MIX4");
  EXPECT_EQ(dbk[9].at("DBKDESC"), "MIX4");
  EXPECT_EQ(dbk[9].at("DBKTYPE"), "5");
  EXPECT_EQ(dbk[10].at("DBKTYPE"), "2");
  EXPECT_EQ(dbk[11].at("DBKID"), "KSCLO1");
  EXPECT_EQ(dbk[12].at("DBKDESC"), "J2 - PERIOD 99");
}

}  // namespace
