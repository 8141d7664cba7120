// Variants of the sample dossier for the tests of the migration report. The
// default dossier holds on purpose every value the import clips, drops,
// shortens or renames (see marlin_dossier.cpp and marlin_entries.cpp): it is
// the seeded source. The clean variant takes each of those cases out, so that
// the source imports as it is; the number-too-long variant is the clean one
// with one customer whose number no Kestrel dossier can hold.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "marlin_dossier.h"

namespace marlin {

// "seeded", "clean", "number-too-long"; throws std::invalid_argument.
Variant parseVariant(const std::string& name);

// The dossier-wide tables of the variant.
void applyVariant(Variant variant, std::vector<TableData>& companyTables);

// A sink that passes the accounting lines of the variant on to `next`.
std::unique_ptr<EntrySink> variantSink(Variant variant, EntrySink& next);

}  // namespace marlin
