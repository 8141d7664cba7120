#include "store/file_operations.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <set>
#include <system_error>
#include <vector>

#include "base/text.h"
#include "store/engine/disk_space.h"
#include "store/engine/file_lock.h"
#include "store/engine/path_case.h"

namespace fs = std::filesystem;

namespace store {
namespace {

void fail(const FailureReport& report) {
  if (report) report(kFileOperationError);
}

// Reports the failure and keeps its file and reason for a caller that asked.
bool failed(const FailureReport& report, FileError* error, const fs::path& file, std::error_code reason) {
  if (!reason) reason = std::make_error_code(std::errc::no_such_file_or_directory);
  if (error) *error = FileError{file.string(), reason};
  fail(report);
  return false;
}

// Windows wildcard match, letter case ignored; "*.*" also matches names without a dot.
bool wildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  std::string p = base::lowerCase(pattern), n = base::lowerCase(name);
  size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

// The last component of path text, as written (either separator).
std::string lastComponent(const std::string& text) {
  size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

// Copies the bytes of one file over another. The library's copy reports a
// full disk as an input/output error; this one keeps the system's reason.
std::error_code copyFileContents(const fs::path& from, const fs::path& to) {
  auto lastError = [] { return std::error_code(errno ? errno : EIO, std::generic_category()); };
  std::error_code ec;
  if (fs::equivalent(from, to, ec)) return std::make_error_code(std::errc::file_exists);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(openFile(from, "rb"), &std::fclose);
  if (!in) return lastError();
  std::FILE* out = openFile(to, "wb");
  if (!out) return lastError();
  std::vector<char> buffer(1 << 20);
  std::error_code why;
  for (size_t n; !why && (n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0;)
    if (std::fwrite(buffer.data(), 1, n, out) != n) why = lastError();
  if (!why && std::ferror(in.get())) why = lastError();
  if (!why && std::fflush(out) != 0) why = lastError();
  if (std::fclose(out) != 0 && !why) why = lastError();
  return why;
}

bool hasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// Regular files of `folder` whose names match `pattern`, in name order.
std::vector<fs::path> matchingFiles(const fs::path& folder, const std::string& pattern) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.is_regular_file(ec) && wildcardMatch(pattern, entry.path().filename().string()))
      out.push_back(entry.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The source pattern split into its folder and last component, or one path.
struct Source {
  fs::path folder;
  std::string pattern;  // empty: `single` names one file or folder
  fs::path single;
};

Source splitSource(const std::string& text) {
  fs::path p = nativePath(text);
  std::string last = p.filename().string();
  if (hasWildcard(last)) return Source{p.parent_path(), last, {}};
  return Source{{}, "", p};
}

fs::path trashHome() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return fs::path(data) / "Trash";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local" / "share" / "Trash";
  return {};
}

std::string urlEscape(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string deletionDate() {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

std::error_code moveAcross(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (!ec) return ec;
  // Another file system: copy, then remove the original.
  fs::copy(from, to, fs::copy_options::recursive, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove_all(to, ignored);
    return ec;
  }
  fs::remove_all(from, ec);
  return ec;
}

// Moves one file or folder to the user's trash (freedesktop layout), or removes
// it when the user has no trash folder. The reason when it could not.
std::error_code discard(const fs::path& item) {
  std::error_code ec;
  fs::path trash = trashHome();
  if (trash.empty() || !fs::is_directory(trash, ec)) {
    fs::remove_all(item, ec);
    return ec;
  }
  fs::create_directories(trash / "files", ec);
  fs::create_directories(trash / "info", ec);
  std::string base = item.filename().string();
  for (int n = 1; n < 10000; ++n) {
    std::string name = n == 1 ? base : base + "." + std::to_string(n);
    fs::path info = trash / "info" / (name + ".trashinfo");
    if (fs::exists(info, ec) || fs::exists(trash / "files" / name, ec)) continue;
    {
      std::ofstream out(info, std::ios::binary);
      if (out) out << "[Trash Info]\nPath=" << urlEscape(fs::absolute(item).generic_string())
                   << "\nDeletionDate=" << deletionDate() << "\n";
      if (!out) return std::make_error_code(std::errc::io_error);
    }
    const std::error_code moved = moveAcross(item, trash / "files" / name);
    if (moved) fs::remove(info, ec);
    return moved;
  }
  return std::make_error_code(std::errc::file_exists);
}

fs::path freeName(const fs::path& wanted) {
  std::error_code ec;
  if (!fs::exists(wanted, ec)) return wanted;
  std::string stem = wanted.stem().string(), ext = wanted.extension().string();
  for (int n = 2;; ++n) {
    fs::path candidate = wanted.parent_path() / (stem + " (" + std::to_string(n) + ")" + ext);
    if (!fs::exists(candidate, ec)) return candidate;
  }
}

// Moves `source` to `destination`, or beside it under a free name when that
// exists; the path it ended at, empty after a failure (reported).
fs::path renameToFreeName(const FailureReport& report, const std::string& source, const std::string& destination,
                          FileError* error) {
  fs::path from = nativePath(source);
  fs::path to = nativePath(destination);
  std::error_code ec;
  if (!fs::exists(from, ec)) {
    failed(report, error, from, ec);
    return {};
  }
  if (fs::exists(to, ec) && fs::equivalent(from, to, ec)) {
    // Only the letter case changes: rename in place to the name as given.
    to.replace_filename(lastComponent(destination));
  } else {
    to = freeName(to);
  }
  if (!to.parent_path().empty()) fs::create_directories(to.parent_path(), ec);
  fs::rename(from, to, ec);
  if (ec) {
    failed(report, error, from, ec);
    return {};
  }
  return to;
}

}  // namespace

fs::path nativePath(const std::string& text) {
  std::string s = text;
#ifndef _WIN32
  std::replace(s.begin(), s.end(), '\\', '/');
#endif
  return resolveCase(fs::path(s));
}

std::string reasonText(const std::error_code& reason, const std::string& language) {
  const bool fr = language == "F";
  const std::error_condition c = reason.default_error_condition();
  using E = std::errc;
  if (c == E::no_space_on_device || c == E::file_too_large)
    return fr ? "le disque est plein" : "de schijf is vol";
  if (c == E::read_only_file_system)
    return fr ? "le disque n'accepte que la lecture" : "de schijf is alleen-lezen";
  if (c == E::permission_denied || c == E::operation_not_permitted)
    return fr ? "l'accès est refusé" : "de toegang is geweigerd";
  if (c == E::file_exists || c == E::directory_not_empty || c == E::is_a_directory || c == E::not_a_directory)
    return fr ? "un fichier ou un dossier du même nom est dans le chemin"
              : "een bestand of map met dezelfde naam staat in de weg";
  if (c == E::no_such_file_or_directory) return fr ? "le fichier n'existe pas" : "het bestand bestaat niet";
  if (c == E::filename_too_long) return fr ? "le chemin est trop long" : "het pad is te lang";
  if (c == E::device_or_resource_busy || c == E::text_file_busy)
    return fr ? "le fichier est utilisé par un autre programme" : "het bestand is in gebruik door een ander programma";
  if (c == E::io_error) return fr ? "erreur de lecture ou d'écriture du disque" : "lees- of schrijffout op de schijf";
  if (c == E::cross_device_link)
    return fr ? "la destination est sur un autre disque" : "de bestemming staat op een andere schijf";
  return (fr ? "erreur système " : "systeemfout ") + std::to_string(reason.value());
}

std::string fileErrorMessage(const std::string& action, const FileError& error, const std::string& language) {
  struct Sentence {
    const char *action, *fr, *nl;  // the file goes where "{}" is
  };
  static const Sentence sentences[] = {
      {"copy", "Impossible de copier le fichier {}", "Het bestand {} kan niet gekopieerd worden"},
      {"rename", "Impossible de renommer le fichier {}", "Het bestand {} kan niet hernoemd worden"},
      {"delete", "Impossible de supprimer {}", "{} kan niet verwijderd worden"},
      {"write", "Impossible d'écrire le fichier {}", "Het bestand {} kan niet geschreven worden"},
      {"create", "Impossible de créer le dossier {}", "De map {} kan niet aangemaakt worden"},
      {"move", "Impossible de mettre le dossier en place dans {}", "Het dossier kan niet in {} geplaatst worden"}};
  const Sentence* sentence = &sentences[0];
  for (const Sentence& s : sentences)
    if (action == s.action) sentence = &s;
  std::string text = language == "F" ? sentence->fr : sentence->nl;
  text.replace(text.find("{}"), 2, error.file);
  return text + (language == "F" ? " : " : ": ") + reasonText(error.reason, language) + ".";
}

std::string fullDiskNote(const std::string& path, const std::string& language) {
  if (!failedWriteMetFullDisk() && !diskNearlyFull(nativePath(path))) return {};
  return language == "F" ? " Le disque est plein." : " De schijf is vol.";
}

bool MyFileCopy(const FailureReport& report, const std::string& source, const std::string& destination,
                bool /*overwrite*/, FileError* error) {
  Source src = splitSource(source);
  fs::path dest = nativePath(destination);
  std::error_code ec;
  std::vector<fs::path> files;
  bool intoFolder = true;
  if (src.pattern.empty()) {
    if (!fs::is_regular_file(src.single, ec)) return failed(report, error, src.single, ec);
    files.push_back(src.single);
    intoFolder = fs::is_directory(dest, ec);
  } else {
    files = matchingFiles(src.folder, src.pattern);
    if (files.empty()) return failed(report, error, src.folder / src.pattern, {});
  }
  fs::path folder = intoFolder ? dest : dest.parent_path();
  if (!folder.empty() && !fs::create_directories(folder, ec) && ec) return failed(report, error, folder, ec);
  for (const fs::path& f : files) {
    fs::path target = intoFolder ? dest / f.filename() : dest;
    if ((ec = copyFileContents(f, target))) return failed(report, error, target, ec);
  }
  return true;
}

bool MyFileDelete(const FailureReport& report, const std::string& source, FileError* error) {
  Source src = splitSource(source);
  std::error_code ec;
  if (src.pattern.empty()) {
    if (!fs::exists(src.single, ec)) return failed(report, error, src.single, ec);
    ec = discard(src.single);
    return ec ? failed(report, error, src.single, ec) : true;
  }
  for (const fs::path& f : matchingFiles(src.folder, src.pattern))
    if ((ec = discard(f))) return failed(report, error, f, ec);
  return true;
}

bool MyFileRename(const FailureReport& report, const std::string& source, const std::string& destination, bool /*overwrite*/) {
  return !renameToFreeName(report, source, destination, nullptr).empty();
}

bool PwhFileRename(const FailureReport& report, const std::string& path, const std::string& oldPrefix,
                   const std::string& newPrefix, FileError* error) {
  if (oldPrefix.empty()) return true;
  fs::path folder = nativePath(path);
  std::set<std::string> renamed;  // names this call produced: never renamed again
  for (;;) {
    bool changed = false;
    for (const fs::path& f : matchingFiles(folder, oldPrefix + "*.*")) {
      std::string name = f.filename().string();
      if (renamed.count(name)) continue;
      std::string newName;
      size_t at = 0;
      for (size_t hit; (hit = name.find(oldPrefix, at)) != std::string::npos; at = hit + oldPrefix.size())
        newName += name.substr(at, hit - at) + newPrefix;
      if (at == 0) continue;  // only a case-insensitive match: nothing to replace
      newName += name.substr(at);
      fs::path done = renameToFreeName(report, (folder / name).string(), (folder / newName).string(), error);
      if (done.empty()) return false;
      renamed.insert(done.filename().string());
      changed = true;
      break;  // start again from the first match, as the listing changed
    }
    if (!changed) return true;
  }
}

}  // namespace store
