// Every document of a book year into ACT: general and financial documents
// line by line, VAT documents (invoices and credit notes) as their main line,
// their result and VAT-coded lines, and their VAT lines. Each document is
// read whole from its detail queries before any line of it is written, so
// that all its lines go into one period and one journal.
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
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
#include "convert/master/journal_registry.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {
using namespace base;

namespace {

using T = JournalType;

struct DocumentKind {
  std::string kind;      // Kestrel journal type
  std::string vatConst;  // VAT code of the document's VAT-coded lines
};

// Marlin journal types 1 sales, 2 purchases, 3 miscellaneous, 4 financial.
// A document of any other type is booked as a miscellaneous operation: its
// lines are then written one for one with their own amounts, so the document
// stays balanced and every line can be found again in Kestrel.
DocumentKind documentKind(int64_t type, int64_t subtype) {
  switch (type) {
    case 1: return {subtype == 1 ? T::kSales : T::kSalesCreditNotes, "244500"};
    case 2: return {subtype == 1 ? T::kPurchases : T::kPurchaseCreditNotes, "144500"};
    case 3: return {subtype == 1 ? T::kReopening : T::kMiscellaneous, ""};
    case 4: return {T::kFinancial, ""};
    default: return {T::kMiscellaneous, ""};
  }
}

bool creditNote(const std::string& kind) { return kind == T::kPurchaseCreditNotes || kind == T::kSalesCreditNotes; }
bool purchases(const std::string& kind) { return kind == T::kPurchases || kind == T::kPurchaseCreditNotes; }
bool sales(const std::string& kind) { return kind == T::kSales || kind == T::kSalesCreditNotes; }
std::string vatLineCode(const std::string& kind) { return sales(kind) ? "244300" : "144300"; }
// Documents of every kind but general operations and financial documents
// are written from their VAT queries.
bool vatKind(const std::string& kind) { return kind != T::kMiscellaneous && kind != T::kFinancial; }

// The VAT code of a VAT type: ordinary rates take the document's code, 5 and
// 6 their own. Types the program does not know are read as ordinary rates, so
// the line still carries the document's VAT code rather than none.
std::string vatCodeOfType(const base::Value& vatType, const std::string& vatConst) {
  if (vatType.isNull()) return vatConst;
  switch (vatType.asInt()) {
    case 5: return "121100";
    case 6: return "113300";
    default: return vatConst;
  }
}

bool startsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

// One accounting line of a document as a detail query gives it. The summed
// balance lines have no flag, matching entry, VAT or currency columns: these
// read as null there.
struct SourceLine {
  base::Value recordId, period, validation, jrnlId, jrnlType, doc, checkId, account, assocType, assocId, compType, compId,
      docDate, dueDate, comment, flag, amount, currency, currencyAmount, vatCode, vatType, turnover, vatAmount,
      vatNonDeductible;
};

// The columns of a line a query may leave out (the summed balance lines
// have no flag, matching entry, VAT or currency columns), looked for once
// per query instead of on every row.
class LineColumns {
 public:
  enum Column { RecordId, Validation, JrnlType, CheckId, Comment, Flag, Currency, CurrencyAmount, XVatCode, VatCode,
                VatType, Turnover, VatAmount, VatNonDeductible, kCount };
  explicit LineColumns(const base::RowSet& row) {
    for (int c = 0; c < kCount; ++c) present_[c] = row.hasField(kNames[c]);
  }
  bool has(Column c) const { return present_[c]; }
  // The value of the row, null where the query has no such column.
  base::Value get(const base::RowSet& row, Column c) const {
    return present_[c] ? row.field(kNames[c]) : base::Value::null();
  }

