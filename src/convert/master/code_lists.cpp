// Customer and supplier categories and payment conditions into TABLE. Codes
// longer than TABLE.TID get a short code (first four characters and a digit),
// paired with the long code in a temporary table for the step's duration.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "convert/master/master_steps.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"
#include "store/file_operations.h"

namespace convert {
using namespace base;

namespace {

constexpr size_t kCodeWidth = 5;      // TABLE.TID, SHORTTYPE
constexpr size_t kLongCodeWidth = 9;  // LONGTYPE
constexpr size_t kTypeWidth = 10;     // TABLE.TTYPE

struct CodeList {
  const char* tempSuffix;    // "_TMPCAT" / "_TMPPAY"
  const char* createAlias;
  const char* openAlias;
  const char* codeColumn;
  const char* typeColumn;    // nullptr: every row has `fixedType`
  const char* fixedType;
  char firstDigit;           // first digit tried for short codes
  const char* sqlQuery;
  const char* prefixedQuery;
  const char* olderQuery;
};

const CodeList kCategories{"_TMPCAT", "CATAGORGYTMP", "CATALOGYTMP", "CatID", "TypeID", nullptr, '0',
                           "SELECT * FROM D_Category ORDER BY catID",
                           "select * from D_Category order by catID",
                           "select * from Category order by catID"};
const CodeList kPaymentCodes{"_TMPPAY", "PAYCODETMP", "PAYCODETMP", "PayType", nullptr, "PAYCODE", '1',
                             "SELECT * FROM D_PayType ORDER BY PayType",
                             "select * from D_PayType order by paytype",
                             "select * from PayType order by paytype"};

struct SourceCode {
  std::string code, type, description;
};

std::string typeOf(const CodeList& list, const std::string& sourceType) {
  if (!list.typeColumn) return list.fixedType;
  if (sourceType == "10") return "CATCUS";
  if (sourceType == "20") return "CATSUP";
  return sourceType;
}

// The pairing table, created empty with its two tags, ordered by SHORT_IDX.
int16_t createPairingTable(const CodeList& list, const std::string& table, const std::string& index) {
  removeFile(table);
  if (store::sx_CreateNew(table, list.createAlias, 2, 50) == 0) return 0;
  store::sx_CreateField("LONGTYPE", "C", kLongCodeWidth, 0);
  store::sx_CreateField("SHORTTYPE", "C", kCodeWidth, 0);
  int16_t created = store::sx_CreateExec();
  if (created == 0) return 0;
  store::sx_Select(created);
  store::sx_Close();
  int16_t area = store::sx_Use(table, list.openAlias, 2, 2);
  if (area == 0) return 0;
  removeFile(index);
  store::sx_IndexTag(index, "SHORT_IDX", "SHORTTYPE", 0, 0, "");
  store::sx_IndexTag(index, "LONG_IDX", "LONGTYPE", 0, 0, "");
  store::sx_IndexOpen(index);
  store::sx_SetOrder(store::sx_TagArea("SHORT_IDX"));
  return area;
}

// First pass: a short code for every code longer than TID. LONGTYPE keeps the
// first 9 characters, which is what pairs a code with its short code. Two codes
// sharing those 9 characters, or a code whose ten digits are all taken, would
// end up in another code's row; the step stops and names the code instead.
bool pairLongCodes(base::RunContext& ctx, const CodeList& list, int16_t pairs, const std::vector<SourceCode>& codes) {
  std::map<std::string, std::string> codeOfPairingKey;
  for (const SourceCode& row : codes) {
    std::string trimmed = Trim(row.code);
    if (trimmed.empty() || charCount(trimmed) <= kCodeWidth) continue;
    auto [known, fresh] = codeOfPairingKey.emplace(Left(row.code, kLongCodeWidth), row.code);
    bool paired = false;
    if (fresh || known->second == row.code) {
      store::sx_Select(pairs);
      store::sx_SetOrder(store::sx_TagArea("SHORT_IDX"));
      for (char digit = list.firstDigit; digit <= '9' && !paired; ++digit) {
        std::string shortCode = Left(row.code, 4) + digit;
        store::sx_Seek(padTo(shortCode, kCodeWidth));
        if (store::sx_Found()) continue;
        store::sx_AppendBlank();
        store::sx_Replace("LONGTYPE", store::SX_TEXT, Left(row.code, kLongCodeWidth));
        store::sx_Replace("SHORTTYPE", store::SX_TEXT, shortCode);
        paired = true;
      }
    }
    if (!paired) {
      ctx.report.skipped(base::SkipReason::NoShortCode, row.code, row.description);
      reportError(ctx, ctx.msg("Impossible de créer un code court pour le code " + row.code,
                               "Onmogelijk om een korte code te maken voor de code " + row.code));
      return false;
    }
  }
  return true;
}

// Second pass: one TABLE row per code not yet there.
void writeCodes(base::RunContext& ctx, const CodeList& list, int16_t pairs, int16_t table,
                const std::vector<SourceCode>& codes) {
  store::sx_Select(table);
  int16_t idcat = store::sx_TagArea("IDCAT");
  for (const SourceCode& row : codes) {
    std::string code = row.code;
    if (charCount(Trim(code)) > kCodeWidth) {
      store::sx_Select(pairs);
      store::sx_SetOrder(store::sx_TagArea("LONG_IDX"));
      store::sx_Seek(padTo(Left(code, kLongCodeWidth), kLongCodeWidth));
      if (store::sx_Found()) code = Trim(store::sx_GetString("SHORTTYPE"));
      if (code != row.code) ctx.report.changed(base::ChangeKind::Shortened, "TABLE.TID", row.code, row.code, code);
    }
    std::string type = typeOf(list, row.type);
    store::sx_Select(table);
    store::sx_SetOrder(idcat);
    // The type is padded to its full width: a short type such as "30" is then
    // found again instead of being added once per run.
    store::sx_Seek(padTo(type, kTypeWidth) + padTo(code, kCodeWidth));
    if (store::sx_Found()) {
      ctx.report.skipped(base::SkipReason::ExistingCode, row.code, type + " " + row.description);
      continue;
    }
    store::sx_AppendBlank();
    store::sx_Replace("TTYPE", store::SX_TEXT, type);
    store::sx_Replace("TID", store::SX_TEXT, code);
    store::sx_Replace("TDESC", store::SX_TEXT, clipRecorded(ctx, "TABLE.TDESC", row.code, row.description, 35));
  }
}

// The pairing table's files, removed when the step ends, however it ends.
class TemporaryFiles {
 public:
  explicit TemporaryFiles(std::vector<std::string> files) : files_(std::move(files)) {}
  TemporaryFiles(const TemporaryFiles&) = delete;
  TemporaryFiles& operator=(const TemporaryFiles&) = delete;
  ~TemporaryFiles() {
    for (const std::string& file : files_) removeFile(file);
  }

