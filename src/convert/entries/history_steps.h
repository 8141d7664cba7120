// History steps as the import run calls them when it does not hand them rows,
// and the entry lines' helpers the tests reach.
#pragma once
#include <string>

#include "base/run_context.h"

namespace convert {

// Runs the opening-lines query of the pass's source form and imports them.
bool ImportOpeningEntriesFromSource(base::RunContext& ctx, const std::string& prefix);

}  // namespace convert
