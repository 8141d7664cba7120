// Each import run builds its template, working dossiers and finished dossier
// in a private folder of its own inside the Kestrel data folder: on the file
// system of the target, so that the finished dossier reaches its place with
// one rename, and apart from every other run into the same Kestrel folder.
// A run holds its folder through a lock of its process; a folder no live
// process holds was left by a run that was killed, and the next run clears it.
#pragma once
#include <memory>
#include <string>

#include "store/file_operations.h"

namespace store {

class FolderLock;

// Run folders are named this prefix + 16 hexadecimal digits.
inline constexpr const char* kRunFolderPrefix = ".marlin2kestrel-";
size_t runFolderNameLength();
bool isRunFolderName(const std::string& name);

// Runs take the lock of the Kestrel data folder for the short moments in
// which they clear stale run folders, create their own or place their
// dossier: a second run waits for the first. False when the folder cannot be
// opened.
bool lockKestrelFolder(FolderLock& lock, const std::string& kestrelFolder);

class RunFolder {
 public:
  // Creates a new run folder in `kestrelFolder` and holds it until destroyed.
  // Null, with the folder and the reason in `error`, when it cannot be made.
  static std::unique_ptr<RunFolder> create(const std::string& kestrelFolder, FileError& error);
  // Removes the folder with everything in it: only this run's own work is there.
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // The folder as dossier path text ("D/.marlin2kestrel-0123456789abcdef").
  const std::string& path() const { return path_; }

 private:
  RunFolder();
  std::string path_;
  std::unique_ptr<FolderLock> lock_;
};

// Sends every run folder of `kestrelFolder` that no live run holds to the
// trash, after undoing what its run had begun to place into a target folder.
// Folders it cannot clear stay for a later run.
void sweepStaleRunFolders(const std::string& kestrelFolder);

}  // namespace store
