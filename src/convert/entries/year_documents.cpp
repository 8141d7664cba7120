// Every document of a book year into ACT: general and financial documents
// line by line, VAT documents (invoices and credit notes) as their main line,
// their result and VAT-coded lines, and their VAT lines.
#include <memory>
#include <string>
#include <unordered_set>

#include "convert/entries/act_line.h"
#include "convert/entries/entry_helpers.h"
#include "convert/entries/entry_table.h"
#include "convert/entries/history_queries.h"
#include "convert/master/codes.h"
#include "convert/master/journal_registry.h"
#include "convert/master/step_support.h"
#include "convert/master/text.h"
#include "convert/steps.h"
#include "store/engine/sx.h"

namespace convert {

namespace {

struct DocumentKind {
  std::string kind;      // Kestrel journal type ("A": reopening documents)
  std::string vatConst;  // VAT code of the document's VAT-coded lines
};

// Marlin journal types 1 sales, 2 purchases, 3 miscellaneous, 4 financial.
// A document of any other type is booked as a miscellaneous operation: its
// lines are then written one for one with their own amounts, so the document
// stays balanced and every line can be found again in Kestrel.
DocumentKind documentKind(int64_t type, int64_t subtype) {
  switch (type) {
    case 1: return {subtype == 1 ? "2" : "3", "244500"};
    case 2: return {subtype == 1 ? "0" : "1", "144500"};
    case 3: return {subtype == 1 ? "A" : "5", ""};
    case 4: return {"4", ""};
    default: return {"5", ""};
  }
}

bool creditNote(const std::string& kind) { return kind == "1" || kind == "3"; }
bool purchases(const std::string& kind) { return kind == "0" || kind == "1"; }
bool sales(const std::string& kind) { return kind == "2" || kind == "3"; }
std::string vatLineCode(const std::string& kind) { return sales(kind) ? "244300" : "144300"; }

// The VAT code of a VAT type: ordinary rates take the document's code, 5 and
// 6 their own. Types the program does not know are read as ordinary rates, so
// the line still carries the document's VAT code rather than none.
std::string vatCodeOfType(const run::Value& vatType, const std::string& vatConst) {
  if (vatType.isNull()) return vatConst;
  switch (vatType.asInt()) {
    case 5: return "121100";
    case 6: return "113300";
    default: return vatConst;
  }
}

bool startsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

class DocumentWriter {
 public:
  DocumentWriter(run::RunContext& ctx) : ctx_(ctx), form_(FormOf(ctx)), nn_(YearDigits(ctx)), source_(YearSource(ctx)),
                                         length_(GeneralAccountLength(ctx)) {}

  // A failed source query throws run::SourceError.
  void write(const run::RowSet& document);

 private:
  std::unique_ptr<run::RowSet> detail(const std::string& sql);
  std::string journalCode(const std::string& period, const std::string& jrnlId);
  bool repeated(const run::RowSet& row);
  // The common rules of one detail line; false for an opening-period line.
  bool fill(const run::RowSet& row, ActLine& line);
  void showDocument(const std::string& code, const std::string& doc);

  void writeGeneral(run::RowSet& rows);
  void writeFinancial(run::RowSet& rows);
  void writeVatDocument(const run::RowSet& document);
  void appendVatLine(const ActLine& header, Fixed4 base);

