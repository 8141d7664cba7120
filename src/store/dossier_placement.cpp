#include "store/dossier_placement.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>

#include "base/path.h"
#include "base/text.h"
#include "store/dossier_template.h"
#include "store/engine/file_lock.h"
#include "store/engine/index_check.h"
#include "store/run_folder.h"

namespace fs = std::filesystem;

namespace store {
namespace {

// Written into the run folder before files move into an existing target
// folder: the working dossier's folder, the target folder, then each file
// just before it moves. A later run reads it to move them back when the
// process ended half way.
constexpr const char* kPlacementJournal = "PLACING.TXT";

// Tests stop the process at a chosen moment of the placement to kill it
// there: the variable names the moment, the process says where it waits.
void pauseForTest(const char* moment) {
  const char* at = std::getenv("MARLIN2KESTREL_TEST_PAUSE_AT");
  if (!at || std::string_view(at) != moment) return;
  std::fprintf(stderr, "paused at %s\n", moment);
  std::fflush(stderr);
  std::this_thread::sleep_for(std::chrono::seconds(60));
}

std::vector<std::string> namesIn(const fs::path& folder, std::error_code& ec) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool isParameterTable(const std::string& file) {
  const std::string upper = base::UpperCase(file);
  return upper.size() >= 10 && upper.compare(upper.size() - 10, 10, "_PARAM.DBF") == 0;
}

// Every file a dossier of that name would write or take for its own: a stale
// index or memo file beside a new table would be opened with it.
std::vector<std::string> claimedNames(const std::string& dossierName) {
  std::vector<std::string> tables = templateNamesFor("F");
  tables.push_back("DBK_02");
  std::vector<std::string> names = reportFileNames(dossierName);
  for (const std::string& table : tables)
    for (const char* ext : {".DBF", ".CDX", ".FPT"}) names.push_back(dossierName + "_" + table + ext);
  return names;
}

class Placer {
 public:
  Placer(const FailureReport& report, const Placement& p) : report_(report), p_(p) {}

  bool place() {
    const WorkingDossier w = workingDossier(p_.workingFolder, p_.bookYearIndex);
    built_ = nativePath(w.folder);
    pauseForTest("naming");
    if (!nameFiles(w.name) || !checkComplete() || !checkTables()) return false;
    pauseForTest("checked");

    FolderLock lock;
    if (!lockKestrelFolder(lock, p_.kestrelFolder))
      return fileFailed("move", FileError{p_.kestrelFolder, std::make_error_code(std::errc::no_such_file_or_directory)});
    // Another run may have placed a dossier of that name since this one started.
    if (std::string refusal = targetRefusal(p_.kestrelFolder, p_.dossierName, p_.language); !refusal.empty())
      return say(refusal);
    pauseForTest("locked");
    target_ = nativePath(base::joinPath(p_.kestrelFolder, p_.dossierName));
    std::error_code ec;
    const bool placed = !fs::exists(target_, ec) || fs::is_empty(target_, ec) ? moveFolder() : moveFiles(w.name);
    if (placed) pauseForTest("placed");
    return placed;
  }

 private:
  bool say(const std::string& message) {
    if (report_) report_(message);
    return false;
  }
  bool say(const std::string& fr, const std::string& nl) { return say(p_.language == "F" ? fr : nl); }
  bool fileFailed(const char* action, const FileError& error) {
    return say(fileErrorMessage(action, error, p_.language));
  }

  // A table cut short or an index left unwritten has most often met a full disk.
  std::string fullDisk() const { return fullDiskNote(built_.string(), p_.language); }

