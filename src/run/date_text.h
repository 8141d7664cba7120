// The one text form of a source date that the source layer hands to its
// engines and tools: "YYYY-MM-DD HH:MM:SS", which sorts and compares as text.
#pragma once
#include <string>

#include "base/source.h"

namespace run {

std::string isoText(const base::DateTime& d);

}  // namespace run