 private:
  static constexpr const char* kNames[kCount] = {
      "RECORDID", "ValidationType", "JrnlType", "CHECKID",  "COMMENT",      "FlagDC",      "CRCYACCTID",
      "AmntCrcy", "xVATCode",       "VATCODE",  "VATTYPE",  "TurnOverBase", "VATAmntBase", "VATNDAmntBase"};
  bool present_[kCount];
};

SourceLine readLine(const base::RowSet& row, const LineColumns& columns) {
  using C = LineColumns;
  SourceLine l;
  l.recordId = columns.get(row, C::RecordId);
  l.period = row.field("PERIOD");
  l.validation = columns.get(row, C::Validation);
  l.jrnlId = row.field("JrnlID");
  l.jrnlType = columns.get(row, C::JrnlType);
  l.doc = row.field("DOC");
  l.checkId = columns.get(row, C::CheckId);
  l.account = row.field("ACCTID");
  l.assocType = row.field("ASSOCACCTTYPE");
  l.assocId = row.field("ASSOCACCTID");
  l.compType = row.field("COMPACCTTYPE");
  l.compId = row.field("COMPACCTID");
  l.docDate = row.field("DOCDATE");
  l.dueDate = row.field("DUEDATE");
  l.comment = columns.get(row, C::Comment);
  l.flag = columns.get(row, C::Flag);
  l.amount = row.field("AmntBase");
  l.currency = columns.get(row, C::Currency);
  l.currencyAmount = columns.get(row, C::CurrencyAmount);
  // The VAT-coded lines' query names the code a second time, as xVATCode.
  l.vatCode = columns.get(row, columns.has(C::XVatCode) ? C::XVatCode : C::VatCode);
  l.vatType = columns.get(row, C::VatType);
  l.turnover = columns.get(row, C::Turnover);
  l.vatAmount = columns.get(row, C::VatAmount);
  l.vatNonDeductible = columns.get(row, C::VatNonDeductible);
  return l;
}

// Lines flagged 1 are credits and are negated; a negative source amount is
// then negated as a number (never written as "--").
Fixed4 signedAmount(const base::Value& amount, const base::Value& flag) {
  const Fixed4 a = Fixed4::parse(amount.asText());
  return flag.asText() == "1" ? -a : a;
}

// One document of the list: the run's row for it (the first of its rows
// when it lies in several periods or dates).
struct DocumentHeader {
  base::Value jrnlId, doc, jrnlType, jrnlSubType, docDate;
  int64_t docFirst = 0;  // the first line of its journal and number
};

// The rows a document's detail queries give, before any is written: the
// lines of a general or financial document (of a VAT document, its main
// line's rows), then, for a VAT document, queries 2 to 5.
struct DocumentRows {
  std::vector<SourceLine> lines, coded, balance;
  std::vector<base::Value> vatTypes;
  bool uncoded = false;
};

// Where the detail rows of the documents come from.
class DocumentSource {
 public:
  virtual ~DocumentSource() = default;
  // A failed source query throws base::SourceError.
  virtual DocumentRows rows(const DocumentHeader& document, bool vatDocument) = 0;
};

// The original's way: the detail queries of each document run for it alone.
// Kept where a test compares it with the book year read whole.
class PerDocumentQueries : public DocumentSource {
 public:
  explicit PerDocumentQueries(const base::RunContext& ctx)
      : form_(formOf(ctx)), nn_(yearDigits(ctx)), source_(yearSource(ctx)) {}
  DocumentRows rows(const DocumentHeader& document, bool vatDocument) override {
    params_ = {base::Value::ofText(document.jrnlId.asText()), document.doc, document.jrnlType};
    DocumentRows d;
    if (!vatDocument) {
      d.lines = query(generalDocumentQuery(form_, nn_));
      return d;
    }
    d.lines = query(vatDocumentQuery(form_, nn_, VatQuery::MainLine));
    d.coded = query(vatDocumentQuery(form_, nn_, VatQuery::VatLines));
    d.balance = query(vatDocumentQuery(form_, nn_, VatQuery::BalanceLines));
    d.uncoded = !source_->query(vatDocumentQuery(form_, nn_, VatQuery::UncodedCount), params_)->eof();
    for (auto r = source_->query(vatDocumentQuery(form_, nn_, VatQuery::VatTypes), params_); !r->eof(); r->moveNext())
      d.vatTypes.push_back(r->field("VATType"));
    return d;
  }

