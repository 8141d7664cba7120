// The journals of one source book year into the dossier's DBK table, with the
// financial journals' bank options and central accounts in ACF.
#include <string>

#include "base/text.h"
#include "convert/master/codes.h"
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
  switch (type) {
    case 1: return {subtype == 0 || subtype == 1 ? "2" : "3", ""};
    case 2: return {subtype == 0 || subtype == 1 ? "0" : "1", ""};
    case 3: return {"5", subtype == 2 ? "9" : subtype == 3 ? "3" : ""};
    case 4: return {"4", subtype == 1 ? "1" : ""};
    default: return {"5", ""};
  }
}

std::string bankAccountOption(const base::Value& bankNum) {
  if (bankNum.isNull()) return std::string();
  std::string b = Trim(bankNum.asText());
  if (b.size() == 12 || b.size() == 15)
    return "BKCPT=" + b.substr(0, 3) + "-" + b.substr(3, 7) + "-" + b.substr(10, 2) + ",BIC=NUL,LIMCRED=0";
  return "BKCPT=" + b + ",BIC=NUL,LIMCRED=0";
}

// Positions ACF on the posting account `account`; false when it has none.
bool locatePostingAccount(int16_t acf, const std::string& account) {
  store::sx_Select(acf);
  store::sx_GoTop();
  return store::sx_Locate("NUMBER = '" + account + "' AND TYPE = '3'", 0, 0) != 0;
}

}  // namespace

bool ConvertJournals(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix) {
  const std::string acfFile = prefix + "_ACF.DBF";
  if (!FileExists(acfFile)) {
    ReportError(ctx, FileMissingMessage(ctx, acfFile, false));
    return false;
  }
  int16_t acf = store::sx_Use(ExistingPath(acfFile), "ACF", 2, 2);
  // Account look-ups go by record scans; closing the tags spares their upkeep
  // on every appended account.
  store::sx_CloseIndexes();
  const std::string dbkFile = prefix + "_dbk_01.DBF";
  if (!FileExists(dbkFile)) {
    ReportError(ctx, FileMissingMessage(ctx, dbkFile, false));
    store::sx_CloseAll();
    return false;
  }
  int16_t dbk = store::sx_Use(ExistingPath(dbkFile), "DBK", 2, 2);
  // Each book year is filled into a dossier made fresh from the template, so
  // the registry starts again from that dossier's DBK: a journal registered
  // for the older year must still be written into the newer year's DBK.
  ctx.clearJournalRegistry();
  if (dbk == 0) {
    ReportError(ctx, CannotOpenMessage(ctx, "DBK_01", false));
    store::sx_CloseAll();
    return false;
  }
  store::sx_Select(dbk);
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1))
    RegisterJournal(ctx, Trim(store::sx_GetString("DBKTYPE")), store::sx_GetString("DBKID"));

  const int16_t length = GeneralAccountLength(ctx);
  for (; !rows.eof(); rows.moveNext()) {
    base::Value acctId = rows.field("AcctID");
    std::string account = acctId.present() ? NormalizeAccount(acctId.asText(), length) : std::string();
    JournalKind kind = journalKind(rows.field("Type").asInt(), rows.field("SubType").asInt());
    std::string code = rows.field("JrnlID").asText();
    base::Value wording = rows.field("Wording");
    std::string description = wording.isNull() ? std::string("0") : wording.asText();
    ShowRecord(ctx, code);

    std::string options, currency;
    if (kind.type == "4") {
      options = bankAccountOption(rows.field("BankNum"));
      currency = "EUR";
      if (acf && !account.empty() && locatePostingAccount(acf, account)) {
        std::string c = Trim(store::sx_GetString("CURRENCY"));
        if (!c.empty()) currency = c;
      }
      options += options.empty() ? "BKCPT=,BIC=NUL,LIMCRED=0,DEV=" + currency : ",DEV=" + currency;
      if (currency != "EUR") ctx.foreignCurrencyJournalList += "|" + code + "|";
    }

    if (JournalPairKnown(ctx, kind.type, code)) continue;
    if (JournalCodeKnown(ctx, code))
      code = RenameJournalCode(ctx, code, kind.type);
    else
      RegisterJournal(ctx, kind.type, code);

    store::sx_Select(dbk);
    store::sx_AppendBlank();
    store::sx_Replace("DBKID", SX_TEXT, code);
    store::sx_Replace("DBKDESC", SX_TEXT, description);
    store::sx_Replace("DBKTYPE", SX_TEXT, kind.type);
    store::sx_Replace("DBKOPT", SX_TEXT, options);
    store::sx_Replace("DBKTYPE2", SX_TEXT, kind.subtype);

    // Cash accounts (580...) are not bank accounts: they keep their own code.
    if (acf && !account.empty() && kind.type == "4" && account.rfind("580", 0) != 0) {
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
      ctx.financialAccountList += "|" + account + "|";
    }
  }
  store::sx_Select(dbk);
  store::sx_Close();
  if (acf) {
    store::sx_Select(acf);
    store::sx_Close();
  }
  return true;
}

namespace {
int16_t openJournalTable(const std::string& prefix) {
  const std::string file = prefix + "_dbk_01.DBF";
  return FileExists(file) ? store::sx_Use(ExistingPath(file), "DBK", 2, 2) : 0;
}

void appendJournal(const std::string& code, const std::string& description, const std::string& type,
                   const std::string& subtype) {
  store::sx_AppendBlank();
  store::sx_Replace("DBKID", SX_TEXT, code);
  store::sx_Replace("DBKDESC", SX_TEXT, description);
  store::sx_Replace("DBKTYPE", SX_TEXT, type);
  store::sx_Replace("DBKOPT", SX_TEXT, std::string());
  store::sx_Replace("DBKTYPE2", SX_TEXT, subtype);
}
}  // namespace

void AddDocumentJournals(base::RunContext& ctx, const std::string& prefix) {
  int16_t dbk = openJournalTable(prefix);
  if (dbk == 0) return;
  for (const std::string& added : ctx.addedJournals) {
    std::string t = Trim(added);
    if (t.empty()) continue;
    std::string code = Trim(t.substr(1));
    appendJournal(code, code, t.substr(0, 1), "");
  }
  store::sx_Close();
}

void AddClosingJournals(base::RunContext& ctx, const std::string& prefix) {
  if (ctx.closingJournalList.empty()) return;
  int16_t dbk = openJournalTable(prefix);
  if (dbk == 0) return;
  for (size_t i = 0; i < ctx.closingJournalList.size(); ++i)
    appendJournal("KSCLO" + std::to_string(i + 1), ctx.closingJournalList[i] + " - PERIOD 99", "5", "2");
  store::sx_Close();
}

}  // namespace convert
