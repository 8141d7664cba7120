#include "convert/master/journal_registry.h"

#include "base/text.h"

namespace convert {
using namespace base;

bool JournalPairKnown(const base::RunContext& ctx, const std::string& type, const std::string& code) {
  return ctx.journalPairList.find("|" + Trim(type) + UpperCase(Trim(code)) + "|") != std::string::npos;
}

bool JournalCodeKnown(const base::RunContext& ctx, const std::string& code) {
  return ctx.journalCodeList.find("*/*" + UpperCase(Trim(code)) + "*/*") != std::string::npos;
}

void RegisterJournal(base::RunContext& ctx, const std::string& type, const std::string& code) {
  ctx.journalCodeList += "*/*" + UpperCase(Trim(code)) + "*/*";
  ctx.journalPairList += "|" + Trim(type) + UpperCase(Trim(code)) + "|";
}

std::string RenameJournalCode(base::RunContext& ctx, const std::string& code, const std::string& type) {
  const std::string trimmed = Trim(code), t = Trim(type);
  std::string candidate = code;
  int counter = 0;
  while (JournalCodeKnown(ctx, candidate)) {
    if (candidate == code) {
      candidate = trimmed.size() < 6 ? trimmed + t : trimmed.substr(0, 5) + t;
    } else {
      const std::string c = std::to_string(counter);
      candidate = trimmed.size() < 6 - c.size() ? trimmed + c + t : trimmed.substr(0, 5 - c.size()) + c + t;
      ++counter;
    }
  }
  if (candidate != code) {
    RegisterJournal(ctx, t, candidate);
    ctx.journalKeys.push_back(t + trimmed);
    ctx.journalCodes.push_back(Trim(candidate));
  }
  return candidate;
}

}  // namespace convert
