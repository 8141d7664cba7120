// The Access edition of a source: an .mdb file whose tables are loaded, when a
// query or an open first touches them, into an embedded SQLite database where
// the Access-dialect query texts run unchanged.
#pragma once
#include <memory>
#include <string>

#include "base/source.h"

namespace run {

struct AccessOptions {
  // Sources larger than this many bytes are loaded into a temporary file
  // instead of memory.
  long long memoryLimitBytes = 768LL << 20;
};

// Opens an Access database read only. Throws SourceError (French/Dutch) when
// the file is missing, not an Access database or damaged.
std::unique_ptr<base::Source> openAccessSource(const std::string& path, const AccessOptions& options = {});

}  // namespace run
