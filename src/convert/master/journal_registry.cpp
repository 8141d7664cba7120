#include "convert/master/journal_registry.h"

#include "base/text.h"

namespace convert {

using base::Trim;

std::string RenameJournalCode(base::RunContext& ctx, const std::string& code, const std::string& type) {
  base::JournalRegistry& journals = ctx.journals;
  const std::string trimmed = Trim(code), t = Trim(type);
  std::string candidate = code;
  int counter = 0;
  while (journals.codeInUse(candidate)) {
    if (candidate == code) {
      candidate = trimmed.size() < 6 ? trimmed + t : trimmed.substr(0, 5) + t;
    } else {
      const std::string c = std::to_string(counter);
      candidate = trimmed.size() < 6 - c.size() ? trimmed + c + t : trimmed.substr(0, 5 - c.size()) + c + t;
      ++counter;
    }
  }
  if (candidate != code) {
    journals.add(t, candidate);
    journals.renamed.emplace(base::UpperCase(t + trimmed), Trim(candidate));
    // The type tells which of the source journal's documents the new code holds.
    ctx.report.changed(base::ChangeKind::Renamed, "DBK.DBKID", trimmed, trimmed, Trim(candidate), "DBKTYPE=" + t);
  }
  return candidate;
}

}  // namespace convert
