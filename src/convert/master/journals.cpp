// The journals of one source book year into the dossier's DBK table, with the
// financial journals' bank options and central accounts in ACF.
#include <string>

#include "base/text.h"
#include "convert/master/codes.h"
#include "convert/master/journal_kinds.h"
#include "convert/master/journal_registry.h"
#include "convert/master/master_steps.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {
using namespace base;

namespace {

using store::SX_LOGICAL;
using store::SX_TEXT;

struct JournalKind {
  std::string type, subtype;
};

// Marlin journal types 1 sales, 2 purchases, 3 miscellaneous, 4 financial.
// Any other type is booked as miscellaneous operations: the journal then
// exists under its own code and the documents of that type (which the
// document step also reads as miscellaneous) land in it balanced as entered.
JournalKind journalKind(int64_t type, int64_t subtype) {
  using T = JournalType;
  using S = MiscellaneousSubtype;
  switch (type) {
    case 1: return {subtype == 0 || subtype == 1 ? T::kSales : T::kSalesCreditNotes, ""};
    case 2: return {subtype == 0 || subtype == 1 ? T::kPurchases : T::kPurchaseCreditNotes, ""};
    case 3: return {T::kMiscellaneous, subtype == 2 ? S::kCarryForward : subtype == 3 ? S::kTransfers : ""};
    case 4: return {T::kFinancial, subtype == 1 ? "1" : ""};
    default: return {T::kMiscellaneous, ""};
  }
}

std::string bankAccountOption(const base::Value& bankNum) {
  if (bankNum.isNull()) return std::string();
  std::string b = Trim(bankNum.asText());
  if (b.size() == 12 || b.size() == 15)
    return "BKCPT=" + b.substr(0, 3) + "-" + b.substr(3, 7) + "-" + b.substr(10, 2) + ",BIC=NUL,LIMCRED=0";
  return "BKCPT=" + b + ",BIC=NUL,LIMCRED=0";
}

// The journal step's two tables: ACF (0 when it did not open; the journals
// are written without their accounts then) and DBK.
struct JournalTables {
  int16_t acf = 0, dbk = 0;
};

// Positions ACF on the posting account `account`; false when it has none.
bool locatePostingAccount(int16_t acf, const std::string& account) {
  store::sx_Select(acf);
  store::sx_GoTop();
  return store::sx_Locate("NUMBER = '" + account + "' AND TYPE = '3'", 0, 0) != 0;
}

// The currency of a financial journal: that of its account, the euro when
// the account has none or is not in ACF.
std::string journalCurrency(int16_t acf, const std::string& account) {
  if (acf && !account.empty() && locatePostingAccount(acf, account)) {
    const std::string c = Trim(store::sx_GetString("CURRENCY"));
    if (!c.empty()) return c;
  }
  return "EUR";
}

// Opens ACF and DBK; false (message shown, tables closed) when a file is
// missing or DBK does not open.
bool openJournalTables(base::RunContext& ctx, const std::string& prefix, JournalTables& t) {
  const std::string acfFile = prefix + "_ACF.DBF";
  if (!FileExists(acfFile)) {
    ReportError(ctx, FileMissingMessage(ctx, acfFile, false));
    return false;
  }
  t.acf = store::sx_Use(ExistingPath(acfFile), "ACF", 2, 2);
  // Account look-ups go by record scans; closing the tags spares their upkeep
  // on every appended account.
  store::sx_CloseIndexes();
  const std::string dbkFile = prefix + "_dbk_01.DBF";
  if (!FileExists(dbkFile)) {
    ReportError(ctx, FileMissingMessage(ctx, dbkFile, false));
    store::sx_CloseAll();
    return false;
  }
  t.dbk = store::sx_Use(ExistingPath(dbkFile), "DBK", 2, 2);
  if (t.dbk == 0) {
    ReportError(ctx, CannotOpenMessage(ctx, "DBK_01", false));
    store::sx_CloseAll();
    return false;
  }
  return true;
}

void appendJournal(const std::string& code, const std::string& description, const std::string& type,
                   const std::string& options, const std::string& subtype) {
  store::sx_AppendBlank();
  store::sx_Replace("DBKID", SX_TEXT, code);
  store::sx_Replace("DBKDESC", SX_TEXT, description);
  store::sx_Replace("DBKTYPE", SX_TEXT, type);
  store::sx_Replace("DBKOPT", SX_TEXT, options);
  store::sx_Replace("DBKTYPE2", SX_TEXT, subtype);
}

// The bank account of a financial journal in ACF, with the journal's code as
// its special-account code; a missing account is added.
void registerBankAccount(base::RunContext& ctx, int16_t acf, const std::string& account, const std::string& code,
                         const std::string& currency) {
  if (!locatePostingAccount(acf, account)) {
    store::sx_AppendBlank();
    store::sx_Replace("TYPE", SX_TEXT, std::string("3"));
    store::sx_Replace("NUMBER", SX_TEXT, account);
    store::sx_Replace("NAME11", SX_TEXT, account);
    store::sx_Replace("NAME12", SX_TEXT, account);
    store::sx_Replace("ISINBY1", SX_LOGICAL, std::string("True"));
    store::sx_Replace("ISINBY2", SX_LOGICAL, std::string("True"));
    store::sx_Replace("CURRENCY", SX_TEXT, currency);
  }
  store::sx_Replace("CENTRALID", SX_TEXT, "F" + code);
  ctx.journals.financialAccounts.insert(account);
}

// One source journal into DBK (unless the dossier has it already).
void convertJournal(base::RunContext& ctx, const base::RowSet& row, const JournalTables& t) {
  base::JournalRegistry& journals = ctx.journals;
  const base::Value acctId = row.field("AcctID");
  const std::string account = acctId.present() ? NormalizeAccount(acctId.asText(), GeneralAccountLength(ctx)) : "";
  const JournalKind kind = journalKind(row.field("Type").asInt(), row.field("SubType").asInt());
  std::string code = row.field("JrnlID").asText();
  const base::Value wording = row.field("Wording");
  const std::string description = wording.isNull() ? std::string("0") : wording.asText();
  ShowRecord(ctx, code);

  const bool financial = kind.type == JournalType::kFinancial;
  std::string options, currency;
  if (financial) {
    options = bankAccountOption(row.field("BankNum"));
    currency = journalCurrency(t.acf, account);
    options += options.empty() ? "BKCPT=,BIC=NUL,LIMCRED=0,DEV=" + currency : ",DEV=" + currency;
  }

  if (journals.knows(kind.type, code)) {
    ctx.report.skipped(base::SkipReason::ExistingJournal, code, description);
  } else {
    const int64_t sourceType = row.field("Type").asInt();
    if (sourceType < 1 || sourceType > 4)
      ctx.report.changed(base::ChangeKind::Reformatted, "DBK.DBKTYPE", code, "Type " + std::to_string(sourceType),
                         kind.type);
    fitRecorded(ctx, "DBK.DBKDESC", code, description, 40);
    if (journals.codeInUse(code))
      code = RenameJournalCode(ctx, code, kind.type);
    else
      journals.add(kind.type, code);
    store::sx_Select(t.dbk);
    appendJournal(code, description, kind.type, options, kind.subtype);
    // Cash accounts (580...) are not bank accounts: they keep their own code.
    if (t.acf && !account.empty() && financial && account.rfind("580", 0) != 0)
      registerBankAccount(ctx, t.acf, account, code, currency);
  }
  // Known by the code its lines carry in ACT, so that a renamed journal is
  // completed in its currency too.
  if (financial && currency != "EUR") journals.foreignCurrency.insert(UpperCase(Trim(code)));
}

}  // namespace

