#include "convert/master/general_accounts.h"

#include <memory>
#include <utility>
#include <vector>

#include "base/text.h"
#include "convert/master/codes.h"
#include "convert/master/master_steps.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {
using namespace base;

namespace {

struct StandardAccount {
  const char* code;
  const char* number;
  const char* french;
  const char* dutch;
};

const StandardAccount kStandardAccounts[] = {
    {"V01", "411000", "TVA A RECUPERER", "TERUG TE VORDEREN BTW"},
    {"V02", "411600", "TAXE A RECUPERER DANS PAYS D'ORIGINE", "TERUG TE VORDEREN BTW BELAST. IN LAND OORSP."},
    {"V03", "451000", "TVA A PAYER", "TE BETALEN BTW"},
    {"V04", "451100", "TVA DUE SUR ACHAT CEE", "TE BETALEN BTW OP EEG AANKOPEN"},
    {"V05", "451500", "TVA REPORT", "TE BETALEN BTW M.B.T. VERLEGINGEN"},
    {"V06", "451600", "TVA A PAYER DANS PAYS DE DESTINATION", "TE BETALEN BTW IN LAND VAN BESTEMMING"},
    {"V07", "451800", "TVA D'EGALISATION DUE", "TE BETALEN EGALISATIETAKS"},
    {"V08", "451300", "TVA DUE COCONTRACTANT", "TE BETALEN BTW MEDEKONTRAKTANT"},
    {"V09", "640120", "TVA NON DEDUCTIBLE", "NIET AFTREKBARE BTW"},
    {"PDISCS", "653000", "CHANGE D'ESCOMPTE DE CREANCES", "DISKONTOKOSTEN OP VORDERINGEN"},
    {"PDISCP", "757000", "ESCOMPTES OBTENUS", "VERKREGEN DISKONTO'S"},
    {"PCOST", "657000", "FRAIS DE BANQUE NON TAXES", "NIET BETLASTBARE BANKKOSTEN"},
    {"PCOSTV", "657100", "FRAIS FINANCIERS SOUMIS A LA TVA", "BANKKOSTEN BTW GEBONDEN"},
    {"PVATC", "411100", "TVA SUR OP. FINANCIERES", "TERUG TE VORDEREN BTW OP. FIN. VERRICHT."},
    {"PCOST2", "657200", "AUTRES FRAIS FINANCIERS", "ANDERE FINANCIELE KOSTEN"},
    {"REP67", "149999", "RESULTAT PROVISOIRE REPORTE", "OVERDRAGEN VOORLOPIG RESULTAAT"},
    {"BTRSF", "581000", "VIREMENTS EMIS", "UITGESCHREVEN OVERSCHRIJVINGEN"},
    {"WAIT1", "499999", "COMPTE INTERNE DE CALCUL", "INTERNE BEREKENINGSREKENING"},
};

// The codes ensured after the source accounts, in this order; the ones
// without a standard account are kept so the order reads as Kestrel lists them.
const char* const kEnsuredCodes[] = {"V01",   "V02",    "V03",   "V04",   "V05",    "V06",   "V07",  "V08",
                                     "V09",   "PDISCS", "PDISCP", "PCOST", "PCOSTV", "PVATC", "PCOST2", "PPROF2",
                                     "REP67", "BTRSF",  "WAIT1", "ICOST", "IDISC",  "PPRREM", "PCREM"};

// Makes record `recno` of the current table (record order) current.
void GoToRecord(int32_t recno) {
  store::sx_GoTop();
  if (recno > 1) store::sx_Skip(recno - 1);
  if (store::sx_RecNo() == recno) return;
  for (store::sx_GoTop(); !store::sx_Eof() && store::sx_RecNo() != recno;) store::sx_Skip(1);
}

struct AccountRow {
  std::string type, number, name1, name2, centralId, currency;
};

// Appends a locked row with the fields of a new account and reports account
// rows to the chart. A refused lock leaves no half-written row: the blank
// row is deleted.
void AppendAccount(AccountChart& acf, const AccountRow& row) {
  store::sx_Select(acf.area());
  store::sx_AppendBlank();
  int32_t recno = store::sx_RecNo();
  if (!store::sx_Rlock(recno)) {
    store::sx_Delete();
    return;
  }
  const std::pair<const char*, const std::string*> texts[] = {
      {"TYPE", &row.type},    {"NUMBER", &row.number}, {"NAME11", &row.name1},
      {"NAME21", &row.name2}, {"NAME12", &row.name1},  {"NAME22", &row.name2}};
  for (const auto& [field, value] : texts) store::sx_Replace(field, store::SX_TEXT, *value);
  store::sx_Replace("ISINBY1", store::SX_LOGICAL, std::string("TRUE"));
  store::sx_Replace("ISINBY2", store::SX_LOGICAL, std::string("TRUE"));
  store::sx_Replace("CENTRALID", store::SX_TEXT, row.centralId);
  if (!row.currency.empty()) store::sx_Replace("CURRENCY", store::SX_TEXT, row.currency);
  store::sx_Commit();
  store::sx_Unlock(recno);
  if (row.type == "3") acf.added(Trim(row.number), recno);
}

// Writes fields of the current (found) row under a record lock.
void UpdateCurrent(const std::vector<std::pair<const char*, std::string>>& fields) {
  int32_t recno = store::sx_RecNo();
  if (!store::sx_Rlock(recno)) return;
  for (const auto& [field, value] : fields) store::sx_Replace(field, store::SX_TEXT, value);
  store::sx_Commit();
  store::sx_Unlock(recno);
}

struct Counters {
  int customers = 0;
  int suppliers = 0;
};

std::string SpecialCode(const std::string& type, const base::RowSet& row, Counters& counters) {
  if (type == "1") return "C" + std::to_string(++counters.customers);
  if (type == "2") return "S" + std::to_string(++counters.suppliers);
  bool profit = type == "5" || type == "6" ? row.field("FLAGDC").asDouble() == 1 : false;
  if (type == "5") return profit ? "PPROF" : "PLOSS";
  if (type == "6") return profit ? "PPROFE" : "PLOSSE";
  return {};
}

}  // namespace

