// The template files built into the program: one resource per file type
// ("DBF", "CDX", "FPT") and template name ("ACF", "COUNTRYNL", ...). The bytes
// are generated from the template catalogue and its data files at build time.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace store::templates {

// The bytes of one resource; nullopt when the program has no such resource
// (for example the CDX of DIC). Type and name are matched exactly.
std::optional<std::string_view> findResource(std::string_view type, std::string_view name);

}  // namespace store::templates
