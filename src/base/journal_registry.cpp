#include "base/journal_registry.h"

#include "base/text.h"

namespace base {

namespace {
std::string codeKey(const std::string& code) { return upperCase(Trim(code)); }
std::string journalKey(const std::string& type, const std::string& code) { return Trim(type) + codeKey(code); }
}  // namespace

bool JournalRegistry::knows(const std::string& type, const std::string& code) const {
  return journals.count(journalKey(type, code)) != 0;
}

bool JournalRegistry::codeInUse(const std::string& code) const { return codes.count(codeKey(code)) != 0; }

void JournalRegistry::add(const std::string& type, const std::string& code) {
  codes.insert(codeKey(code));
  journals.insert(journalKey(type, code));
}

bool JournalRegistry::foreignCurrencyJournal(const std::string& code) const {
  return foreignCurrency.count(codeKey(code)) != 0;
}

void JournalRegistry::clear() { *this = JournalRegistry(); }

}  // namespace base
