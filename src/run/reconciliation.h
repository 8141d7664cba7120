// The reconciliation that proves the books came over whole. The source side is
// read with its own small queries, never through the conversion steps; the
// target side is read from the finished dossier through the table engine. They
// are compared per book year and general account, per customer and supplier,
// per journal and period (documents and lines), and document by document for
// balance, in euros and, in foreign-currency journals, in the currency.
//
// What the conversion changes on purpose is applied to the source side before
// the comparison, each rule stated here once:
// - account numbers are brought to the dossier's general account length
//   (LENGEN of its parameters): trimmed, at most 8 characters, padded with 0;
// - the period-00 lines of documents that lie in that period alone form the
//   book year's opening document OPDOUV 1; the newer book year's are not
//   carried over by the merge (the older year's balances carry over) and are
//   counted as an adjustment; a document with later lines is written whole in
//   its own period, its period-00 lines with it;
// - the closing period's lines are booked in period "99";
// - every line of a document takes the period of its main line (validation
//   type 2), or of its first line in record order when it has none;
// - journals keep their source code unless the report lists them renamed
//   (another type, the closing period): a rename the report fails to list
//   shows up as a difference;
// - in sales and purchase documents, balance-sheet lines without VAT code of
//   the same account, counterpart and dates are summed into one line;
// - VAT lines added by the conversion carry no account and are not counted.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/bilingual.h"
#include "base/run_report.h"
#include "base/source.h"

namespace run {

// Where one book year's source tables are.
struct SourceTables {
  base::Source* company = nullptr;  // dossier-wide tables
  base::Source* year = nullptr;     // the book year's tables (the per-year database in the older layout)
  bool sql = false, prefixed = false;
  std::string nn;  // two-digit book-year index
};

// One source document's lines, as far as the reconciliation needs them.
struct SourceDocument {
  bool seen = false;
  std::string journal, jrnlType, jrnlSubType, number;
  // Of its lines after the opening period: the first one's period (record
  // order) and that of the first of validation type 2 (its main line).
  std::string firstPeriod, mainPeriod;
  bool later = false, hasMain = false;
  // Its opening-period lines: with an account, their balance, their totals.
  long openingLines = 0;
  int64_t openingBalance = 0;
  std::map<std::string, int64_t> openingAccounts, openingParties;
  long lines = 0;  // lines with an account, balance lines summed as the conversion sums them (once read)
  int64_t balance = 0;
  std::string currency;       // foreign currency of its lines ("" none)
  bool allInCurrency = true;  // every line carries an amount in that currency
  int64_t currencyBalance = 0;
  std::set<std::string> summedBalanceLines;
};

// The source books of one book year, summed.
struct SourceBooks {
  int sourceIndex = 0;
  int bookYear = 1;          // in the dossier
  bool keepsOpening = true;  // false for the newer year of a two-year dossier
  std::string closingPeriod;
  std::map<std::string, int64_t> accounts;  // source account number (trimmed) -> total
  std::map<std::string, int64_t> parties;   // "1/number" or "2/number" -> total
  // Document key (journal, type, number) -> its lines; documents with lines
  // after the opening period only.
  std::map<std::string, SourceDocument> documents;
  SourceDocument opening;  // the opening document: lines and balance
  std::map<std::string, int64_t> openingAccounts, openingParties;
};

// Master data of the source: numbers of customers and suppliers, general accounts with a type.
struct SourceMasterData {
  bool read = false;
  long customers = 0, suppliers = 0;
  std::vector<std::pair<std::string, std::string>> accounts;  // (type, number as stored)
};

// The finished dossier, as the reconciliation reads it.
struct TargetBooks {
  bool read = false;
  int accountLength = 0;                    // LENGEN
  std::map<std::string, int64_t> accounts;  // "bookyear/account" -> total
  std::map<std::string, int64_t> parties;   // "bookyear/doctype/number"
  struct Document {
    long lines = 0;
    int64_t balance = 0, currencyBalance = 0;
  };
  // "bookyear\x1fjournal\x1fperiod\x1fnumber"
  std::map<std::string, Document> documents;
  std::set<std::string> foreignJournals;  // "bookyear/journal" of journals in a currency other than EUR
  std::map<std::string, std::string> journalCurrency;
  long customers = 0, suppliers = 0;
  std::set<std::string> accountNumbers;  // "type/number" of ACF
};

// Reads one book year of the source. Throws base::SourceError.
SourceBooks readSourceBooks(const SourceTables& tables, int sourceIndex, int bookYear, bool keepsOpening);
SourceMasterData readSourceMasterData(const SourceTables& tables);
// Reads the working dossier `prefix` ("...\VIDE00\VIDE00"). False, with the
// reason, when a table cannot be read.
bool readTargetBooks(const std::string& prefix, TargetBooks& books, base::Bilingual& error);

// Compares both sides into report.reconciliation. `masterData` covers the
// customers and suppliers when the run converted them, the general accounts
// when it converted those.
void reconcile(const std::vector<SourceBooks>& years, const SourceMasterData& master, const TargetBooks& target,
               base::RunReport& report);

// A decimal text or value in thousandths, halves away from zero.
int64_t thousandthsOf(const std::string& text);
int64_t thousandthsOf(const base::Value& value);

}  // namespace run
