// Which journal codes the dossier being filled holds, and under which code a
// source journal of a given Kestrel type is booked. The lists live in the run
// context because the journals step fills them and the document step extends
// them.
#pragma once
#include <string>

#include "base/run_context.h"

namespace convert {

// Codes and types are compared trimmed and in upper case.
bool JournalPairKnown(const base::RunContext& ctx, const std::string& type, const std::string& code);
bool JournalCodeKnown(const base::RunContext& ctx, const std::string& code);
void RegisterJournal(base::RunContext& ctx, const std::string& type, const std::string& code);

// A free code for a journal whose code is taken by a journal of another type
// (VENTES -> VENTE2 -> VENT02 -> VENT12 ...), registered together with the
// key type + code it replaces.
std::string RenameJournalCode(base::RunContext& ctx, const std::string& code, const std::string& type);

// Write to DBK the journals met by the document step: the renamed ones and
// one closing journal KSCLO<n> per source journal with closing-period lines.
void AddDocumentJournals(base::RunContext& ctx, const std::string& prefix);
void AddClosingJournals(base::RunContext& ctx, const std::string& prefix);

}  // namespace convert
