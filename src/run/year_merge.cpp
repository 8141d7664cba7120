#include "run/year_merge.h"

#include <filesystem>
#include <system_error>

#include "base/text.h"
#include "run/services.h"
#include "store/dossier_template.h"
#include "store/engine/sx.h"
#include "store/file_operations.h"

namespace run {
using namespace base;

namespace {

namespace fs = std::filesystem;
using base::Trim;
using base::UpperCase;
using store::SX_TEXT;

std::string yearPrefix(const std::string& workingFolder, int index) {
  return store::workingDossier(workingFolder, index).prefix;
}

int16_t use(const std::string& file, const std::string& alias) { return store::sx_Use(file, alias, 2, 2); }

void removeFile(const std::string& file) {
  std::error_code ec;
  fs::remove(store::nativePath(file), ec);
}

// Copies the current table to `tempFile` and opens the copy, positioned on
// its first record.
int16_t copyToTemp(const std::string& tempFile, const std::string& alias) {
  removeFile(tempFile);
  store::sx_CopyFile(tempFile);
  int16_t area = use(tempFile, alias);
  store::sx_Select(area);
  store::sx_GoTop();
  return area;
}

// Closes the temporary copy, appends its live records to `target` and removes it.
void appendTemp(int16_t temp, int16_t target, const std::string& tempFile) {
  store::sx_Select(temp);
  store::sx_Close();
  store::sx_Select(target);
  store::sx_AppendFrom(tempFile, 2, "");
  removeFile(tempFile);
  removeFile(tempFile.substr(0, tempFile.size() - 4) + ".CDX");
}

// The newer year's `table` is never changed: a temporary copy of it is edited
// record by record (`edit` gets the older table's area and must leave the
// copy selected; deleting a record keeps it out) and its live records are
// appended to the older year's table, whose area is returned.
template <typename Edit>
int16_t mergeTable(const std::string& first, const std::string& second, const std::string& table, Edit edit) {
  int16_t older = use(first + "_" + table + ".DBF", table + "1");
  int16_t newer = use(second + "_" + table + ".DBF", table + "2");
  const std::string tempFile = first + "_" + table + "TEMP.DBF";
  store::sx_Select(newer);
  int16_t temp = copyToTemp(tempFile, table + "TEMP");
  for (; !store::sx_Eof(); store::sx_Skip(1)) edit(older, temp);
  appendTemp(temp, older, tempFile);
  return older;
}

// Accounts of both years once: an account of the newer year that the older
// one has gives it its special-account code, the others are added.
void mergeAccounts(const std::string& first, const std::string& second) {
  mergeTable(first, second, "ACF", [](int16_t acf1, int16_t temp) {
    const std::string number = store::sx_GetString("NUMBER");
    const std::string type = store::sx_GetString("TYPE");
    const std::string centralId = store::sx_GetString("CENTRALID");
    store::sx_Select(acf1);
    store::sx_GoTop();
    bool found = store::sx_Locate("NUMBER = '" + number + "' AND TYPE = '" + type + "'", 0, 0) != 0;
    if (found && !Trim(centralId).empty()) store::sx_Replace("CENTRALID", SX_TEXT, centralId);
    store::sx_Select(temp);
    if (found) store::sx_Delete();
  });
}

// Entries of the newer year as book year 2, without its opening document
// (the older year's balances carry over), matching numbers in series 2.
void mergeEntries(const std::string& first, const std::string& second) {
  mergeTable(first, second, "ACT", [](int16_t, int16_t) {
    if (UpperCase(Trim(store::sx_GetString("PERIOD"))) == "00") store::sx_Delete();
    store::sx_Replace("BOOKYEAR", SX_TEXT, std::string("2"));
    std::string matchNo = store::sx_GetString("MATCHNO");
    if (!matchNo.empty() && matchNo[0] == '1')
      store::sx_Replace("MATCHNO", SX_TEXT, "2" + base::Right(matchNo, 7));
  });
}

// Book-year parameters of the newer year as BOOKYEAR2.; everything else of
// the older dossier stays as it is.
void mergeParameters(const std::string& first, const std::string& second) {
  int16_t param1 = mergeTable(first, second, "PARAM", [](int16_t, int16_t) {
    const std::string id = store::sx_GetString("ID");
    if (base::Left(UpperCase(Trim(id)), 10) != "BOOKYEAR1.")
      store::sx_Delete();
    else
      store::sx_Replace("ID", SX_TEXT, "BOOKYEAR2." + base::Mid(id, 11));
  });
  store::sx_Select(param1);
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    const std::string id = UpperCase(Trim(store::sx_GetString("ID")));
    if (id == "BOOKYEARCOUNT")
      store::sx_Replace("VALUE", SX_TEXT, std::string("2"));
    else if (id == "BOOKYEAR2.MATCHNUMBER")
      store::sx_Replace("VALUE", SX_TEXT, "2" + base::Right(Trim(store::sx_GetString("VALUE")), 7));
  }
}

void copyFile(RunContext& ctx, const std::string& from, const std::string& to) {
  store::MyFileCopy(messagesOn(ctx.ui, base::MsgIcon::Exclamation), from, to, true);
}

}  // namespace

void MergeBookYears(RunContext& ctx, const std::string& workingFolder, int olderIndex, int newerIndex) {
  const std::string first = yearPrefix(workingFolder, olderIndex);
  const std::string second = yearPrefix(workingFolder, newerIndex);
  mergeAccounts(first, second);
  mergeEntries(first, second);
  mergeParameters(first, second);
  store::sx_CloseAll();
  copyFile(ctx, second + "_DBK_01.DBF", first + "_DBK_02.DBF");
  copyFile(ctx, second + "_DBK_01.CDX", first + "_DBK_02.CDX");
}

}  // namespace run
