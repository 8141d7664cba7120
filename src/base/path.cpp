#include "base/path.h"

#include <filesystem>

namespace base {

namespace {
constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/' || folder.back() == '\\') return folder + name;
  return folder + kSeparator + name;
}

std::string withNativeSeparators(std::string path) {
  for (char& c : path)
    if (c == '\\' || c == '/') c = kSeparator;
  return path;
}

}  // namespace base
