// Finding files and folders whatever the letter case of their names: Marlin
// and Kestrel come from a platform where "Common.mdb" and "COMMON.MDB" are
// the same file.
#pragma once
#include <optional>
#include <string>

namespace run {

// The existing path that matches `path` component by component, ignoring
// case; nothing when there is none.
std::optional<std::string> findPathAnyCase(const std::string& path);

// True when a file or folder of that name exists.
bool pathExistsAnyCase(const std::string& path);

// Joins with the platform's separator.
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace run
