#include "run/path_lookup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace run {

namespace {

bool sameNameAnyCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::optional<std::string> findPathAnyCase(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::error_code ec;
  fs::path wanted(path);
  if (fs::exists(wanted, ec)) return path;
  fs::path found = wanted.root_path();
  for (const auto& part : wanted.relative_path()) {
    const std::string name = part.string();
    if (name.empty() || name == ".") continue;
    fs::path exact = found / part;
    if (name == ".." || fs::exists(exact, ec)) {
      found = exact;
      continue;
    }
    fs::path folder = found.empty() ? fs::path(".") : found;
    bool matched = false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (sameNameAnyCase(it->path().filename().string(), name)) {
        found = found / it->path().filename();
        matched = true;
        break;
      }
    }
    if (!matched) return std::nullopt;
  }
  return found.string();
}

bool pathExistsAnyCase(const std::string& path) { return findPathAnyCase(path).has_value(); }

bool folderHasEntries(const std::string& path) {
  auto found = findPathAnyCase(path);
  if (!found) return false;
  std::error_code ec;
  if (!fs::is_directory(*found, ec)) return false;
  return fs::directory_iterator(*found, ec) != fs::directory_iterator();
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  char last = folder.back();
  if (last == '/' || last == static_cast<char>(fs::path::preferred_separator)) return folder + name;
  return folder + static_cast<char>(fs::path::preferred_separator) + name;
}

}  // namespace run
