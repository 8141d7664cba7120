#include "store/engine/path_case.h"

#include <system_error>

#include "base/text.h"

namespace store {

std::filesystem::path resolveCase(const std::filesystem::path& given) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (given.empty() || fs::exists(given, ec)) return given;
  fs::path path = given;
#ifndef _WIN32
  // Dossier paths are built with backslashes the way Windows writes them.
  std::string text = given.string();
  if (text.find('\\') != std::string::npos) {
    for (char& c : text)
      if (c == '\\') c = '/';
    path = text;
    if (fs::exists(path, ec)) return path;
  }
#endif
  fs::path result = path.root_path();
  fs::path rel = path.relative_path();
  bool walking = true;  // false once a component could not be found
  for (const fs::path& part : rel) {
    fs::path candidate = result / part;
    if (!walking || part == "." || part == ".." || fs::exists(candidate, ec)) {
      result = candidate;
      continue;
    }
    fs::path dir = result.empty() ? fs::path(".") : result;
    fs::path found;
    const std::string want = part.string();
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      if (base::equalsIgnoringCase(it->path().filename().string(), want)) {
        found = it->path().filename();
        break;
      }
    }
    if (found.empty()) {
      walking = false;
      result = candidate;
    } else {
      result /= found;
    }
  }
  return result;
}

}  // namespace store
