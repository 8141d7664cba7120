#include "run/year_merge.h"

#include "base/text.h"
#include "convert/master/step_support.h"
#include "store/dossier_template.h"
#include "store/engine/sx.h"
#include "store/file_operations.h"

namespace run {
using namespace base;

namespace {

using base::Trim;
using base::upperCase;
using store::SX_TEXT;

std::string yearPrefix(const std::string& workingFolder, int index) {
  return store::workingDossier(workingFolder, index).prefix;
}

// The original merge tests no engine result and goes on to its success
// message; a table it could not open, copy or append would leave a dossier
// with a book year's accounts, entries or parameters missing, the books
// unbalanced. Every result is tested here, and a failure names the table and
// stops the run.
class Merge {
 public:
  explicit Merge(RunContext& ctx) : ctx_(ctx) {}

  // The newer year's `table` is never changed: it is opened as a scratch
  // table, edited in memory record by record (`edit` gets the older table's
  // area and must leave the newer one selected; deleting a record keeps it
  // out), and its live records are appended to the older year's table, whose
  // area is returned (0 after the message). The original copied the newer
  // table to a temporary file to edit it there: the same records, written to
  // disk and read back twice for nothing.
  template <typename Edit>
  int16_t table(const std::string& first, const std::string& second, const std::string& table, Edit edit) {
    const int16_t older = use(first + "_" + table + ".DBF", table, table + "1");
    if (!older) return 0;
    const int16_t newer = store::sx_UseScratch(second + "_" + table + ".DBF", table + "2");
    if (!newer) {
      convert::reportError(ctx_, convert::cannotOpenMessage(ctx_, table, false));
      return 0;
    }
    store::sx_Select(newer);
    for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) edit(older, newer);
    store::sx_Select(older);
    const bool appended = store::sx_AppendFromArea(newer);
    store::sx_Select(newer);
    store::sx_Close();
    store::sx_Select(older);
    if (!appended) return cannotWrite(first + "_" + table + ".DBF");
    return older;
  }

 private:
  int16_t use(const std::string& file, const std::string& table, const std::string& alias) {
    const int16_t area = store::sx_Use(file, alias, 2, 2);
    if (!area) convert::reportError(ctx_, convert::cannotOpenMessage(ctx_, table, false));
    return area;
  }

  int16_t cannotWrite(const std::string& file) {
    convert::reportError(ctx_, ctx_.msg("La fusion des exercices n'a pas pu écrire le fichier " + file + ".",
                                        "Het samenvoegen van de boekjaren kon het bestand " + file + " niet schrijven.") +
                                   store::fullDiskNote(file, ctx_.language));
    return 0;
  }

  RunContext& ctx_;
};

// Accounts of both years once: an account of the newer year that the older
// one has gives it its special-account code, the others are added.
bool mergeAccounts(Merge& merge, const std::string& first, const std::string& second) {
  return merge.table(first, second, "ACF", [](int16_t acf1, int16_t temp) {
    const std::string number = store::sx_GetString("NUMBER");
    const std::string type = store::sx_GetString("TYPE");
    const std::string centralId = store::sx_GetString("CENTRALID");
    store::sx_Select(acf1);
    store::sx_GoTop();
    bool found = store::sx_Locate("NUMBER = '" + number + "' AND TYPE = '" + type + "'", 0, 0) != 0;
    if (found && !Trim(centralId).empty()) store::sx_Replace("CENTRALID", SX_TEXT, centralId);
    store::sx_Select(temp);
    if (found) store::sx_Delete();
  }) != 0;
}

// Entries of the newer year as book year 2, without its opening document
// (the older year's balances carry over), matching numbers in series 2.
bool mergeEntries(Merge& merge, const std::string& first, const std::string& second) {
  return merge.table(first, second, "ACT", [](int16_t, int16_t) {
    if (upperCase(Trim(store::sx_GetString("PERIOD"))) == "00") store::sx_Delete();
    store::sx_Replace("BOOKYEAR", SX_TEXT, std::string("2"));
    std::string matchNo = store::sx_GetString("MATCHNO");
    if (!matchNo.empty() && matchNo[0] == '1')
      store::sx_Replace("MATCHNO", SX_TEXT, '2' + base::Right(matchNo, 7));
  }) != 0;
}

// Book-year parameters of the newer year as BOOKYEAR2.; everything else of
// the older dossier stays as it is.
bool mergeParameters(Merge& merge, const std::string& first, const std::string& second) {
  int16_t param1 = merge.table(first, second, "PARAM", [](int16_t, int16_t) {
    const std::string id = store::sx_GetString("ID");
    if (base::Left(upperCase(Trim(id)), 10) != "BOOKYEAR1.")
      store::sx_Delete();
    else
      store::sx_Replace("ID", SX_TEXT, "BOOKYEAR2." + base::Mid(id, 11));
  });
  if (!param1) return false;
  store::sx_Select(param1);
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    const std::string id = upperCase(Trim(store::sx_GetString("ID")));
    if (id == "BOOKYEARCOUNT")
      store::sx_Replace("VALUE", SX_TEXT, std::string("2"));
    else if (id == "BOOKYEAR2.MATCHNUMBER")
      store::sx_Replace("VALUE", SX_TEXT, '2' + base::Right(Trim(store::sx_GetString("VALUE")), 7));
  }
  return true;
}

}  // namespace

bool mergeBookYears(RunContext& ctx, const std::string& workingFolder, int olderIndex, int newerIndex) {
  const std::string first = yearPrefix(workingFolder, olderIndex);
  const std::string second = yearPrefix(workingFolder, newerIndex);
  Merge merge(ctx);
  if (!mergeAccounts(merge, first, second) || !mergeEntries(merge, first, second) ||
      !mergeParameters(merge, first, second))
    return false;
  store::sx_CloseAll();
  return store::copySecondJournalTable([&ctx](const std::string& message) { convert::reportError(ctx, message); },
                                       workingFolder, newerIndex, ctx.language);
}

}  // namespace run
