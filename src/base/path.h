// Paths the run and the wizard build from a folder and a name, with the
// platform's separator. Files are looked up in any letter case by
// run::sourceFileExists and store::nativePath.
#pragma once
#include <string>

namespace base {

std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace base