 private:
  std::vector<SourceLine> query(const std::string& sql) {
    std::vector<SourceLine> out;
    auto r = source_->query(sql, params_);
    const LineColumns columns(*r);
    for (; !r->eof(); r->moveNext()) out.push_back(readLine(*r, columns));
    return out;
  }
  SourceForm form_;
  std::string nn_;
  base::Source* source_;
  std::vector<base::Value> params_;
};

// A row's journal type equals its document's as the source compares them:
// null equals nothing.
bool sameType(const base::Value& a, const base::Value& b) {
  return !a.isNull() && !b.isNull() && a.asInt() == b.asInt();
}

// The whole book year read once per detail query, each query's rows in the
// order of their documents' first lines (DocFirst), the order in which the
// run lists the documents: the queries are walked side by side, one
// document after the other, so that each costs one pass over the year
// instead of one query per document. The rows of one journal and number
// wait until every document of that journal and number (one per journal
// type) has taken its own.
class DocumentStreams : public DocumentSource {
 public:
  DocumentStreams(const base::RunContext& ctx, const std::vector<DocumentHeader>& documents)
      : form_sql_(formOf(ctx) == SourceForm::Sql) {
    for (const DocumentHeader& d : documents) {
      Group& g = groups_[d.docFirst];
      ++g.waiting;
      g.documents.emplace_back(d.jrnlType, vatKind(documentKind(d.jrnlType.asInt(), d.jrnlSubType.asInt()).kind));
    }
    const SourceForm form = formOf(ctx);
    const std::string nn = yearDigits(ctx);
    base::Source* source = yearSource(ctx);
    for (DocumentStream s : {DocumentStream::Lines, DocumentStream::VatLines, DocumentStream::BalanceLines,
                             DocumentStream::VatTypes, DocumentStream::UncodedCount}) {
      streams_.push_back(source->query(documentStreamQuery(form, nn, s)));
      columns_.emplace_back(*streams_.back());
    }
  }

  DocumentRows rows(const DocumentHeader& document, bool vatDocument) override {
    pull(document.docFirst);
    Group& g = groups_[document.docFirst];
    const bool last = --g.waiting <= 0;
    DocumentRows d = select(g, document, vatDocument, last);
    if (last) groups_.erase(document.docFirst);
    return d;
  }

 private:
  struct Group {
    int waiting = 0;  // documents still to take their rows
    std::vector<std::pair<base::Value, bool>> documents;  // journal type, VAT document
    std::vector<SourceLine> lines, coded, balance;
    std::vector<std::pair<base::Value, base::Value>> vatTypes;  // journal type, VAT type
    std::vector<base::Value> uncoded;                          // journal types
  };

  // The rows of one document of a journal and number, taken by the
  // conditions of the per-document queries that the stream queries leave
  // out; moved out of the group for its last document.
  DocumentRows select(Group& g, const DocumentHeader& document, bool vatDocument, bool last) const {
    DocumentRows d;
    auto keep = [&](std::vector<SourceLine>& from, std::vector<SourceLine>& to, auto condition) {
      // (Not `last ? std::move(l) : l`: a prvalue, that copies the line either way.)
      for (SourceLine& l : from)
        if (!condition(l))
          continue;
        else if (last)
          to.push_back(std::move(l));
        else
          to.push_back(l);
    };
    const auto ofType = [&](const SourceLine& l) { return sameType(l.jrnlType, document.jrnlType); };
    keep(g.lines, d.lines, [&](const SourceLine& l) { return ofType(l) && (!vatDocument || l.validation.asInt() == 2); });
    if (!vatDocument) return d;
    // The VAT-coded lines are taken whatever their journal type: in query 2
    // the type binds only to the lines without VAT code.
    keep(g.coded, d.coded, [&](const SourceLine& l) { return coded(l.vatCode) || ofType(l); });
    keep(g.balance, d.balance, ofType);
    for (const auto& [type, vatType] : g.vatTypes)
      if (sameType(type, document.jrnlType)) d.vatTypes.push_back(vatType);
    for (const base::Value& type : g.uncoded) d.uncoded = d.uncoded || sameType(type, document.jrnlType);
    return d;
  }

  // Of a VAT document only the main line is read from the stream of lines.
  static bool wanted(const Group& g, const base::RowSet& r) {
    const base::Value type = r.field("JrnlType");
    for (const auto& [documentType, vat] : g.documents)
      if (sameType(type, documentType) && (!vat || r.field("ValidationType").asInt() == 2)) return true;
    return false;
  }

  // A VAT code as query 2 tests it: not null, and in the SQL edition not
  // empty either.
  bool coded(const base::Value& vatCode) const { return form_sql_ ? vatCode.present() : !vatCode.isNull(); }

