#include "store/dossier_template.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/path.h"
#include "base/text.h"
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

bool writeFile(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
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
      if (!writeFile(folder / fileName, *bytes)) {
        const std::string shown = join(folderText, fileName);
        reportIn(report, language, "Impossible d'écrire le fichier " + shown + " du dossier modèle",
               "Onmogelijk om het bestand " + shown + " van het sjabloondossier te schrijven");
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

WorkingDossier PrepareWorkingDossier(const FailureReport& report, const std::string& kestrelFolder, int bookYearIndex) {
  WorkingDossier w = workingDossier(kestrelFolder, bookYearIndex);
  std::error_code ec;
  if (fs::is_directory(nativePath(w.folder), ec)) MyFileDelete(report, w.folder);
  MyFileCopy(report, join(join(kestrelFolder, "VIDE"), "*.*"), w.folder);
  PwhFileRename(report, join(w.folder, ""), "VIDE_", w.name + "_");
  return w;
}

void CopySecondJournalTable(const FailureReport& report, const std::string& kestrelFolder, int bookYearIndex) {
  WorkingDossier from = workingDossier(kestrelFolder, bookYearIndex);
  WorkingDossier to = workingDossier(kestrelFolder, bookYearIndex - 1);
  for (const char* ext : {".DBF", ".CDX"}) MyFileCopy(report, from.prefix + "_DBK_01" + ext, to.prefix + "_DBK_02" + ext);
}

void PlaceDossier(const FailureReport& report, const std::string& kestrelFolder, int bookYearIndex, const std::string& dossierName) {
  WorkingDossier w = workingDossier(kestrelFolder, bookYearIndex);
  const std::string target = join(kestrelFolder, dossierName);
  MyFileCopy(report, join(w.folder, "*.*"), target);
  PwhFileRename(report, join(target, ""), w.name, dossierName);
}

}  // namespace store