AccountChart::AccountChart(int16_t area) : area_(area) {
  store::sx_Select(area_);
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    if (store::sx_GetString("TYPE") == "3") firstRow_.emplace(Trim(store::sx_GetString("NUMBER")), store::sx_RecNo());
  }
}

int32_t AccountChart::find(const std::string& number) const {
  auto it = firstRow_.find(number);
  return it == firstRow_.end() ? 0 : it->second;
}

void AccountChart::added(const std::string& number, int32_t recno) { firstRow_.emplace(number, recno); }

bool AccountIsMissing(const base::RunContext& ctx, const std::string& account, AccountChart& acf) {
  int32_t recno = acf.find(NormalizeAccount(account, GeneralAccountLength(ctx)));
  if (recno == 0) return true;
  store::sx_Select(acf.area());
  GoToRecord(recno);
  return false;
}

void EnsureStandardAccount(base::RunContext& ctx, AccountChart& acf, const std::string& code) {
  for (const StandardAccount& standard : kStandardAccounts) {
    if (code != standard.code) continue;
    std::string number = NormalizeAccount(standard.number, GeneralAccountLength(ctx));
    ShowRecord(ctx, number);
    if (AccountIsMissing(ctx, number, acf)) {
      bool french = ctx.french();
      AppendAccount(acf, {"3", number, french ? standard.french : standard.dutch,
                          french ? standard.dutch : standard.french, code, ""});
    } else {
      const std::string before = Trim(store::sx_GetString("CENTRALID"));
      if (!before.empty() && before != code)
        ctx.report.changed(base::ChangeKind::Dropped, "ACF.CENTRALID", number, before, code);
      UpdateCurrent({{"CENTRALID", code}});
    }
    return;
  }
}

std::string QueryGeneralAccountLength(base::RunContext& ctx) {
  std::string sql;
  if (ctx.isVersionSql) {
    sql = "SELECT MAX(LEN(GeneralID)) AS xLenGen, MAX(GeneralID) AS Expr1 FROM D_AcctGeneral WHERE (Type = 0)";
  } else if (ctx.prefixedLayout) {
    sql = "SELECT Max(Len([GeneralID])) AS xLenGen, Max(generalID) AS Expr1 From D_AcctGeneral "
          "WHERE (((D_AcctGeneral.Type)=0))";
  } else {
    sql = "SELECT Max(Len([GeneralID])) AS xLenGen, Max(generalID) AS Expr1 From AcctGeneral "
          "WHERE (((AcctGeneral.Type)=0))";
  }
  std::unique_ptr<base::RowSet> rows = ctx.source->query(sql);
  return rows->eof() ? std::string() : rows->field("xLenGen").asText();
}

