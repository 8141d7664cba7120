// One Kestrel entry line as the entry steps build it, and its writing into
// the open ACT table.
#pragma once
#include <string>

#include "convert/entries/fixed_point.h"

namespace convert {

struct ActLine {
  std::string docType, dbkCode, dbkType, docNumber, docOrder, opCode;
  std::string accountGl, accountRp, bookYear = "1", period;
  std::string date, dateDoc, dueDate;  // "dd/mm/yyyy" or empty
  std::string comment, matchNo, vatCode, vatImput, currCode;
  Fixed4 amountEur, vatBase, vatTax, currAmount, curEurBase;
  Rate curRate;
};

// Appends the line to the current table (ACT). Opening lines carry only the
// document, accounts, dates, comment, matching number and euro amount;
// document lines also their zero legacy amount, VAT and currency fields and
// their status flags.
void appendOpeningLine(const ActLine& line);
void appendDocumentLine(const ActLine& line);

}  // namespace convert
