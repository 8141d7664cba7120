#include "store/dossier_template.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/path.h"
#include "base/text.h"
#include "store/engine/file_lock.h"
#include "store/file_operations.h"
#include "store/templates/template_resources.h"

namespace fs = std::filesystem;

namespace store {
namespace {

const char* const kTemplateOrder[] = {"ACF",     "ACT", "BPAYBENEF", "CODENAE", "CODEVAT", "CODFOR",
                                      "COUNTRY", "CSF", "CURRENCY",  "DBK_01",  "DIC",     "DICTREE",
                                      "MEMO",    "PARAM", "TABLE",   "ZIPCODE"};
const char* const kLanguageBound[] = {"COUNTRY", "CURRENCY", "DBK_01", "DICTREE", "TABLE"};

// The text uses this platform's separator throughout, so the strings handed
// to the conversion steps open as they are.
std::string join(const std::string& folder, const std::string& name) {
  return base::withNativeSeparators(base::joinPath(folder, name));
}

bool isLanguageBound(const std::string& name) {
  for (const char* t : kLanguageBound)
    if (name == t) return true;
  return false;
}

void reportIn(const FailureReport& report, const std::string& language, const std::string& fr,
              const std::string& nl) {
  if (report) report(language == "F" ? fr : nl);
}

// The reason when the file cannot be written whole.
std::error_code writeFile(const fs::path& file, std::string_view bytes) {
  std::FILE* out = openFile(file, "wb");
  if (!out) return std::error_code(errno, std::generic_category());
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0;
  const int writeError = errno;
  if (std::fclose(out) != 0 || !written) return std::error_code(written ? errno : writeError, std::generic_category());
  return {};
}

// Removes the files of an existing folder (sub-folders stay), or creates the folder.
bool emptyOrCreate(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return fs::create_directories(folder, ec) || fs::is_directory(folder, ec);
  bool ok = true;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (!entry.is_directory(ec) && !fs::remove(entry.path(), ec)) ok = false;
  }
  return ok && !ec;
}

}  // namespace

std::vector<std::string> reportFileNames(const std::string& name) {
  return {name + "_MIGRATION.json", name + "_MIGRATION.txt"};
}

std::vector<std::string> dossierFileNames(const std::string& name, bool twoYears, bool withReport) {
  std::vector<std::string> files;
  for (const char* t : kTemplateOrder) {
    const std::string table = t;
    files.push_back(name + "_" + table + ".DBF");
    if (table != "DIC") files.push_back(name + "_" + table + ".CDX");
    if (table == "MEMO") files.push_back(name + "_MEMO.FPT");
  }
  if (twoYears) {
    files.push_back(name + "_DBK_02.DBF");
    files.push_back(name + "_DBK_02.CDX");
  }
  if (withReport)
    for (const std::string& report : reportFileNames(name)) files.push_back(report);
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> templateNamesFor(const std::string& language) {
  std::vector<std::string> names;
  for (const char* t : kTemplateOrder) {
    std::string name = t;
    names.push_back(language != "F" && isLanguageBound(name) ? name + "NL" : name);
  }
  return names;
}

bool CreateTemplateDossier(const FailureReport& report, const std::string& kestrelFolder, const std::string& language) {
  const std::string folderText = join(kestrelFolder, "VIDE");
  const fs::path folder = nativePath(folderText);
  if (!emptyOrCreate(folder)) {
    reportIn(report, language, "Impossible de préparer le dossier modèle " + folderText,
           "Onmogelijk om het sjabloondossier " + folderText + " voor te bereiden");
    return false;
  }
  for (const std::string& name : templateNamesFor(language)) {
    for (const char* type : {"CDX", "DBF", "FPT"}) {
      if (std::string_view(type) == "FPT" && name != "MEMO") continue;
      std::optional<std::string_view> bytes = templates::findResource(type, name);
      if (!bytes) continue;
      const std::string fileName = "VIDE_" + name + "." + type;  // template names are upper case
      if (const std::error_code why = writeFile(folder / fileName, *bytes)) {
        const std::string shown = join(folderText, fileName);
        reportIn(report, language, "Impossible d'écrire le fichier " + shown + " du dossier modèle : " + reasonText(why, "F"),
                 "Onmogelijk om het bestand " + shown + " van het sjabloondossier te schrijven: " + reasonText(why, "N"));
        return false;
      }
    }
  }
  if (language == "N") {
    const std::string path = join(folderText, "");
    for (const char* t : kLanguageBound) PwhFileRename(report, path, std::string("VIDE_") + t + "NL", std::string("VIDE_") + t);
  }
  return true;
}

WorkingDossier workingDossier(const std::string& kestrelFolder, int bookYearIndex) {
  WorkingDossier w;
  w.name = "VIDE" + base::twoDigits(bookYearIndex);
  w.folder = join(kestrelFolder, w.name);
  w.prefix = join(w.folder, w.name);
  w.paramFile = w.prefix + "_PARAM.DBF";
  return w;
}

bool PrepareWorkingDossier(const FailureReport& report, const std::string& kestrelFolder, int bookYearIndex,
                           const std::string& language) {
  const WorkingDossier w = workingDossier(kestrelFolder, bookYearIndex);
  auto failed = [&](const char* action, const FileError& error) {
    if (report) report(fileErrorMessage(action, error, language));
    return false;
  };
  FileError error;
  std::error_code ec;
  if (fs::is_directory(nativePath(w.folder), ec) && !MyFileDelete(nullptr, w.folder, &error)) return failed("delete", error);
  if (!MyFileCopy(nullptr, join(join(kestrelFolder, "VIDE"), "*.*"), w.folder, true, &error)) return failed("copy", error);
  if (!PwhFileRename(nullptr, join(w.folder, ""), "VIDE_", w.name + "_", &error)) return failed("rename", error);
  return true;
}

bool CopySecondJournalTable(const FailureReport& report, const std::string& kestrelFolder, int bookYearIndex,
                            const std::string& language) {
  WorkingDossier from = workingDossier(kestrelFolder, bookYearIndex);
  WorkingDossier to = workingDossier(kestrelFolder, bookYearIndex - 1);
  for (const char* ext : {".DBF", ".CDX"}) {
    FileError error;
    if (!MyFileCopy(nullptr, from.prefix + "_DBK_01" + ext, to.prefix + "_DBK_02" + ext, true, &error)) {
      if (report) report(fileErrorMessage("copy", error, language));
      return false;
    }
  }
  return true;
}

}  // namespace store
