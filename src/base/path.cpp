#include "base/path.h"

#include <filesystem>

namespace base {

std::string joinPath(const std::string& folder, const std::string& name) {
  constexpr char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  if (folder.empty()) return name;
  if (folder.back() == '/' || folder.back() == separator) return folder + name;
  return folder + separator + name;
}

}  // namespace base
