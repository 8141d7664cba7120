#include "convert/entries/act_line.h"

#include "store/engine/sx.h"

namespace convert {

namespace {

using store::SX_DATE_TEXT;
using store::SX_DOUBLE;
using store::SX_LOGICAL;
using store::SX_TEXT;

void text(const char* field, const std::string& value) {
  if (!value.empty()) store::sx_Replace(field, SX_TEXT, value);
}

void date(const char* field, const std::string& value) {
  if (!value.empty()) store::sx_Replace(field, SX_DATE_TEXT, value);
}

void number(const char* field, Fixed4 value) { store::sx_Replace(field, SX_DOUBLE, value.toDouble()); }

void logical(const char* field, bool value) { store::sx_Replace(field, SX_LOGICAL, int32_t(value ? -1 : 0)); }

// Fields every entry line has; a blank record already holds the empty texts.
void appendCommon(const ActLine& l) {
  store::sx_AppendBlank();
  text("DOCTYPE", l.docType);
  text("DBKCODE", l.dbkCode);
  text("DBKTYPE", l.dbkType);
  text("DOCNUMBER", l.docNumber);
  text("DOCORDER", l.docOrder);
  text("OPCODE", l.opCode);
  text("ACCOUNTGL", l.accountGl);
  text("ACCOUNTRP", l.accountRp);
  text("BOOKYEAR", l.bookYear);
  text("PERIOD", l.period);
  date("DATE", l.date);
  date("DATEDOC", l.dateDoc);
  date("DUEDATE", l.dueDate);
  text("COMMENT", l.comment);
  text("MATCHNO", l.matchNo);
  number("AMOUNTEUR", l.amountEur);
}

}  // namespace

void appendOpeningLine(const ActLine& l) {
  appendCommon(l);
  logical("ISIMPORTED", true);
}

void appendDocumentLine(const ActLine& l) {
  appendCommon(l);
  number("AMOUNT", Fixed4());
  number("VATBASE", l.vatBase);
  text("VATCODE", l.vatCode);
  number("CURRAMOUNT", l.currAmount);
  text("CURRCODE", l.currCode);
  number("CUREURBASE", l.curEurBase);
  number("VATTAX", l.vatTax);
  text("VATIMPUT", l.vatImput);
  store::sx_Replace("CURRATE", SX_DOUBLE, l.curRate.toDouble());
  logical("ISMATCHED", false);
  logical("ISLOCKED", false);
  logical("ISIMPORTED", true);
  logical("ISPOSITIVE", true);
  logical("ISTEMP", false);
}

}  // namespace convert
