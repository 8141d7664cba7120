#include "convert/master/customers_suppliers.h"

#include "base/text.h"
#include "convert/master/codes.h"
#include "convert/master/master_steps.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {
using namespace base;

namespace {

constexpr size_t kNumberWidth = 10;   // CSF.NUMBER
constexpr size_t kZipKeyWidth = 10;   // ZIPCODE.ZIPCODEID

// What tells the customer step from the supplier step.
struct Party {
  const char* label;          // Label9
  const char* numberColumn;
  const char* type;           // CSF.TYPE and first character of the lookup key
  const char* centralPrefix;  // default collective account
  bool dutchPoint;            // final point of the Dutch file-missing message
};

const Party kCustomers{"Customers", "CustID", "1", "400", true};
const Party kSuppliers{"Suppliers", "SUPPID", "2", "440", false};

// The account number `key`'s row keeps in BNKACCNT; a number dropped or cut
// on the way is recorded in the report.
std::string BankAccount(base::RunContext& ctx, const base::RowSet& row, const std::string& key) {
  base::Value number = row.field("BANKNUM");
  if (!number.present()) return {};
  const std::string source = Trim(number.asText());
  std::string account = source;
  if (row.field("BANKFORMAT").asText() == "BE") {
    account = FormatBelgianBankAccount(account);
  } else {
    account = Left(account, 14);
  }
  if (charCount(Trim(account)) != 14) account.clear();
  if (account != source) {
    const base::ChangeKind kind = account.empty() ? base::ChangeKind::Dropped
                                  : account.size() < source.size() && source.rfind(account, 0) == 0
                                      ? base::ChangeKind::Clipped
                                      : base::ChangeKind::Reformatted;
    ctx.report.changed(kind, "CSF.BNKACCNT", key, source, account);
  }
  return account;
}

// Belgian VAT numbers keep their last nine digits: a leading "0" or "BE" is
// a change of form, anything else cut off is lost.
void RecordVatNumber(base::RunContext& ctx, const std::string& key, const std::string& source,
                     const std::string& written) {
  const std::string trimmed = Trim(source);
  if (written == trimmed) return;
  const std::string cut = charCount(trimmed) > 9 ? Left(trimmed, charCount(trimmed) - 9) : "";
  const bool keptAll = cut.empty() || cut == "0" || UpperCase(cut) == "BE" || UpperCase(cut) == "BE0";
  ctx.report.changed(keptAll ? base::ChangeKind::Reformatted : base::ChangeKind::Shortened, "CSF.VATNUMBER", key,
                     trimmed, written);
}

// Returns false (message shown) only for a number CSF cannot hold.
bool ConvertRow(base::RunContext& ctx, const base::RowSet& row, const Party& party, int16_t csf,
                int16_t numberTag, int16_t zip) {
  // A fixed-width column (CHAR(12) on SQL Server) pads every number with
  // blanks; they are no part of the number.
  std::string number = row.field(party.numberColumn).asText();
  number.erase(number.find_last_not_of(' ') + 1);
  ShowRecord(ctx, number);
  if (charCount(number) > kNumberWidth) {
    // Cutting the number could merge two accounts or attach entries to the
    // wrong one; the user must shorten it in the source first.
    ctx.report.skipped(base::SkipReason::NumberTooLong, number, row.field("COMPANY").asText());
    ReportError(ctx, ctx.msg("Le numéro " + number + " est trop long pour le fichier CSF du dossier Kestrel (10 caractères au plus).",
                             "Het nummer " + number + " is te lang voor het bestand CSF van Kestrel (maximum 10 tekens)."));
    return false;
  }
  store::sx_Select(csf);
  store::sx_SetOrder(numberTag);
  if (store::sx_Seek(party.type + padTo(number, kNumberWidth)) && store::sx_Found()) {
    // The first row of a number is the one kept (an empty number included).
    ctx.report.skipped(base::SkipReason::DuplicateNumber, number, row.field("COMPANY").asText());
    return true;
  }

  const std::string& key = number;
  std::string name1 = clipRecorded(ctx, "CSF.NAME1", key, row.field("COMPANY").asText(), 40);
  std::string name2 = clipRecorded(ctx, "CSF.NAME2", key, row.field("LASTNAME").asText(), 40);
  std::string address = clipRecorded(ctx, "CSF.ADRESS1", key, row.field("ADDRESS").asText(), 40);
  base::Value countryId = row.field("COUNTRYID");
  std::string country = countryId.present() ? clipRecorded(ctx, "CSF.COUNTRY", key, countryId.asText(), 2) : "BE";
  std::string phone = clipRecorded(ctx, "CSF.TELNUMBER", key, row.field("PHONEBUSINESS").asText(), 17);
  std::string fax = clipRecorded(ctx, "CSF.FAXNUMBER", key, row.field("PHONEFAX").asText(), 17);
  base::Value vatNum = row.field("VATNUM");
  std::string vatNumber = vatNum.present() ? FormatVatNumber(vatNum.asText(), country) : "";
  if (vatNum.present()) RecordVatNumber(ctx, key, vatNum.asText(), vatNumber);
  std::string vatCategory = vatNum.present() ? "1" : "3";
  std::string bank = BankAccount(ctx, row, key);
  base::Value langId = row.field("LANGID");
  std::string language = langId.present() ? MapLanguageCode(langId.asText()) : "";
  std::string city = clipRecorded(ctx, "CSF.CITY", key, row.field("CITY").asText(), 30);
  base::Value zipId = row.field("ZIPCODEID");
  std::string zipKey = zipId.present() ? EnsureZipCode(zipId.asText(), country, zip, city, language) : "";
  if (zipId.present()) fitRecorded(ctx, "CSF.ZIPCODE", key, Trim(country) + "-" + Trim(zipId.asText()), kZipKeyWidth);
  std::string payCode =
      clipRecorded(ctx, "CSF.PAYCODE", key, row.field("PAYTYPE").asText(), 4, base::ChangeKind::Shortened);
  std::string posting = fitRecorded(ctx, "CSF.DEFLTPOST", key, row.field("INPUTID").asText(), 10);
  base::Value centralId = row.field("CTRZACCTID");
  int16_t length = GeneralAccountLength(ctx);
  // The default collective account is the prefix brought to the length (400000).
  std::string central = NormalizeAccount(centralId.present() ? centralId.asText() : party.centralPrefix, length);
  if (centralId.present()) recordAccountLength(ctx, "CSF.CENTRAL", key, centralId.asText(), central);
  // Older sources have no IBAN and BIC columns; they then stay empty.
  std::string iban = fitRecorded(ctx, "CSF.IBANAUTO", key, OptionalField(row, "IBAN1").asText(), 34);
  std::string bic = fitRecorded(ctx, "CSF.BICAUTO", key, OptionalField(row, "BIC1").asText(), 11);

  std::string type = party.type;
  store::sx_Select(csf);
  store::sx_AppendBlank();
  const std::pair<const char*, const std::string&> fields[] = {
      {"NUMBER", number},       {"TYPE", type}, {"NAME1", name1},
      {"NAME2", name2},         {"ADRESS1", address},             {"VATCAT", vatCategory},
      {"COUNTRY", country},     {"VATNUMBER", vatNumber},         {"TELNUMBER", phone},
      {"FAXNUMBER", fax},       {"BNKACCNT", bank},               {"ZIPCODE", zipKey},
      {"CITY", city},           {"LANG", language},               {"DEFLTPOST", posting},
      {"CENTRAL", central},     {"PAYCODE", payCode},             {"IBANAUTO", iban},
      {"BICAUTO", bic}};
  for (const auto& [field, value] : fields) store::sx_Replace(field, store::SX_TEXT, value);
  return true;
}

bool ConvertParties(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix, const Party& party) {
  ShowStep(ctx, party.label);
  std::string zipFile = prefix + "_ZIPCODE.DBF";
  std::string csfFile = prefix + "_CSF.DBF";
  for (const std::string& file : {csfFile, zipFile}) {
    if (!FileExists(file)) {
      ReportError(ctx, FileMissingMessage(ctx, file, party.dutchPoint));
      return false;
    }
  }
  int16_t csf = store::sx_Use(ExistingPath(csfFile), "CSF", 2, 2);
  int16_t zip = store::sx_Use(ExistingPath(zipFile), "ZIPCODE", 2, 2);
  if (zip == 0 || csf == 0) {
    CloseAllTables();
    ReportError(ctx, CannotOpenMessage(ctx, zip == 0 ? "ZIPCODE" : "CSF", true));
    return false;
  }
  store::sx_Select(csf);
  int16_t numberTag = store::sx_TagArea("NUMBER");
  for (; !rows.eof(); rows.moveNext()) {
    if (!ConvertRow(ctx, rows, party, csf, numberTag, zip)) {
      CloseAllTables();
      return false;
    }
  }
  store::sx_Select(zip);
  store::sx_Close();
  store::sx_Select(csf);
  store::sx_Close();
  return true;
}

}  // namespace

std::string EnsureZipCode(const std::string& postcode, const std::string& country, int16_t zipArea,
                          const std::string& city, const std::string& language) {
  // ZIPCODEID holds 10 characters: a longer key is cut so that the key looked
  // up, stored and referenced by CSF is the same text and no postcode is
  // added twice.
  std::string key = Left(Trim(country) + "-" + Trim(postcode), kZipKeyWidth);
  store::sx_Select(zipArea);
  store::sx_SetOrder(store::sx_TagArea("ID"));
  store::sx_Seek(padTo(key, kZipKeyWidth));
  if (!store::sx_Found()) {
    store::sx_AppendBlank();
    store::sx_Replace("ZIPCODEID", store::SX_TEXT, key);
    store::sx_Replace("LANGUAGE", store::SX_TEXT, language);
    store::sx_Replace("CITY", store::SX_TEXT, city);
  }
  return key;
}

bool ConvertCustomers(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix) {
  return ConvertParties(ctx, rows, prefix, kCustomers);
}

bool ConvertSuppliers(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix) {
  return ConvertParties(ctx, rows, prefix, kSuppliers);
}

}  // namespace convert
