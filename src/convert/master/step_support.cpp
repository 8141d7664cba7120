#include "convert/master/step_support.h"

#include <filesystem>
#include <system_error>

#include "base/text.h"
#include "store/engine/sx.h"
#include "store/file_operations.h"

namespace convert {
using namespace base;

namespace fs = std::filesystem;

std::string ExistingPath(const std::string& path) { return store::nativePath(path).string(); }

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(store::nativePath(path), ec);
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  if (FileExists(path)) fs::remove(fs::path(ExistingPath(path)), ec);
}

std::string FileMissingMessage(const base::RunContext& ctx, const std::string& path, bool dutchPoint) {
  return ctx.french() ? "Le fichier " + path + " n'existe pas"
                      : "Het bestand " + path + " bestaat niet" + (dutchPoint ? "." : "");
}

std::string CannotOpenMessage(const base::RunContext& ctx, const std::string& table, bool frenchPoint) {
  return ctx.french() ? "Impossible d 'ouvrir le fichier " + table + " du dossier Kestrel" + (frenchPoint ? "." : "")
                      : "Onmogelijk om het bestand " + table + " van Kestrel te openen.";
}

void CloseAllTables() { store::sx_CloseAll(); }

void ReportError(base::RunContext& ctx, const std::string& message) {
  if (ctx.showImportError) ctx.showImportError(message);
}

void ShowStep(base::RunContext& ctx, const std::string& text) {
  if (ctx.setStepLabel) ctx.setStepLabel(text);
}

void ShowRecord(base::RunContext& ctx, const std::string& text) {
  if (ctx.setRecordLabel) ctx.setRecordLabel(text);
}

base::Value OptionalField(const base::RowSet& rows, std::string_view name) {
  if (!rows.hasField(name)) return base::Value::null();
  return rows.field(name);
}

std::string clipRecorded(base::RunContext& ctx, const char* field, const std::string& key, std::string_view value,
                         size_t width, base::ChangeKind kind) {
  std::string clipped = clip(value, width);
  if (clipped != value) ctx.report.changed(kind, field, key, std::string(value), clipped);
  return clipped;
}

const std::string& fitRecorded(base::RunContext& ctx, const char* field, const std::string& key,
                               const std::string& value, size_t width) {
  if (charCount(value) > width) ctx.report.changed(base::ChangeKind::Clipped, field, key, value, Left(value, width));
  return value;
}

void recordAccountLength(base::RunContext& ctx, const char* field, const std::string& key, const std::string& source,
                         const std::string& normalized) {
  const std::string trimmed = Trim(source);
  if (trimmed == normalized) return;
  const bool longer = charCount(normalized) > charCount(trimmed) && normalized.rfind(trimmed, 0) == 0;
  ctx.report.changed(longer ? base::ChangeKind::Lengthened : base::ChangeKind::Shortened, field, key, trimmed,
                     normalized);
}

int16_t GeneralAccountLength(const base::RunContext& ctx) {
  return static_cast<int16_t>(Val(ctx.generalAccountLength));
}

int16_t OpenParamTable(base::RunContext& ctx, const std::string& paramFile) {
  int16_t area = store::sx_Use(ExistingPath(paramFile), "PARAM", 2, 2);
  if (area == 0) {
    ReportError(ctx, CannotOpenMessage(ctx, "PARAM", false));
    return 0;
  }
  store::sx_Select(area);
  return area;
}

void ReplaceParamValues(const std::map<std::string, std::string>& values) {
  constexpr size_t kValueWidth = 250;
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    auto it = values.find(UpperCase(Trim(store::sx_GetString("ID"))));
    if (it == values.end()) continue;
    // PARAM continues values longer than VALUE in VALUEEXT; cutting them would
    // lose periods, and a continuation left from before would corrupt the value.
    const std::string& value = it->second;
    store::sx_Replace("VALUE", store::SX_TEXT, Left(value, kValueWidth));
    std::string rest = Mid(value, kValueWidth + 1);
    if (!rest.empty() || !Trim(store::sx_GetString("VALUEEXT")).empty()) {
      store::sx_Replace("VALUEEXT", store::SX_TEXT, rest);
    }
  }
}

bool RewriteParamRows(base::RunContext& ctx, const std::string& paramFile,
                      const std::map<std::string, std::string>& values) {
  int16_t area = OpenParamTable(ctx, paramFile);
  if (area == 0) return false;
  ReplaceParamValues(values);
  store::sx_Select(area);
  store::sx_Close();
  return true;
}

}  // namespace convert