  // Reads every stream up to the rows of the documents of `docFirst`.
  void pull(int64_t docFirst) {
    for (size_t s = 0; s < streams_.size(); ++s) {
      base::RowSet& r = *streams_[s];
      for (; !r.eof(); r.moveNext()) {
        const int64_t first = r.field("DocFirst").asInt();
        if (first > docFirst) break;
        Group& g = groups_[first];
        switch (static_cast<DocumentStream>(s)) {
          case DocumentStream::Lines:
            if (wanted(g, r)) g.lines.push_back(readLine(r, columns_[s]));
            break;
          case DocumentStream::VatLines: g.coded.push_back(readLine(r, columns_[s])); break;
          case DocumentStream::BalanceLines: g.balance.push_back(readLine(r, columns_[s])); break;
          case DocumentStream::VatTypes: g.vatTypes.emplace_back(r.field("JrnlType"), r.field("VATType")); break;
          case DocumentStream::UncodedCount: g.uncoded.push_back(r.field("JrnlType")); break;
        }
      }
    }
  }

  bool form_sql_;
  std::vector<std::unique_ptr<base::RowSet>> streams_;
  std::vector<LineColumns> columns_;  // of each stream
  std::map<int64_t, Group> groups_;
};

// The lines of a VAT document, as its five detail queries give them.
struct VatDocument {
  std::optional<SourceLine> main;     // the line of validation type 2
  size_t mainRows = 0;                // rows of its query: one per matching entry
  std::vector<SourceLine> coded;      // VAT-coded lines and class 6/7 lines without code
  std::vector<SourceLine> balance;    // balance lines without VAT code, summed per account
  std::vector<base::Value> vatTypes;  // the VAT types present
  bool uncoded = false;               // the document has lines without VAT code
};

class DocumentWriter {
 public:
  DocumentWriter(base::RunContext& ctx, DocumentSource& source)
      : ctx_(ctx), form_(formOf(ctx)), source_(source), length_(settledAccountLength(ctx)) {}

  // A failed source query throws base::SourceError.
  void write(const DocumentHeader& document);

 private:
  // Rows of lines not read before for this document. A line joined to
  // several matching entries comes back once per entry, the lowest check id
  // first: it is kept once, with that one.
  std::vector<SourceLine> newLines(std::vector<SourceLine> lines);
  VatDocument readVatDocument(DocumentRows rows);

  std::string periodOf(const SourceLine& l) const { return periodText(l.period, ctx_.sourceClosingPeriod); }
  void settlePeriod(const SourceLine* main, std::vector<const SourceLine*> others);
  std::string journalCode(const std::string& jrnlId);
  // The common rules of one detail line; false when the document is the
  // opening step's.
  bool fill(const SourceLine& s, ActLine& line);
  void showDocument(const std::string& code, const std::string& doc);

  void writeGeneral(const std::vector<SourceLine>& lines);
  void writeFinancial(const std::vector<SourceLine>& lines);

  void writeVatDocument(const DocumentHeader& document, DocumentRows rows);
  void writeMainLine(const VatDocument& d, const DocumentHeader& document, ActLine& header);
  void writeCodedLines(const VatDocument& d, const ActLine& header);
  void writeBalanceLines(const VatDocument& d, Fixed4 documentBase);
  void appendVatLine(const ActLine& header, Fixed4 base);