  // VIDEnn_ACF.DBF becomes NAME_ACF.DBF, never over an existing file.
  bool nameFiles(const std::string& workingName) {
    std::error_code ec;
    const std::vector<std::string> files = namesIn(built_, ec);
    if (ec) return fileFailed("rename", FileError{built_.string(), ec});
    for (const std::string& file : files) {
      if (file.rfind(workingName + "_", 0) != 0) continue;
      const fs::path from = built_ / file, to = built_ / (p_.dossierName + file.substr(workingName.size()));
      if (fs::exists(to, ec)) return fileFailed("rename", FileError{to.string(), std::make_error_code(std::errc::file_exists)});
      fs::rename(from, to, ec);
      if (ec) return fileFailed("rename", FileError{from.string(), ec});
    }
    return true;
  }

  // Exactly the dossier's files: none missing, none of a failed step left over.
  bool checkComplete() {
    std::error_code ec;
    const std::vector<std::string> found = namesIn(built_, ec);
    const std::vector<std::string> wanted = dossierFileNames(p_.dossierName, p_.twoYears, p_.withReport);
    for (const std::string& file : wanted)
      if (!std::binary_search(found.begin(), found.end(), file))
        return say("Le dossier terminé est incomplet : le fichier " + file + " manque." + fullDisk(),
                   "Het afgewerkte dossier is onvolledig: het bestand " + file + " ontbreekt." + fullDisk());
    for (const std::string& file : found)
      if (std::find(wanted.begin(), wanted.end(), file) == wanted.end())
        return say("Le dossier terminé contient un fichier qui n'en fait pas partie : " + file + ".",
                   "Het afgewerkte dossier bevat een bestand dat er niet in thuishoort: " + file + ".");
    return true;
  }

  // Every table opens and every index agrees with its records: the check of
  // kestrel-dump --check, so a table cut short by a full disk never reaches
  // the target.
  bool checkTables() {
    for (const std::string& file : dossierFileNames(p_.dossierName, p_.twoYears)) {
      if (base::UpperCase(fs::path(file).extension().string()) != ".DBF") continue;
      for (const TagCheck& check : checkIndexes(built_ / file)) {
        if (check.ok) continue;
        if (check.tag.empty())
          return say("Le fichier " + file + " du dossier terminé est illisible ou incomplet." + fullDisk(),
                     "Het bestand " + file + " van het afgewerkte dossier is onleesbaar of onvolledig." + fullDisk());
        return say("L'index " + check.tag + " du fichier " + file + " du dossier terminé ne correspond pas à la table." +
                       fullDisk(),
                   "De index " + check.tag + " van het bestand " + file +
                       " van het afgewerkte dossier stemt niet overeen met de tabel." + fullDisk());
      }
    }
    return true;
  }

  // One rename: the dossier appears whole or not at all.
  bool moveFolder() {
    std::error_code ec;
    fs::rename(built_, target_, ec);  // takes the place of an empty folder on POSIX systems
    std::error_code probe;
    if (ec && fs::is_directory(target_, probe) && fs::is_empty(target_, probe)) {
      // Windows moves no folder over another, even an empty one: the empty
      // folder gives way (no folder is as good as an empty one should the
      // process stop here) and comes back when the move fails.
      std::error_code removed, moved;
      if (fs::remove(target_, removed)) {
        fs::rename(built_, target_, moved);
        if (moved) fs::create_directory(target_, removed);
        ec = moved;
      }
    }
    return ec ? fileFailed("move", FileError{target_.string(), ec}) : true;
  }

