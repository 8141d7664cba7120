// Looking into Kestrel tables for the people who support migrations: a table
// as CSV text, and the index check of every table of a dossier folder.
#pragma once
#include <filesystem>
#include <map>
#include <ostream>
#include <string>

#include "base/bilingual.h"

namespace store {

// Writes the table as CSV: a header line "_deleted" + the field names, then one
// line per record with "*" for a deleted record, each value as stored (padding
// kept; memo fields give their text), in UTF-8. False with the reason when the
// table cannot be read.
bool dumpTableCsv(const std::filesystem::path& dbf, std::ostream& out, base::Bilingual& error);

// Checks the CDX of every table in `folder` and writes one line per tag:
// "TABLE TAG n keys OK", or "TABLE TAG " + the fault. True when every tag is
// sound; false, with a line saying why, when the folder holds no table. The
// faults are told in French (`french`) or in Dutch.
bool checkDossierIndexes(const std::filesystem::path& folder, std::ostream& out, bool french);

// The record count each table of a dossier folder declares in its header, by
// table name without the dossier's prefix ("ACT", "DBK_01"); a file too short
// to hold a header counts 0.
std::map<std::string, long> tableRecordCounts(const std::filesystem::path& folder);

}  // namespace store
