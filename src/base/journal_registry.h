// Which journals the dossier being filled holds, and how the source's
// journals are booked in it: the journals step fills it from the dossier's
// journal table and the source's journals, the document step extends it, and
// the post-processing reads it. Codes and types are kept trimmed, codes in
// upper case, so that every look-up ignores letter case.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

namespace base {

struct JournalRegistry {
  std::set<std::string> journals;  // Kestrel type + code, one per journal of the dossier
  std::set<std::string> codes;     // every code in use, whatever its type
  // Kestrel type + source code of a journal booked under another code (its
  // own being taken by a journal of another type) -> that code.
  std::map<std::string, std::string> renamed;
  // Kestrel type + code of the journals the documents need beyond those of
  // the source, to be written to the journal table after the documents.
  std::vector<std::string> added;
  // Source journals with lines in the closing period, in the order met; the
  // n-th is booked in the closing journal KSCLO<n>.
  std::vector<std::string> closing;
  // Financial journals kept in another currency than the euro, by the code
  // their lines carry in the dossier (a renamed journal by its new code).
  std::set<std::string> foreignCurrency;
  // The general accounts of the financial journals.
  std::set<std::string> financialAccounts;

  bool knows(const std::string& type, const std::string& code) const;
  bool codeInUse(const std::string& code) const;
  void add(const std::string& type, const std::string& code);
  bool foreignCurrencyJournal(const std::string& code) const;
  // The registry of a dossier before its journals are read.
  void clear();
};

}  // namespace base
