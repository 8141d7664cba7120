// The opening balances of a book year (its period "00" lines) as one opening
// document OPDOUV 1 in ACT.
#include <unordered_set>
#include <vector>

#include "base/text.h"
#include "convert/entries/act_line.h"
#include "convert/entries/entry_helpers.h"
#include "convert/entries/entry_table.h"
#include "convert/entries/history_queries.h"
#include "convert/entries/history_steps.h"
#include "convert/master/codes.h"
#include "convert/master/journal_kinds.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {

// A line's document: journal, number and type; empty when the rows do not say.
std::string documentOf(const base::RowSet& rows) {
  const base::Value journal = optionalField(rows, "JRNLID");
  return journal.present() ? journal.asText() + '\x1f' + optionalField(rows, "DOC").asText() + '\x1f' +
                                 optionalField(rows, "JRNLTYPE").asText()
                           : std::string();
}

bool ImportOpeningEntries(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix,
                          std::unordered_set<std::string> later) {
  showStep(ctx, "Historic");
  if (openEntryTable(ctx, prefix) == 0) return false;
  if (store::sx_QueryRecCount() > 0) {
    reportError(ctx, ctx.msg("Des transactions existent déjà dans ce dossier Kestrel. Pas de récupération possible.",
                             "Er bestaan reeds verrichtingen in dit Kestrel dossier. Er is geen recuperatie."));
    return false;
  }
  ctx.documentOrderCounter = "000";
  const int16_t length = settledAccountLength(ctx);
  showRecord(ctx, "OPDOUV 1");
  // The opening document takes the period "00" lines of documents that lie in
  // that period alone. A document with lines in "00" and in a later period is
  // written whole, in its later period, by the document step: split between
  // the opening document and its own journal, neither part would balance
  // under Kestrel's document key, whereas the original splits it. The rows
  // give every line of the year, so the opening lines wait until it is known
  // which documents have later lines.
  struct Opening {
    ActLine line;
    std::string document;  // journal, number and type; empty when the rows do not say
  };
  std::vector<Opening> openings;
  std::unordered_set<std::string> laterDocuments = std::move(later);
  for (; !rows.eof(); rows.moveNext()) {
    const std::string document = documentOf(rows);
    if (periodText(rows.field("PERIOD"), ctx.sourceClosingPeriod) != "00") {
      if (!document.empty()) laterDocuments.insert(document);
      continue;
    }
    ActLine line;
    line.dbkCode = "OPDOUV";
    line.dbkType = JournalType::kMiscellaneous;
    line.docNumber = "1";
    line.opCode = "MAIN";
    line.period = "00";
    line.matchNo = matchNumber(rows.field("CHECKID"));
    base::Value account = rows.field("ACCTID");
    if (account.present()) line.accountGl = NormalizeAccount(account.asText(), length);
    int64_t assocType = rows.field("ASSOCACCTTYPE").asInt();
    line.docType = assocType == 10 ? "1" : assocType == 20 ? "2" : "3";
    line.accountRp = rows.field("ASSOCACCTID").asText();
    line.dateDoc = sourceDateText(rows.field("DOCDATE"));
    line.date = sourceDateText(rows.field("VALUEDATE"));
    line.dueDate = sourceDateText(rows.field("DUEDATE"));
    line.comment = rows.field("COMMENT").asText();
    // Opening lines flagged -1 keep their sign; every other line is negated.
    Fixed4 amount = Fixed4::parse(rows.field("AmntBase").asText());
    if (rows.field("FlagDC").asText() != "-1") amount = -amount;
    line.amountEur = amount.round2();
    openings.push_back({std::move(line), document});
  }
  for (Opening& o : openings) {
    if (!o.document.empty() && laterDocuments.count(o.document)) continue;
    ctx.documentOrderCounter = GetNextDocOrder(ctx, ctx.documentOrderCounter);
    o.line.docOrder = ctx.documentOrderCounter;
    appendOpeningLine(o.line);
  }
  store::sx_Close();
  return true;
}

bool importOpeningEntriesFromSource(base::RunContext& ctx, const std::string& prefix) {
  base::Source* source = yearSource(ctx);
  if (!source) return false;
  // Reading every line of the year to learn which documents go on grouped
  // the whole year on forty columns to keep the few lines of period 0.
  std::unordered_set<std::string> later;
  {
    std::unique_ptr<base::RowSet> rows = source->query(laterDocumentsQuery(formOf(ctx), yearDigits(ctx)));
    for (; !rows->eof(); rows->moveNext())
      if (std::string document = documentOf(*rows); !document.empty()) later.insert(std::move(document));
  }
  std::unique_ptr<base::RowSet> rows = source->query(openingEntriesQuery(formOf(ctx), yearDigits(ctx), true));
  return ImportOpeningEntries(ctx, *rows, prefix, std::move(later));
}

}  // namespace convert