  run::RunContext& ctx_;
  SourceForm form_;
  std::string nn_;
  run::Source* source_;
  int16_t length_;
  std::vector<run::Value> params_;
  DocumentKind kind_;
  std::unordered_set<std::string> records_;
  std::string label_;
};

std::unique_ptr<run::RowSet> DocumentWriter::detail(const std::string& sql) { return source_->query(sql, params_); }

std::string DocumentWriter::journalCode(const std::string& period, const std::string& jrnlId) {
  std::string code = jrnlId;
  if (period == "99") {
    auto& list = ctx_.closingJournalList;
    size_t i = 0;
    while (i < list.size() && list[i] != jrnlId) ++i;
    if (i == list.size()) list.push_back(jrnlId);
    code = "KSCLO" + std::to_string(i + 1);
  }
  return ResolveDocumentJournal(ctx_, code, kind_.kind);
}

// A line joined to several matching entries comes back once per entry; it is
// written once, with the first of them.
bool DocumentWriter::repeated(const run::RowSet& row) {
  run::Value id = OptionalField(row, "RECORDID");
  if (id.isNull()) return false;
  return !records_.insert(id.asText()).second;
}

void DocumentWriter::showDocument(const std::string& code, const std::string& doc) {
  std::string label = code + " " + doc;
  if (label != label_) ShowRecord(ctx_, label_ = label);
}

bool DocumentWriter::fill(const run::RowSet& row, ActLine& line) {
  line.period = PeriodText(row.field("PERIOD"), ctx_.sourceClosingPeriod);
  if (line.period == "00") return false;
  line.matchNo = MatchNumber(OptionalField(row, "CHECKID"));
  run::Value account = row.field("ACCTID");
  if (account.present()) line.accountGl = NormalizeAccount(account.asText(), length_);
  line.dbkCode = journalCode(line.period, row.field("JrnlID").asText());
  line.dbkType = kind_.kind;
  run::Value assocType = row.field("ASSOCACCTTYPE");
  std::string assoc = Trim(assocType.asText()), comp = Trim(row.field("COMPACCTTYPE").asText());
  if (assoc == "10" || assoc == "20")
    line.accountRp = Trim(row.field("ASSOCACCTID").asText());
  else if (comp == "10" || comp == "20")
    line.accountRp = Trim(row.field("COMPACCTID").asText());
  int64_t at = assocType.asInt();
  line.docType = at == 10 ? "1" : at == 20 ? "2" : "3";
  line.date = line.dateDoc = SourceDateText(row.field("DOCDATE"));
  line.dueDate = SourceDateText(row.field("DUEDATE"));
  line.comment = OptionalField(row, "COMMENT").asText();
  std::string doc = row.field("DOC").asText();
  showDocument(line.dbkCode, doc);
  line.docNumber = FitDocNumber(doc);
  // Lines flagged 1 are credits and are negated; a negative source amount is
  // then negated as a number (never written as "--").
  line.amountEur = Fixed4::parse(row.field("AmntBase").asText());
  // (The summed balance lines have no flag: their sum is signed already.)
  if (OptionalField(row, "FlagDC").asText() == "1") line.amountEur = -line.amountEur;
  return true;
}

void DocumentWriter::writeGeneral(run::RowSet& rows) {
  std::string order = "000";
  for (; !rows.eof(); rows.moveNext()) {
    if (repeated(rows)) continue;
    // The number is used up even by a line the step does not write.
    order = GetNextDocOrder(ctx_, order);
    ActLine line;
    if (!fill(rows, line)) continue;
    line.docOrder = order;
    line.opCode = "MAIN";
    // Accounts 411/451 get no VAT code of their own: their VAT is told by
    // the VAT-coded lines of the purchase and sales journals.
    line.vatImput = TranslateVat(OptionalField(rows, "VATCODE").asText(), line.accountRp);
    AppendDocumentLine(line);
  }
}

void DocumentWriter::writeFinancial(run::RowSet& rows) {
  std::string order = "000";
  for (; !rows.eof(); rows.moveNext()) {
    if (repeated(rows)) continue;
    ActLine line;
    if (!fill(rows, line)) continue;
    if (ctx_.financialAccountList.find("|" + line.accountGl + "|") != std::string::npos) {
      // The journal's own bank account line closes the document.
      line.docOrder = "999";
      line.accountRp.clear();
    } else {
      order = GetNextDocOrder(ctx_, order);
      line.docOrder = order;
    }
    line.opCode = startsWith(line.accountGl, "55") || startsWith(line.accountGl, "57") ? "" : "MAIN";
    std::string currency = Trim(OptionalField(rows, "CRCYACCTID").asText());
    if (!currency.empty() && currency != "EUR") {
      line.currAmount = Fixed4::parse(OptionalField(rows, "AmntCrcy").asText());
      if (rows.field("FlagDC").asText() == "1") line.currAmount = -line.currAmount;
      line.currCode = currency;
      // A line of 0 euro (an exchange difference) has no rate of its own: it
      // keeps rate 0 and its currency amount, which the currency pass leaves.
      line.curRate = line.currAmount.dividedBy(line.amountEur).value_or(Fixed4());
    }
    AppendDocumentLine(line);
  }
}

void DocumentWriter::appendVatLine(const ActLine& header, Fixed4 base) {
  ActLine vat;
  vat.docType = "4";
  vat.docOrder = "VAT";
  vat.opCode = "FIXED";
  vat.dbkCode = header.dbkCode;
  vat.dbkType = header.dbkType;
  vat.docNumber = header.docNumber;
  vat.accountRp = header.accountRp;
  vat.period = header.period;
  vat.date = header.date;
  vat.dateDoc = header.dateDoc;
  vat.dueDate = header.dueDate;
  vat.vatBase = base;
  vat.vatCode = vatLineCode(kind_.kind);
  AppendDocumentLine(vat);
}

void DocumentWriter::writeVatDocument(const run::RowSet& document) {
  const std::string& kind = kind_.kind;
  // The document's own values stand in for its main line when that line is
  // missing or belongs to the opening period.
  ActLine header;
  header.period = PeriodText(document.field("Period"), ctx_.sourceClosingPeriod);
  // (An opening-period document writes nothing here: no journal for it.)
  if (header.period != "00") header.dbkCode = journalCode(header.period, document.field("JrnlID").asText());
  header.dbkType = kind;
  header.docNumber = FitDocNumber(document.field("Doc").asText());
  header.date = header.dateDoc = SourceDateText(document.field("DocDate"));
  Fixed4 documentBase;

  auto main = detail(VatDocumentQuery(form_, nn_, VatQuery::MainLine));
  if (!main->eof()) {
    // A main line that also carries a VAT code comes back in the VAT-coded
    // lines: it is written once, here.
    repeated(*main);
    ActLine line;
    if (fill(*main, line)) {
      // Only a main line this step writes can lose its other matching
      // entries; an opening-period one is the opening step's business.
      if (form_ != SourceForm::Sql && main->recordCount() > 1 && ctx_.ui) {
        ctx_.ui->messageBox("Il y a plus matching sur cette opération (" + line.dbkCode + " " +
                                document.field("Doc").asText() + ") seule la premier matching sera récupéré!",
                            host::MsgButtons::Ok, host::MsgIcon::None, "Kestrel - Importation d'un dossier Marlin");
      }
      line.vatBase = Fixed4::parse(main->field("TurnOverBase").asText());
      if (creditNote(kind)) line.vatBase = -line.vatBase;
      const bool credit = main->field("FlagDC").asText() == "1";
      Fixed4 vat = Fixed4::parse(main->field("VATAmntBase").asText());
      if (purchases(kind) ? !credit : credit) vat = -vat;
      Fixed4 nonDeductible = Fixed4::parse(main->field("VATNDAmntBase").asText());
      line.vatTax = nonDeductible.isZero() ? vat : -nonDeductible - vat;
      documentBase = line.vatBase;
      header = line;
      AppendDocumentLine(line);
    }
  }
  main.reset();

  auto lines = detail(VatDocumentQuery(form_, nn_, VatQuery::VatLines));
  for (; !lines->eof(); lines->moveNext()) {
    if (repeated(*lines)) continue;
    ActLine line;
    if (!fill(*lines, line)) continue;
    line.docType = "3";
    run::Value vatCode = lines->hasField("xVATCode") ? lines->field("xVATCode") : lines->field("VATCODE");
    if (!vatCode.present()) {
      line.vatImput = vatLineCode(kind);
      // Its base in the document's sense: an invoice's bases are positive,
      // a credit note's negative (like the main line's turnover).
      appendVatLine(header, sales(kind) ? -line.amountEur : line.amountEur);
    } else {
      line.vatImput = vatCodeOfType(OptionalField(*lines, "VATTYPE"), kind_.vatConst);
    }
    AppendDocumentLine(line);
  }
  lines.reset();

  // The document's own VAT line carries the header's period: none for an
  // opening-period document, whose lines this step does not write either.
  if (header.period != "00" && detail(VatDocumentQuery(form_, nn_, VatQuery::UncodedCount))->eof())
    appendVatLine(header, documentBase);

  auto types = detail(VatDocumentQuery(form_, nn_, VatQuery::VatTypes));
  run::Value vatType = types->eof() ? run::Value::null() : types->field("VATType");
  auto balance = detail(VatDocumentQuery(form_, nn_, VatQuery::BalanceLines));
  for (; !balance->eof(); balance->moveNext()) {
    ActLine line;
    if (!fill(*balance, line)) continue;
    line.docType = "4";
    line.docOrder = "VAT";
    line.opCode = "FIXED";
    // The query sums AmntBase x FlagDC, where a debit is -1: the line's euro
    // amount is the opposite of that sum, which keeps the document balanced.
    line.amountEur = -Fixed4::parse(balance->field("AmntBase").asText());
    line.vatBase = documentBase;
    std::string code = vatCodeOfType(vatType, kind_.vatConst);
    if (line.accountGl >= "6") {
      line.docOrder.clear();
      line.opCode.clear();
      line.vatImput = kind_.vatConst;
    } else {
      line.vatCode = code;
    }
    AppendDocumentLine(line);
    if (!types->eof()) {
      types->moveNext();
      if (!types->eof()) vatType = types->field("VATType");
    }
  }
}

void DocumentWriter::write(const run::RowSet& document) {
  kind_ = documentKind(document.field("JrnlType").asInt(), document.field("JrnlSubType").asInt());
  params_ = {run::Value::ofText(document.field("JrnlID").asText()), document.field("Doc"), document.field("JrnlType")};
  records_.clear();
  if (kind_.kind == "5")
    writeGeneral(*detail(GeneralDocumentQuery(form_, nn_)));
  else if (kind_.kind == "4")
    writeFinancial(*detail(GeneralDocumentQuery(form_, nn_)));
  else
    writeVatDocument(document);
}

}  // namespace

bool ImportYearDocuments(run::RunContext& ctx, run::RowSet& documents, const std::string& prefix) {
  ShowStep(ctx, "Historic");
  if (OpenEntryTable(ctx, prefix) == 0) return false;
  DocumentWriter writer(ctx);
  // A document spread over two periods or dates is listed once per period or
  // date, but its lines are read by journal, number and type: write it once.
  std::unordered_set<std::string> done;
  try {
    for (; !documents.eof(); documents.moveNext()) {
      std::string key = documents.field("JrnlID").asText() + '\x1f' + documents.field("Doc").asText() + '\x1f' +
                        documents.field("JrnlType").asText();
      if (!done.insert(key).second) continue;
      writer.write(documents);
    }
  } catch (const run::SourceError& e) {
    store::sx_CloseAll();
    ReportError(ctx, e.message(ctx.french()));
    return false;
  }
  ShowRecord(ctx, "");
  store::sx_Close();
  AddDocumentJournals(ctx, prefix);
  AddClosingJournals(ctx, prefix);
  return true;
}

}  // namespace convert
