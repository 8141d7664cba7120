// The last stage of an import run: the finished working dossier takes the
// dossier's name, is checked complete with every index sound, and reaches the
// Kestrel data folder in one move, so that the target folder holds either no
// dossier or a whole one, whenever the process stops.
#pragma once
#include <string>
#include <vector>

#include "store/file_operations.h"

namespace store {

// What keeps a new dossier `dossierName` out of `kestrelFolder`, as a message
// of the dossier language ("F" French, otherwise Dutch); empty when nothing
// does. A folder of that name is accepted when it holds no parameter table and
// none of the files the dossier would write or take for its own (every
// <NAME>_<TABLE>.DBF, .CDX and .FPT, in any letter case); the message then
// lists what is in the way.
std::string targetRefusal(const std::string& kestrelFolder, const std::string& dossierName, const std::string& language);

struct Placement {
  std::string workingFolder;  // the run folder that holds the working dossiers
  int bookYearIndex = 0;      // the working dossier VIDEnn that is finished
  bool twoYears = false;      // it holds the second journal table DBK_02
  std::string kestrelFolder;
  std::string dossierName;    // trimmed
  std::string language;       // of the messages
  bool withReport = false;    // the run wrote its migration report into the dossier
};

// Names the files of the working dossier after the dossier, checks that it
// holds exactly the dossier's files and that every table opens and every index
// agrees with its table, then, under the Kestrel folder's lock and after the
// target was checked again, moves it into place: one rename of the folder when
// the target folder does not exist or is empty, else file by file with the
// parameter table last, moved back when one move fails. False, after a
// message that names the file and the reason, when any of it fails; the
// Kestrel data folder is then as it was.
bool PlaceDossier(const FailureReport& report, const Placement& placement);

// A run folder left by a process that ended while it moved files into an
// existing target folder: the files it had moved go back, unless the move was
// complete.
void undoInterruptedPlacement(const std::string& runFolder);

}  // namespace store