  // A target folder with files of its own: the dossier's files move in one by
  // one, the parameter table last, since Kestrel takes a folder for a dossier
  // once it holds that table. A failed move takes back the ones before it; a
  // killed process leaves the journal for the next run to do the same.
  bool moveFiles(const std::string& workingName) {
    std::error_code ec;
    std::vector<std::string> files = namesIn(built_, ec);
    std::stable_partition(files.begin(), files.end(), [](const std::string& f) { return !isParameterTable(f); });
    const fs::path journalFile = nativePath(p_.workingFolder) / kPlacementJournal;
    std::ofstream journal(journalFile, std::ios::binary | std::ios::trunc);
    journal << workingName << '\n' << fs::absolute(target_).string() << '\n' << std::flush;
    std::vector<std::string> moved;
    FileError failure;
    for (const std::string& file : files) {
      journal << file << '\n' << std::flush;
      if (!journal) {
        const bool full = !fullDiskNote(journalFile.string(), p_.language).empty();
        failure = FileError{journalFile.string(), std::make_error_code(full ? std::errc::no_space_on_device : std::errc::io_error)};
        break;
      }
      if (fs::exists(target_ / file, ec)) {
        failure = FileError{(target_ / file).string(), std::make_error_code(std::errc::file_exists)};
        break;
      }
      fs::rename(built_ / file, target_ / file, ec);
      if (ec) {
        failure = FileError{(target_ / file).string(), ec};
        break;
      }
      moved.push_back(file);
      if (moved.size() == 1) pauseForTest("moving");
    }
    const bool complete = moved.size() == files.size();
    for (auto it = moved.rbegin(); !complete && it != moved.rend(); ++it) fs::rename(target_ / *it, built_ / *it, ec);
    journal.close();
    fs::remove(journalFile, ec);
    return complete ? true : fileFailed("move", failure);
  }

  const FailureReport& report_;
  const Placement& p_;
  fs::path built_, target_;
};

}  // namespace

std::string targetRefusal(const std::string& kestrelFolder, const std::string& dossierName, const std::string& language) {
  const bool fr = language == "F";
  const fs::path target = nativePath(base::joinPath(kestrelFolder, dossierName));
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(target, ec);
  if (!fs::exists(status)) return {};
  if (!fs::is_directory(target, ec))
    return fr ? "Un fichier " + target.string() + " occupe la place du dossier Kestrel de destination."
              : "Een bestand " + target.string() + " staat op de plaats van het bestemmingsdossier in Kestrel.";
  const std::vector<std::string> present = namesIn(target, ec);
  std::vector<std::string> inTheWay;
  for (const std::string& file : present) {
    if (base::equalsIgnoringCase(file, dossierName + "_PARAM.DBF"))
      return fr ? "Le chemin du dossier Kestrel de destination doit être vide, veuillez le supprimer via Kestrel."
                : "Het pad van het bestemmingsdossier in Kestrel moet leeg zijn.";
    for (const std::string& claimed : claimedNames(dossierName))
      if (base::equalsIgnoringCase(file, claimed)) inTheWay.push_back(file);
  }
  if (inTheWay.empty()) return {};
  std::string list;
  for (const std::string& file : inTheWay) list += (list.empty() ? "" : ", ") + file;
  return fr ? "Le dossier " + target.string() + " contient déjà des fichiers que le nouveau dossier écrirait : " + list +
                  ". Déplacez-les ou supprimez-les, puis recommencez."
            : "De map " + target.string() + " bevat al bestanden die het nieuwe dossier zou schrijven: " + list +
                  ". Verplaats of verwijder ze en probeer opnieuw.";
}

bool PlaceDossier(const FailureReport& report, const Placement& placement) { return Placer(report, placement).place(); }

void undoInterruptedPlacement(const std::string& runFolder) {
  const fs::path folder = nativePath(runFolder);
  std::ifstream journal(folder / kPlacementJournal, std::ios::binary);
  std::string workingName, target;
  if (!std::getline(journal, workingName) || !std::getline(journal, target)) return;
  std::vector<std::string> files;
  for (std::string file; std::getline(journal, file);)
    if (!file.empty()) files.push_back(file);
  const fs::path from = folder / workingName, to = target;
  std::error_code ec;
  auto placed = [&](const std::string& file) { return fs::exists(to / file, ec) && !fs::exists(from / file, ec); };
  // The parameter table moves last: once it is there, the dossier was whole.
  if (!files.empty() && isParameterTable(files.back()) && placed(files.back())) return;
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    if (placed(*it)) fs::rename(to / *it, from / *it, ec);
}

}  // namespace store
