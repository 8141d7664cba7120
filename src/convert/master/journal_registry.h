// The journal rules shared by the journals step and the document step: new
// codes for journals whose code is taken, and the journals the documents
// need written to the dossier. The registry itself lives in the run context
// (base::JournalRegistry).
#pragma once
#include <string>

#include "base/run_context.h"

namespace convert {

// A free code for a journal whose code is taken by a journal of another type
// (VENTES -> VENTE2 -> VENT02 -> VENT12 ...), registered together with the
// key type + code it replaces.
std::string RenameJournalCode(base::RunContext& ctx, const std::string& code, const std::string& type);

// Write to DBK the journals met by the document step: the renamed ones and
// one closing journal KSCLO<n> per source journal with closing-period lines.
void AddDocumentJournals(base::RunContext& ctx, const std::string& prefix);
void AddClosingJournals(base::RunContext& ctx, const std::string& prefix);

}  // namespace convert
