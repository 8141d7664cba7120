#include "run/path_lookup.h"

#include <filesystem>

#include "store/file_operations.h"

namespace fs = std::filesystem;

namespace run {

std::optional<std::string> findPathAnyCase(const std::string& path) {
  if (path.empty()) return std::nullopt;
  fs::path found = store::nativePath(path);
  std::error_code ec;
  if (!fs::exists(found, ec)) return std::nullopt;
  return found.string();
}

bool pathExistsAnyCase(const std::string& path) { return findPathAnyCase(path).has_value(); }

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  char last = folder.back();
  if (last == '/' || last == static_cast<char>(fs::path::preferred_separator)) return folder + name;
  return folder + static_cast<char>(fs::path::preferred_separator) + name;
}

}  // namespace run
