// Paths built from a folder and a name. The text the wizard and the INI file
// give may be written with backslashes (as Windows users type them) or with
// slashes; files are then looked up in any letter case by
// run::sourceFileExists and store::nativePath.
#pragma once
#include <string>

namespace base {

// Folder + this platform's separator + name; a folder that already ends with
// either separator gets no second one, an empty folder gives the name alone.
std::string joinPath(const std::string& folder, const std::string& name);

// The text with every slash and backslash turned into this platform's separator.
std::string withNativeSeparators(std::string path);

}  // namespace base
