// What the wizard and the import run need from the rest of the system (source
// access, dossier store, table engine, file operations), as one table of
// calls. defaultServices() binds the real components; tests may replace
// single entries to provoke a failure.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "run/source.h"

namespace run {

// The SQL fields of the wizard, trimmed by the caller.
struct SqlLogin {
  std::string server, login, password;
};

struct Services {
  // --- Table engine ---------------------------------------------------------
  // Day/month/year dates, four-digit years, epoch 1960; closes every table.
  std::function<void()> prepareEngine;
  std::function<void()> closeAllTables;

  // --- Files ----------------------------------------------------------------
  // Copies the files matching a wildcard pattern into a folder (created when
  // missing), overwriting.
  std::function<void(const std::string& pattern, const std::string& folder)> copyFiles;
  // Removes a file or a whole folder.
  std::function<void(const std::string& path)> deletePath;
  // Renames the files of a folder whose names begin with oldPrefix.
  std::function<void(const std::string& folder, const std::string& oldPrefix, const std::string& newPrefix)>
      renamePrefix;

  // --- Dossier store --------------------------------------------------------
  // Writes the empty-dossier template "VIDE" into the folder; the message to
  // show when it cannot, nothing on success.
  std::function<std::optional<std::string>(const std::string& workingFolder, const std::string& language)>
      createTemplateDossier;

  // --- Source ---------------------------------------------------------------
  // Open an Access database read only, or one database of a SQL server.
  // Both throw SourceError with a message fit for the user.
  std::function<std::unique_ptr<Source>(const std::string& file)> openAccess;
  std::function<std::unique_ptr<Source>(const SqlLogin& login, const std::string& database)> openSql;
  // Highest book-year index of a company: SQL edition and prefixed layout
  // read the table names of `company`; the older layout looks for the
  // per-year files {sourceKey}A{ii}.mdb.
  std::function<int(Source* company, bool sqlEdition, bool prefixedLayout, const std::string& sourceKey)>
      lastBookYearIndex;
  // True when a table name of the company database begins with "D_".
  std::function<bool(Source& company)> checkVersionSe;
  // {sourceKey}A{ii}.mdb when that file exists, else "".
  std::function<std::string(const std::string& sourceKey, int index)> perYearDatabasePath;
};

// The real components.
Services defaultServices();

}  // namespace run
