// Copy, delete and rename of dossier files, with the results the dossier code
// relies on: wildcards in the source name, folders created as needed, no
// prompts, deletions to the user's trash, renames that never overwrite. Paths
// arrive as text built with backslashes; both separators are accepted and
// names are found regardless of letter case. A failure hands
// "Erreur API SHFileOperation()" to the caller's report (when one is given) and
// the caller goes on; the result says whether the operation succeeded, and the
// FileError, when asked for, which file failed and why.
#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

namespace store {

// Where the dossier store says what went wrong; the caller decides how it is
// shown. An empty report keeps the failure silent.
using FailureReport = std::function<void(const std::string& message)>;

// The file or folder an operation failed on and the system's reason.
struct FileError {
  std::string file;
  std::error_code reason;
};

// The reason of a failed file operation as a user reads it, in the dossier
// language ("F" French, otherwise Dutch): "le disque est plein", "toegang
// geweigerd", "un fichier ou un dossier du même nom est dans le chemin", ...
std::string reasonText(const std::error_code& reason, const std::string& language);

// The file error as one sentence of the dossier language: "Impossible de
// copier le fichier X : le disque est plein." `action` is "copy", "rename",
// "delete", "write", "create" (a folder) or "move" (a dossier into its place).
std::string fileErrorMessage(const std::string& action, const FileError& error, const std::string& language);

// " Le disque est plein." / " De schijf is vol." when the disk that holds
// `path` has no room left, else empty: the table engine says only that a
// write failed, and a write that fails for want of room leaves none.
std::string fullDiskNote(const std::string& path, const std::string& language);

// Copies one file, or every file matching a pattern ("*" and "?" in the last
// component; "*.*" matches every file), into the destination folder, which is
// created when missing. A single source file copied to a path that is not an
// existing folder takes that path as its new name. Existing targets are overwritten.
bool MyFileCopy(const FailureReport& report, const std::string& source, const std::string& destination, bool overwrite = true,
                FileError* error = nullptr);

// Deletes one file, every file matching a pattern (files only), or a whole folder
// with its content. Goes to the freedesktop trash when the user has one, else the
// files are removed.
bool MyFileDelete(const FailureReport& report, const std::string& source, FileError* error = nullptr);

// Moves or renames a file or folder. When the destination exists the moved item
// gets a free name beside it ("NAME (2).EXT").
bool MyFileRename(const FailureReport& report, const std::string& source, const std::string& destination,
                  bool overwrite = false);

// In folder `path`, renames every file whose name starts with `oldPrefix` (letter
// case ignored) by replacing each exact occurrence of `oldPrefix` with `newPrefix`.
// Stops when a pass changes nothing; a file is renamed at most once. False
// when a rename failed.
bool PwhFileRename(const FailureReport& report, const std::string& path, const std::string& oldPrefix,
                   const std::string& newPrefix, FileError* error = nullptr);

// The message every failing operation shows.
inline constexpr const char* kFileOperationError = "Erreur API SHFileOperation()";

// Dossier path text ("D:\\KS\\VIDE\\VIDE_ACF.DBF" or with slashes) as a path of this
// platform, each existing component matched regardless of letter case.
std::filesystem::path nativePath(const std::string& text);

}  // namespace store
