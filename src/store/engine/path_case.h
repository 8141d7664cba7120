// Finding files whatever the letter case of their names: dossiers made on
// Windows name the same file "_dbk_01.DBF" in one place and "_DBK_01.DBF" in another.
#pragma once
#include <filesystem>
#include <string_view>

namespace store {

// The existing path that matches `path` when letter case is ignored in each
// component. Components that exist nowhere are kept as given, after the
// longest prefix that does exist (so the result also names a file to create).
std::filesystem::path resolveCase(const std::filesystem::path& path);

}  // namespace store
