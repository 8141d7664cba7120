// Access functions the Jet query texts call that SQLite lacks: First(),
// Last(), Len(), Nz(), UCase(), LCase().
#pragma once

struct sqlite3;

namespace run {
void registerAccessFunctions(sqlite3* db);
}