bool ConvertGeneralAccounts(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix) {
  ShowStep(ctx, "General Ledgers");
  std::string file = prefix + "_ACF.DBF";
  if (!FileExists(file)) {
    ReportError(ctx, FileMissingMessage(ctx, file, false));
    return false;
  }
  int16_t area = store::sx_Use(ExistingPath(file), "ACF", 2, 2);
  if (area == 0) {
    ReportError(ctx, CannotOpenMessage(ctx, "ACF", false));
    CloseAllTables();
    return false;
  }
  store::sx_Select(area);
  store::sx_CloseIndexes();
  // Without a readable LENGEN the dossier is damaged and the failure report
  // has closed every table; going on would write into closed tables.
  std::string dossierLength = ReadGeneralAccountLength(ctx, prefix);
  if (dossierLength.empty()) {
    CloseAllTables();
    return false;
  }
  bool lengthUpdateArmed = true;
  AccountChart acf(area);
  Counters counters;
  int16_t length = GeneralAccountLength(ctx);
  bool french = ctx.french();

  for (; !rows.eof(); rows.moveNext()) {
    base::Value typeValue = rows.field("TYPE");
    base::Value generalId = rows.field("GENERALID");
    const std::string key = Trim(generalId.asText());
    if (!typeValue.present()) {
      ctx.report.skipped(base::SkipReason::NoType, key, rows.field("WORDINGFR").asText());
      continue;
    }
    std::string type = typeValue.asText();
    std::string number;
    if (generalId.present()) number = type == "3" ? Trim(generalId.asText()) : NormalizeAccount(generalId.asText(), length);
    if (generalId.present() && type != "3") recordAccountLength(ctx, "ACF.NUMBER", key, generalId.asText(), number);
    // An account without number has no length to teach; writing 0 would
    // break every account of the dossier.
    if (type != "3" && lengthUpdateArmed && !number.empty() &&
        static_cast<double>(charCount(number)) != Val(dossierLength)) {
      WriteGeneralAccountLength(ctx, prefix, std::to_string(charCount(number)));
      lengthUpdateArmed = false;
    }

    base::Value wordingFr = rows.field("WORDINGFR"), wordingNl = rows.field("WORDINGNL");
    std::string name1, name2;
    if (wordingFr.present() || wordingNl.present()) {
      name1 = (french ? wordingFr : wordingNl).asText();
      name2 = (french ? wordingNl : wordingFr).asText();
    }
    if (Trim(name1).empty()) name1 = number;
    if (Trim(name2).empty()) name2 = number;
    name1 = clipRecorded(ctx, "ACF.NAME11", key, name1, 40);
    name2 = clipRecorded(ctx, "ACF.NAME21", key, name2, 40);

    std::string currency;
    if (typeValue.asDouble() == 4) {
      currency = "EUR";
      std::string sourceCurrency = Trim(OptionalField(rows, "CRCYID").asText());
      if (!sourceCurrency.empty()) currency = Right(sourceCurrency, 3);
      if (currency != sourceCurrency && !sourceCurrency.empty())
        ctx.report.changed(base::ChangeKind::Shortened, "ACF.CURRENCY", key, sourceCurrency, currency);
    }
    std::string special = SpecialCode(type, rows, counters);

    ShowRecord(ctx, number);
    if (AccountIsMissing(ctx, number, acf)) {
      AppendAccount(acf, {type == "3" ? "9" : "3", number, name1, name2, special, currency});
    } else {
      // Two source accounts of one number at the dossier's length (a heading
      // and its account, 4400 and 440000): the later one's name goes onto the
      // account already written, its own name is lost.
      ctx.report.skipped(base::SkipReason::ExistingAccount, key, number);
      const std::string before = store::sx_GetString("NAME11");
      if (Trim(before) != Trim(name1))
        ctx.report.changed(base::ChangeKind::Dropped, "ACF.NAME11", number, Trim(before), name1);
      UpdateCurrent({{"NAME11", name1}, {"NAME12", name1}});
    }
  }
  for (const char* code : kEnsuredCodes) EnsureStandardAccount(ctx, acf, code);
  store::sx_Select(area);
  store::sx_Close();
  return true;
}

}  // namespace convert
