#include "store/file_operations.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>
#include <system_error>
#include <vector>

#include "base/text.h"
#include "store/engine/path_case.h"

namespace fs = std::filesystem;

namespace store {
namespace {

void fail(const FailureReport& report) {
  if (report) report(kFileOperationError);
}

// Windows wildcard match, letter case ignored; "*.*" also matches names without a dot.
bool wildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  std::string p = base::LowerCase(pattern), n = base::LowerCase(name);
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

bool moveAcross(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (!ec) return true;
  // Another file system: copy, then remove the original.
  fs::copy(from, to, fs::copy_options::recursive, ec);
  if (ec) {
    fs::remove_all(to, ec);
    return false;
  }
  fs::remove_all(from, ec);
  return !ec;
}

// Moves one file or folder to the user's trash (freedesktop layout), or removes
// it when the user has no trash folder.
bool discard(const fs::path& item) {
  std::error_code ec;
  fs::path trash = trashHome();
  if (trash.empty() || !fs::is_directory(trash, ec)) {
    fs::remove_all(item, ec);
    return !ec;
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
      if (!out) return false;
      out << "[Trash Info]\nPath=" << urlEscape(fs::absolute(item).generic_string())
          << "\nDeletionDate=" << deletionDate() << "\n";
      if (!out) return false;
    }
    if (moveAcross(item, trash / "files" / name)) return true;
    fs::remove(info, ec);
    return false;
  }
  return false;
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
fs::path renameToFreeName(const FailureReport& report, const std::string& source, const std::string& destination) {
  fs::path from = nativePath(source);
  fs::path to = nativePath(destination);
  std::error_code ec;
  if (!fs::exists(from, ec)) {
    fail(report);
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
    fail(report);
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

bool MyFileCopy(const FailureReport& report, const std::string& source, const std::string& destination, bool /*overwrite*/) {
  Source src = splitSource(source);
  fs::path dest = nativePath(destination);
  std::error_code ec;
  std::vector<fs::path> files;
  bool intoFolder = true;
  if (src.pattern.empty()) {
    if (!fs::is_regular_file(src.single, ec)) {
      fail(report);
      return false;
    }
    files.push_back(src.single);
    intoFolder = fs::is_directory(dest, ec);
  } else {
    files = matchingFiles(src.folder, src.pattern);
    if (files.empty()) {
      fail(report);
      return false;
    }
  }
  fs::path folder = intoFolder ? dest : dest.parent_path();
  if (!folder.empty()) fs::create_directories(folder, ec);
  bool ok = true;
  for (const fs::path& f : files) {
    fs::path target = intoFolder ? dest / f.filename() : dest;
    if (!fs::copy_file(f, target, fs::copy_options::overwrite_existing, ec)) ok = false;
  }
  if (!ok) fail(report);
  return ok;
}

bool MyFileDelete(const FailureReport& report, const std::string& source) {
  Source src = splitSource(source);
  std::error_code ec;
  bool ok = true;
  if (src.pattern.empty()) {
    ok = fs::exists(src.single, ec) && discard(src.single);
  } else {
    for (const fs::path& f : matchingFiles(src.folder, src.pattern)) ok = discard(f) && ok;
  }
  if (!ok) fail(report);
  return ok;
}

bool MyFileRename(const FailureReport& report, const std::string& source, const std::string& destination, bool /*overwrite*/) {
  return !renameToFreeName(report, source, destination).empty();
}

void PwhFileRename(const FailureReport& report, const std::string& path, const std::string& oldPrefix,
                   const std::string& newPrefix) {
  if (oldPrefix.empty()) return;
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
      fs::path done = renameToFreeName(report, (folder / name).string(), (folder / newName).string());
      if (done.empty()) break;
      renamed.insert(done.filename().string());
      changed = true;
      break;  // start again from the first match, as the listing changed
    }
    if (!changed) return;
  }
}

}  // namespace store
