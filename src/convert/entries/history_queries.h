// The source query texts of the history steps, one set per source form. The
// journal code, document number and journal type of a document are `?`
// parameters, bound in that order, so no code from the data can change a
// query's meaning.
#pragma once
#include <string>

#include "base/run_context.h"

namespace convert {

enum class SourceForm { Sql, AccessPrefixed, AccessPlain };

SourceForm FormOf(const base::RunContext& ctx);
// The database that holds the book-year tables of the pass.
base::Source* YearSource(const base::RunContext& ctx);
// The book-year index as two digits.
std::string YearDigits(const base::RunContext& ctx);

// One row per accounting line of the book year with its first matching entry.
std::string OpeningEntriesQuery(SourceForm form, const std::string& nn);
// One row per (journal, type, subtype, document, period, date).
std::string DocumentListQuery(SourceForm form, const std::string& nn);

// Lines of a general or financial document.
std::string GeneralDocumentQuery(SourceForm form, const std::string& nn);

// Lines of a VAT document: 1 main line, 2 VAT-coded and class 6/7 lines,
// 3 balance lines without VAT code summed per account, 4 VAT types present,
// 5 count of the lines without VAT code.
enum class VatQuery { MainLine = 1, VatLines = 2, BalanceLines = 3, VatTypes = 4, UncodedCount = 5 };
std::string VatDocumentQuery(SourceForm form, const std::string& nn, VatQuery which);

}  // namespace convert
