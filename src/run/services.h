// What the wizard and the import run need from the rest of the system (source
// access, dossier store, table engine, file operations), as one table of
// calls. defaultServices() binds the real components; tests may replace
// single entries to provoke a failure.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/source.h"
#include "base/ui.h"
#include "run/reconciliation.h"

namespace store {
struct Placement;  // store/dossier_placement.h
}

namespace run {

// The SQL fields of the wizard: server and login trimmed by the caller, the
// password exactly as typed.
struct SqlLogin {
  std::string server, login, password;
};

struct Services {
  // --- Table engine ---------------------------------------------------------
  // Day/month/year dates, four-digit years, epoch 1960; closes every table.
  std::function<void()> prepareEngine;
  std::function<void()> closeAllTables;
  // A book year's entries are written by several steps in turn, and the
  // merge appends the newer year's to the older's: the index of the entries
  // table is written once, when its last writer is done, instead of at every
  // close. deferIndex starts that for a table file; writeDeferredIndex
  // writes the index (false, after its own message, when it cannot);
  // dropDeferredIndex gives it up for a table that is not placed. Unbound,
  // the index is written at every close.
  std::function<void(const std::string& file)> deferIndex;
  std::function<bool(base::Ui* ui, const std::string& file, const std::string& language)> writeDeferredIndex;
  std::function<void(const std::string& file)> dropDeferredIndex;
  // The first table whose changes could not be written since the last call,
  // as a message in `language` (file, reason, a full disk said so); empty when
  // every write reached the disk. Unset: nothing to ask.
  std::function<std::string(const std::string& language)> tableWriteFailure;
  // Gives the memory the process holds free back to the system, before the
  // last phase, whose tables are mapped from their files rather than read
  // into freed blocks. Unset: nothing to give back.
  std::function<void()> releaseFreeMemory;
  // Every component above and below may be used from two threads at once,
  // each with its own source connection and tables: the two book years of a
  // full import are then converted side by side.
  bool passesSideBySide = false;

  // --- Dossier store --------------------------------------------------------
  // Writes the empty-dossier template "VIDE" into the working folder. False,
  // after its own message, when it cannot: the run cannot go on.
  std::function<bool(base::Ui* ui, const std::string& workingFolder, const std::string& language)>
      createTemplateDossier;
  // Rebuilds {workingFolder}/VIDE{nn} from the template (old folder removed,
  // files copied and renamed VIDE{nn}_*). False, after its own message, when a
  // file operation fails.
  std::function<bool(base::Ui* ui, const std::string& workingFolder, int bookYearIndex, const std::string& language)>
      prepareWorkingDossier;
  // Names the finished working dossier after the dossier, checks it and moves
  // it into {kestrelFolder}/{dossier}. False, after its own message, when any
  // of it fails; the Kestrel data folder is then as it was.
  std::function<bool(base::Ui* ui, const store::Placement& placement)> placeDossier;

  // --- Source ---------------------------------------------------------------
  // Open an Access database read only, or one database of a SQL server.
  // Both throw SourceError with a message fit for the user.
  std::function<std::unique_ptr<base::Source>(const std::string& file)> openAccess;
  std::function<std::unique_ptr<base::Source>(const SqlLogin& login, const std::string& database)> openSql;
  // Highest book-year index of a company: SQL edition and prefixed layout
  // read the table names of `company`; the older layout looks for the
  // per-year files {sourceKey}A{ii}.mdb.
  std::function<int(base::Source* company, bool sqlEdition, bool prefixedLayout, const std::string& sourceKey)>
      lastBookYearIndex;
  // True when a table name of the company database begins with "D_".
  std::function<bool(base::Source& company)> checkVersionSe;
  // {sourceKey}A{ii}.mdb when that file exists, else "".
  std::function<std::string(const std::string& sourceKey, int index)> perYearDatabasePath;

  // --- Reconciliation -------------------------------------------------------------
  // The source side of one book year and of the master data, and the finished
  // dossier (see run/reconciliation.h). A run whose table leaves them unset
  // (tests driving the run with sources held in memory) reconciles nothing.
  std::function<SourceBooks(const SourceTables& tables, int sourceIndex, int bookYear, bool keepsOpening)>
      readSourceBooks;
  std::function<SourceMasterData(const SourceTables& tables)> readSourceMasterData;
  std::function<bool(const std::string& prefix, TargetBooks& books, base::Bilingual& error)> readTargetBooks;
};

// The real components.
Services defaultServices();

// The dossier store reports its failures as text; the run shows each one as a
// message box on `ui` with `icon` (nothing without a UI).
std::function<void(const std::string& message)> messagesOn(base::Ui* ui, base::MsgIcon icon);

}  // namespace run
