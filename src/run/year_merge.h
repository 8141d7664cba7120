// Two book years into one dossier: the newer year dossier VIDE{newer} is
// merged into VIDE{older} in the working folder, which then holds both years
// (accounts once, entries of year 2 with BOOKYEAR "2", BOOKYEAR2. parameters,
// journals of year 2 in DBK_02). The newer dossier is only read. False, after
// a message naming the table, when a table cannot be opened, copied or
// appended.
#pragma once
#include <string>

#include "base/run_context.h"

namespace run {

bool mergeBookYears(base::RunContext& ctx, const std::string& workingFolder, int olderIndex, int newerIndex);

}  // namespace run