  base::RunContext& ctx_;
  SourceForm form_;
  DocumentSource& source_;
  int16_t length_;
  DocumentKind kind_;
  std::unordered_set<std::string> records_;
  // The document's period; none when every line of it is an opening line.
  std::optional<std::string> period_;
  std::string label_;
};

std::vector<SourceLine> DocumentWriter::newLines(std::vector<SourceLine> lines) {
  std::vector<SourceLine> out;
  for (SourceLine& l : lines) {
    if (l.recordId.isNull() || records_.insert(l.recordId.asText()).second)
      out.push_back(std::move(l));
    else if (l.checkId.present())
      ctx_.report.changed(base::ChangeKind::Dropped, "ACT.MATCHNO", l.jrnlId.asText() + " " + l.doc.asText(),
                          matchNumber(l.checkId), "", "RecordID=" + l.recordId.asText());
  }
  return out;
}

// One period for every line of a document: that of its main line (validation
// type 2), or of its first line in record order where it has none. Marlin
// keeps a period per line, so a document may lie in two periods; Kestrel
// finds a document by journal, book year, period and number, and would see
// two halves that each do not balance and cannot be opened. Opening-period
// lines do not decide the period: a document of such lines only is the
// opening step's, and one that also has lines in a later period is written
// here whole, its opening-period lines included, in that later period (the
// opening step leaves them out for this reason).
void DocumentWriter::settlePeriod(const SourceLine* main, std::vector<const SourceLine*> others) {
  period_.reset();
  if (main && periodOf(*main) != "00") {
    period_ = periodOf(*main);
    return;
  }
  std::stable_sort(others.begin(), others.end(),
                   [](const SourceLine* a, const SourceLine* b) { return a->recordId.asInt() < b->recordId.asInt(); });
  for (const SourceLine* l : others) {
    if (periodOf(*l) == "00") continue;
    period_ = periodOf(*l);
    return;
  }
}

// The Kestrel journal of the document: its source journal, or the closing
// journal of that source journal for a closing-period document.
std::string DocumentWriter::journalCode(const std::string& jrnlId) {
  std::string code = jrnlId;
  if (*period_ == "99") {
    auto& closing = ctx_.journals.closing;
    const auto at = std::find(closing.begin(), closing.end(), jrnlId);
    const size_t position = at - closing.begin() + 1;
    if (at == closing.end()) closing.push_back(jrnlId);
    code = "KSCLO" + std::to_string(position);
    ctx_.report.changed(base::ChangeKind::Renamed, "ACT.DBKCODE", jrnlId, jrnlId, code, "PERIOD=99");
  }
  return ResolveDocumentJournal(ctx_, code, kind_.kind);
}

void DocumentWriter::showDocument(const std::string& code, const std::string& doc) {
  std::string label = code + " " + doc;
  if (label != label_) showRecord(ctx_, label_ = label);
}

bool DocumentWriter::fill(const SourceLine& s, ActLine& line) {
  if (!period_) return false;
  line.period = *period_;
  line.matchNo = matchNumber(s.checkId);
  if (s.account.present()) line.accountGl = NormalizeAccount(s.account.asText(), length_);
  line.dbkCode = journalCode(s.jrnlId.asText());
  line.dbkType = kind_.kind;
  const std::string assoc = Trim(s.assocType.asText()), comp = Trim(s.compType.asText());
  if (assoc == "10" || assoc == "20")
    line.accountRp = Trim(s.assocId.asText());
  else if (comp == "10" || comp == "20")
    line.accountRp = Trim(s.compId.asText());
  const int64_t at = s.assocType.asInt();
  line.docType = at == 10 ? "1" : at == 20 ? "2" : "3";
  line.date = line.dateDoc = sourceDateText(s.docDate);
  line.dueDate = sourceDateText(s.dueDate);
  line.comment = s.comment.asText();
  const std::string doc = s.doc.asText();
  showDocument(line.dbkCode, doc);
  line.docNumber = FitDocNumber(doc);
  if (line.docNumber != Trim(doc))
    ctx_.report.changed(base::ChangeKind::Shortened, "ACT.DOCNUMBER", s.jrnlId.asText() + " " + doc, Trim(doc),
                        line.docNumber);
  // (The summed balance lines have no flag: their sum is signed already.)
  line.amountEur = signedAmount(s.amount, s.flag);
  return true;
}

void DocumentWriter::writeGeneral(const std::vector<SourceLine>& lines) {
  std::string order = "000";
  for (const SourceLine& s : lines) {
    order = GetNextDocOrder(ctx_, order);
    ActLine line;
    if (!fill(s, line)) continue;
    line.docOrder = order;
    line.opCode = "MAIN";
    // Accounts 411/451 get no VAT code of their own: their VAT is told by
    // the VAT-coded lines of the purchase and sales journals.
    line.vatImput = TranslateVat(s.vatCode.asText(), line.accountRp);
    appendDocumentLine(line);
  }
}

void DocumentWriter::writeFinancial(const std::vector<SourceLine>& lines) {
  std::string order = "000";
  for (const SourceLine& s : lines) {
    ActLine line;
    if (!fill(s, line)) continue;
    if (ctx_.journals.financialAccounts.count(line.accountGl)) {
      // The journal's own bank account line closes the document.
      line.docOrder = "999";
      line.accountRp.clear();
    } else {
      order = GetNextDocOrder(ctx_, order);
      line.docOrder = order;
    }
    line.opCode = startsWith(line.accountGl, "55") || startsWith(line.accountGl, "57") ? "" : "MAIN";
    const std::string currency = Trim(s.currency.asText());
    if (!currency.empty() && currency != "EUR") {
      line.currAmount = signedAmount(s.currencyAmount, s.flag);
      line.currCode = currency;
      // A line of 0 euro (an exchange difference) has no rate of its own: it
      // keeps rate 0 and its currency amount, which the currency pass leaves.
      line.curRate = Rate::of(line.currAmount, line.amountEur).value_or(Rate());
    }
    appendDocumentLine(line);
  }
}

VatDocument DocumentWriter::readVatDocument(DocumentRows rows) {
  VatDocument d;
  std::vector<SourceLine> main = std::move(rows.lines);
  d.mainRows = main.size();
  // A main line that also carries a VAT code comes back among the VAT-coded
  // lines: it is written once, as the main line.
  main = newLines(std::move(main));
  if (!main.empty()) d.main = std::move(main.front());
  d.coded = newLines(std::move(rows.coded));
  d.balance = std::move(rows.balance);
  // Of the count of lines without VAT code only whether it has a row counts.
  d.uncoded = rows.uncoded;
  d.vatTypes = std::move(rows.vatTypes);
  return d;
}

void DocumentWriter::writeMainLine(const VatDocument& d, const DocumentHeader& document, ActLine& header) {
  ActLine line;
  if (!d.main || !fill(*d.main, line)) return;
  const SourceLine& main = *d.main;
  // Only a main line this step writes can lose its other matching entries;
  // that of an opening document is the opening step's business.
  // One box for all such documents at the end of the step, not one per
  // document as the original showed it (see the run's showRepeatedMessages).
  if (form_ != SourceForm::Sql && d.mainRows > 1) {
    ctx_.report.repeated("several-matching-entries",
                         ctx_.msg("Il y a plus matching sur %n opérations : seule la premier matching sera récupéré "
                                  "pour chacune. La liste est dans le rapport de migration.",
                                  "Er zijn meerdere afpuntingen op %n verrichtingen: enkel de eerste afpunting wordt "
                                  "telkens overgenomen. De lijst staat in het migratierapport."),
                         "Kestrel - Importation d'un dossier Marlin", line.dbkCode + " " + document.doc.asText());
  }
  const std::string& kind = kind_.kind;
  line.vatBase = Fixed4::parse(main.turnover.asText());
  if (creditNote(kind)) line.vatBase = -line.vatBase;
  const bool credit = main.flag.asText() == "1";
  Fixed4 vat = Fixed4::parse(main.vatAmount.asText());
  if (purchases(kind) ? !credit : credit) vat = -vat;
  const Fixed4 nonDeductible = Fixed4::parse(main.vatNonDeductible.asText());
  line.vatTax = nonDeductible.isZero() ? vat : -nonDeductible - vat;
  header = line;
  appendDocumentLine(line);
}

void DocumentWriter::writeCodedLines(const VatDocument& d, const ActLine& header) {
  for (const SourceLine& s : d.coded) {
    ActLine line;
    if (!fill(s, line)) continue;
    line.docType = "3";
    if (!s.vatCode.present()) {
      line.vatImput = vatLineCode(kind_.kind);
      // Its base in the document's sense: an invoice's bases are positive,
      // a credit note's negative (like the main line's turnover).
      appendVatLine(header, sales(kind_.kind) ? -line.amountEur : line.amountEur);
    } else {
      line.vatImput = vatCodeOfType(s.vatType, kind_.vatConst);
    }
    appendDocumentLine(line);
  }
}

// The balance lines take the VAT types present in turn, the n-th written
// line the n-th type (the last one again when there are fewer types).
void DocumentWriter::writeBalanceLines(const VatDocument& d, Fixed4 documentBase) {
  size_t type = 0;
  for (const SourceLine& s : d.balance) {
    ActLine line;
    if (!fill(s, line)) continue;
    line.docType = "4";
    line.docOrder = "VAT";
    line.opCode = "FIXED";
    // The query sums AmntBase x FlagDC, where a debit is -1: the line's euro
    // amount is the opposite of that sum, which keeps the document balanced.
    line.amountEur = -line.amountEur;
    line.vatBase = documentBase;
    const base::Value vatType = d.vatTypes.empty() ? base::Value::null() : d.vatTypes[type];
    if (line.accountGl >= "6") {
      line.docOrder.clear();
      line.opCode.clear();
      line.vatImput = kind_.vatConst;
    } else {
      line.vatCode = vatCodeOfType(vatType, kind_.vatConst);
    }
    appendDocumentLine(line);
    if (type + 1 < d.vatTypes.size()) ++type;
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
  appendDocumentLine(vat);
}

void DocumentWriter::writeVatDocument(const DocumentHeader& document, DocumentRows rows) {
  const VatDocument d = readVatDocument(std::move(rows));
  std::vector<const SourceLine*> others;
  for (const auto* lines : {&d.coded, &d.balance})
    for (const SourceLine& l : *lines) others.push_back(&l);
  settlePeriod(d.main ? &*d.main : nullptr, others);
  // A document of opening lines only is the opening step's: not even its VAT
  // line is written here.
  if (!period_) return;

  // The document's own values stand in for its main line when that line is
  // missing or belongs to the opening period.
  ActLine header;
  header.period = *period_;
  header.dbkCode = journalCode(document.jrnlId.asText());
  header.dbkType = kind_.kind;
  header.docNumber = FitDocNumber(document.doc.asText());
  header.date = header.dateDoc = sourceDateText(document.docDate);

  writeMainLine(d, document, header);
  const Fixed4 documentBase = header.vatBase;
  writeCodedLines(d, header);
  if (!d.uncoded) appendVatLine(header, documentBase);
  writeBalanceLines(d, documentBase);
}

void DocumentWriter::write(const DocumentHeader& document) {
  kind_ = documentKind(document.jrnlType.asInt(), document.jrnlSubType.asInt());
  records_.clear();
  const bool vatDocument = vatKind(kind_.kind);
  DocumentRows rows = source_.rows(document, vatDocument);
  if (vatDocument) {
    writeVatDocument(document, std::move(rows));
    return;
  }
  const std::vector<SourceLine> lines = newLines(std::move(rows.lines));
  std::vector<const SourceLine*> all;
  const SourceLine* main = nullptr;
  for (const SourceLine& l : lines) {
    all.push_back(&l);
    if (!main && l.validation.asInt() == 2 && periodOf(l) != "00") main = &l;
  }
  settlePeriod(main, all);
  if (kind_.kind == T::kMiscellaneous)
    writeGeneral(lines);
  else
    writeFinancial(lines);
}

}  // namespace

namespace {

// The documents of the list once each: a document spread over two periods or
// dates is listed once per period or date, but its lines are read by
// journal, number and type.
std::vector<DocumentHeader> listedDocuments(base::RowSet& documents) {
  std::vector<DocumentHeader> out;
  std::unordered_set<std::string> done;
  for (; !documents.eof(); documents.moveNext()) {
    DocumentHeader d{documents.field("JrnlID"), documents.field("Doc"), documents.field("JrnlType"),
                     documents.field("JrnlSubType"), documents.field("DocDate")};
    if (!done.insert(d.jrnlId.asText() + '\x1f' + d.doc.asText() + '\x1f' + d.jrnlType.asText()).second) continue;
    d.docFirst = optionalField(documents, "DocFirst").asInt();
    out.push_back(std::move(d));
  }
  return out;
}

bool importDocuments(base::RunContext& ctx, const std::vector<DocumentHeader>& documents, DocumentSource& source,
                     const std::string& prefix) {
  showStep(ctx, "Historic");
  if (openEntryTable(ctx, prefix) == 0) return false;
  DocumentWriter writer(ctx, source);
  for (const DocumentHeader& d : documents) writer.write(d);
  showRecord(ctx, "");
  store::sx_Close();
  AddDocumentJournals(ctx, prefix);
  AddClosingJournals(ctx, prefix);
  return true;
}

}  // namespace

bool ImportYearDocuments(base::RunContext& ctx, base::RowSet& documents, const std::string& prefix) {
  const std::vector<DocumentHeader> list = listedDocuments(documents);
  DocumentStreams streams(ctx, list);
  return importDocuments(ctx, list, streams, prefix);
}

bool importYearDocumentsPerDocument(base::RunContext& ctx, base::RowSet& documents, const std::string& prefix) {
  const std::vector<DocumentHeader> list = listedDocuments(documents);
  PerDocumentQueries queries(ctx);
  return importDocuments(ctx, list, queries, prefix);
}

}  // namespace convert