 private:
  std::vector<std::string> files_;
};

bool convertCodeList(base::RunContext& ctx, const std::string& prefix, const CodeList& list) {
  std::string tempTable = existingPath(prefix + list.tempSuffix + ".DBF");
  std::string tempIndex = existingPath(prefix + list.tempSuffix + ".CDX");
  const TemporaryFiles temporary({tempIndex, tempTable});
  int16_t pairs = createPairingTable(list, tempTable, tempIndex);
  if (pairs == 0) {
    // Said, not only stopped on: under a full disk this is where the run may end.
    const std::string why = store::sx_LastError().in(ctx.french()) + store::fullDiskNote(tempTable, ctx.language);
    closeAllTables();
    reportError(ctx, ctx.msg("Impossible de créer le fichier " + tempTable + " : " + why,
                             "Onmogelijk om het bestand " + tempTable + " aan te maken: " + why));
    return false;
  }
  const char* sql = ctx.isVersionSql ? list.sqlQuery : ctx.prefixedLayout ? list.prefixedQuery : list.olderQuery;
  std::vector<SourceCode> codes;
  {
    std::unique_ptr<base::RowSet> rows = ctx.source->query(sql);
    for (; !rows->eof(); rows->moveNext()) {
      codes.push_back({rows->field(list.codeColumn).asText(),
                       list.typeColumn ? rows->field(list.typeColumn).asText() : std::string(),
                       rows->field("Wording").asText()});
    }
  }
  if (!pairLongCodes(ctx, list, pairs, codes)) {
    closeAllTables();
    return false;
  }
  int16_t table = store::sx_Use(existingPath(prefix + "_TABLE.DBF"), "TABLE", 2, 2);
  if (table == 0) {
    closeAllTables();
    reportError(ctx, cannotOpenMessage(ctx, "TABLE", false));
    return false;
  }
  writeCodes(ctx, list, pairs, table, codes);
  store::sx_Select(table);
  store::sx_Close();
  store::sx_Select(pairs);
  store::sx_Close();
  return true;
}

}  // namespace

bool ConvertCategories(base::RunContext& ctx, const std::string& prefix) {
  return convertCodeList(ctx, prefix, kCategories);
}

bool ConvertPaymentCodes(base::RunContext& ctx, const std::string& prefix) {
  return convertCodeList(ctx, prefix, kPaymentCodes);
}

}  // namespace convert
