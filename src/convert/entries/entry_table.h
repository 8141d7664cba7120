// The ACT table as every entry step opens it, with its two messages.
#pragma once
#include <cstdint>
#include <string>

#include "base/run_context.h"

namespace convert {

// Opens prefix + "_ACT.DBF" under the alias "ACT" and makes it current. A
// missing file or a failed open is reported (after a failed open every table
// is closed) and gives 0.
int16_t openEntryTable(base::RunContext& ctx, const std::string& prefix);

}  // namespace convert
