// The --language F|N option of the support tools. It may stand anywhere among
// the arguments; a tool tells its faults in French unless Dutch is asked for.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tools {

// Takes "--language F|N" out of `args`: the language, "" when none is given,
// nullopt for another value (a usage fault).
inline std::optional<std::string> takeLanguage(std::vector<std::string>& args) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] != "--language") continue;
    const std::string language = args[i + 1];
    if (language != "F" && language != "N") return std::nullopt;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return language;
  }
  return std::string();
}

}  // namespace tools
