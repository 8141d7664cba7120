// The folders and files of a new Kestrel dossier: the template dossier VIDE
// written from the embedded templates, the working dossier VIDEnn of each
// imported book year, and the names of a finished dossier's files. Paths are text the conversion steps build on ("D\VIDE01\VIDE01" +
// "_ACF.DBF"), written with this platform's separator; the folder given may use
// either separator.
#pragma once
#include <string>
#include <vector>

#include "store/file_operations.h"

namespace store {

// The four strings the conversion steps use to reach a working dossier.
struct WorkingDossier {
  std::string name;       // "VIDE01"
  std::string folder;     // "D\VIDE01"
  std::string prefix;     // "D\VIDE01\VIDE01" (+ "_ACF.DBF")
  std::string paramFile;  // "D\VIDE01\VIDE01_PARAM.DBF"
};

// The sixteen template names in the order they are written: French editions for
// language "F", the Dutch editions of the five language-bound tables otherwise.
std::vector<std::string> templateNamesFor(const std::string& language);

// The files of a finished dossier `name`, in name order: every table's DBF,
// its CDX (DIC has none), the memo file, for two book years DBK_02, and the
// migration report (text and JSON) when the run wrote one into it.
std::vector<std::string> dossierFileNames(const std::string& name, bool twoYears, bool withReport = false);
// The migration report's files of a dossier `name`: NAME_MIGRATION.txt and .json.
std::vector<std::string> reportFileNames(const std::string& name);

// Writes the template dossier `kestrelFolder`\VIDE: an existing folder is first
// emptied of its files (sub-folders stay), then every template file is written
// and, for language "N", the Dutch editions take their plain names. False, after
// a message in the dossier language to `report`, when the folder cannot be made
// or emptied or a template cannot be written: the run cannot go on.
bool CreateTemplateDossier(const FailureReport& report, const std::string& kestrelFolder, const std::string& language);

// The working dossier strings of book year `bookYearIndex` ("VIDE" + two digits).
WorkingDossier workingDossier(const std::string& kestrelFolder, int bookYearIndex);

// Rebuilds `kestrelFolder`\VIDEnn from the template dossier: an old folder goes to
// the trash as a whole, the template files are copied and renamed VIDEnn_*.
// False, after a message of the dossier language naming the file and the
// reason, when a file operation fails.
bool PrepareWorkingDossier(const FailureReport& report, const std::string& kestrelFolder, int bookYearIndex,
                           const std::string& language);

// Two-year dossier: the journals of year `bookYearIndex` become the second journal
// table DBK_02 of the working dossier of the year before. False, after a message
// of the dossier language, when a copy fails.
bool CopySecondJournalTable(const FailureReport& report, const std::string& kestrelFolder, int bookYearIndex,
                            const std::string& language);

}  // namespace store
