// The Access reader on whole .mdb files: the catalog, then every row of every
// table. A refusal is a SourceError; anything else escaping is a fault.
#include <cstdint>

#include "fuzz_support.h"
#include "run/mdb_reader.h"
#include "base/source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzzing::scratch() / "F.mdb";
  fuzzing::writeFile(file, data, size);
  try {
    run::mdb::File mdb(file.string());
    for (const std::string& name : mdb.tableNames()) {
      try {
        auto table = mdb.open(name);
        for (long rows = 0; rows < 100000 && table->next(); ++rows) (void)table->cells();
      } catch (const base::SourceError&) {
        // one damaged table: the others are still read
      }
    }
  } catch (const base::SourceError&) {
  }
  return 0;
}
