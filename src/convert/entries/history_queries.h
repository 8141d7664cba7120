// The source query texts of the history steps, one set per source form. The
// journal code, document number and journal type of a document are `?`
// parameters, bound in that order, so no code from the data can change a
// query's meaning.
#pragma once
#include <string>

#include "base/run_context.h"

namespace convert {

enum class SourceForm { Sql, AccessPrefixed, AccessPlain };

SourceForm formOf(const base::RunContext& ctx);
// The database that holds the book-year tables of the pass.
base::Source* yearSource(const base::RunContext& ctx);
// The book-year index as two digits.
std::string yearDigits(const base::RunContext& ctx);

// One row per accounting line of the book year with its first matching
// entry; `openingOnly`: the lines of period 0 alone.
std::string openingEntriesQuery(SourceForm form, const std::string& nn, bool openingOnly = false);
// The journal, number and type of every document with a line outside period
// 0 (a line without period included), once each.
std::string laterDocumentsQuery(SourceForm form, const std::string& nn);
// One row per (journal, type, subtype, document, period, date), in the
// order of the documents' first lines, with DocFirst: the first line of the
// journal and document number it belongs to, which orders the streams below.
std::string documentListQuery(SourceForm form, const std::string& nn);

// Lines of a general or financial document.
std::string generalDocumentQuery(SourceForm form, const std::string& nn);

// Lines of a VAT document: 1 main line, 2 VAT-coded and class 6/7 lines,
// 3 balance lines without VAT code summed per account, 4 VAT types present,
// 5 count of the lines without VAT code.
enum class VatQuery { MainLine = 1, VatLines = 2, BalanceLines = 3, VatTypes = 4, UncodedCount = 5 };
std::string vatDocumentQuery(SourceForm form, const std::string& nn, VatQuery which);

// The same queries once over the whole book year, each row with the DocFirst
// of its document and the rows ordered by it: the lines of the general and
// financial documents, of which those of validation type 2 are the VAT
// documents' main lines, then queries 2 to 5 of the VAT documents. A row's
// journal type is checked against its document's by the reader, where the
// per-document queries ask for it.
enum class DocumentStream { Lines, VatLines, BalanceLines, VatTypes, UncodedCount };
std::string documentStreamQuery(SourceForm form, const std::string& nn, DocumentStream which);

}  // namespace convert