bool ConvertJournals(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix) {
  JournalTables tables;
  // Each book year is filled into a dossier made fresh from the template, so
  // the registry starts again from that dossier's DBK: a journal registered
  // for the older year must still be written into the newer year's DBK.
  ctx.journals.clear();
  if (!openJournalTables(ctx, prefix, tables)) return false;
  store::sx_Select(tables.dbk);
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1))
    ctx.journals.add(store::sx_GetString("DBKTYPE"), store::sx_GetString("DBKID"));

  for (; !rows.eof(); rows.moveNext()) convertJournal(ctx, rows, tables);

  store::sx_Select(tables.dbk);
  store::sx_Close();
  if (tables.acf) {
    store::sx_Select(tables.acf);
    store::sx_Close();
  }
  return true;
}

namespace {
int16_t openJournalTable(const std::string& prefix) {
  const std::string file = prefix + "_dbk_01.DBF";
  return FileExists(file) ? store::sx_Use(ExistingPath(file), "DBK", 2, 2) : 0;
}
}  // namespace

void AddDocumentJournals(base::RunContext& ctx, const std::string& prefix) {
  int16_t dbk = openJournalTable(prefix);
  if (dbk == 0) return;
  for (const std::string& added : ctx.journals.added) {
    std::string t = Trim(added);
    if (t.empty()) continue;
    std::string code = Trim(t.substr(1));
    appendJournal(code, code, t.substr(0, 1), "", "");
  }
  store::sx_Close();
}

void AddClosingJournals(base::RunContext& ctx, const std::string& prefix) {
  const auto& closing = ctx.journals.closing;
  if (closing.empty()) return;
  int16_t dbk = openJournalTable(prefix);
  if (dbk == 0) return;
  for (size_t i = 0; i < closing.size(); ++i)
    appendJournal("KSCLO" + std::to_string(i + 1), closing[i] + " - PERIOD 99", JournalType::kMiscellaneous, "",
                  MiscellaneousSubtype::kClosing);
  store::sx_Close();
}

}  // namespace convert
