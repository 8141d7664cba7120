#include "convert/entries/history_queries.h"

#include "base/text.h"

namespace convert {
using namespace base;

SourceForm formOf(const base::RunContext& ctx) {
  if (ctx.isVersionSql) return SourceForm::Sql;
  return ctx.prefixedLayout ? SourceForm::AccessPrefixed : SourceForm::AccessPlain;
}

base::Source* yearSource(const base::RunContext& ctx) {
  return ctx.yearSource ? ctx.yearSource : ctx.source;
}

std::string yearDigits(const base::RunContext& ctx) { return twoDigits(ctx.bookYearIndex); }

namespace {

// "FROM <historic> " for the FROM clauses that alias the table as historic.
std::string historicFrom(SourceForm form, const std::string& nn) {
  return form == SourceForm::AccessPlain ? "FROM historic " : "FROM A_" + nn + "_historic AS historic ";
}

// The Jet derived table of the matching entries, joined on the line: in
// square brackets closed by "." (detail queries) or in parentheses (the
// opening lines). There First() takes the check id of the first entry that
// reaches the line's group, which without an order is whichever the source
// stored first, where the SQL edition's MIN() takes the lowest: the entries
// come lowest first, so that both editions give every line the same
// matching number whatever order the entries were stored in.
std::string accessCheckingJoin(SourceForm form, const std::string& nn, bool bracketed = true) {
  std::string checking = form == SourceForm::AccessPlain ? "Checking" : "A_" + nn + "_Checking AS Checking";
  return std::string("LEFT JOIN ") + (bracketed ? "[" : "(") +
         "SELECT Checking.HistoRecordID, Checking.CheckID, Checking.AmntBase From " + checking +
         " WHERE (((Checking.AmntBase)<>0))" + (bracketed ? "]. " : " ORDER BY Checking.CheckID)  ") +
         "AS test ON historic.RecordID = test.HistoRecordID ";
}

std::string sqlCheckingJoin(const std::string& nn) {
  return " LEFT JOIN A_" + nn +
         "_Checking As Checking ON (historic.RecordID = Checking.HistoRecordID AND Checking.AmntBase <> 0)";
}

// Without an order a source returns rows as it likes (the SQL edition in
// another order than the Access one): lines are read in the order the source
// stored them, a line's matching entries lowest first, and documents in the
// order of their first line.
const char* kInRecordOrder = " ORDER BY historic.RecordID";
std::string linesInOrder(const std::string& checkId) { return std::string(kInRecordOrder) + ", " + checkId; }
const char* kGroupsInRecordOrder = " ORDER BY Min(historic.RecordID)";

// The balance lines of a VAT document: summed per account and counterpart.
std::string balanceColumns(bool sql) {
  return std::string("SELECT historic.Period, historic.JrnlID, historic.JrnlSubType, historic.JrnlType, historic.Doc, "
                     "historic.DocDate, historic.ValueDate, historic.DueDate, historic.AcctID, historic.CompAcctID, "
                     "historic.AssocAcctID, historic.CompAcctType, historic.AssocAcctType, ") +
         (sql ? "Sum(historic.AmntBase * historic.flagdc)" : "Sum([historic].[AmntBase]*[historic].[flagdc])") +
         " AS AmntBase, Min(historic.RecordID) AS RecordID";
}
const char* kBalanceGroups =
    "GROUP BY historic.Period, historic.JrnlID, historic.JrnlSubType, historic.JrnlType, historic.Doc, "
    "historic.DocDate, historic.ValueDate, historic.DueDate, historic.AcctID, historic.CompAcctID, "
    "historic.AssocAcctID, historic.CompAcctType, historic.AssocAcctType, historic.VATCode, "
    "historic.ValidationType, historic.JrnlID, historic.Doc";

const char* kLineColumns =
    "historic.RecordTag, historic.RecordID, historic.Period, historic.JrnlType, historic.JrnlID, "
    "historic.JrnlSubType, historic.Doc, historic.ValidationType, historic.DocDate, historic.ValueDate, "
    "historic.DueDate, historic.AcctType, historic.AcctID, historic.CompAcctType, historic.CompAcctID, "
    "historic.AssocAcctType, historic.AssocAcctID, historic.Comment, historic.CrcyID, historic.CrcyAcctID, "
    "historic.CrcyAssocAcctID, historic.CrcyChecking, historic.FlagDC, historic.AmntBase, historic.AmntBase2, "
    "historic.AmntCrcy, ";
const char* kLineColumnsTail =
    "historic.AmntAssocAcctID, historic.TurnOverBase, historic.VATAmntBase, historic.VATAmntBase2, "
    "historic.VATAmntCrcy, historic.VATNDAmntBase, historic.VATNDAmntBase2, historic.VATNDAmntCrcy, "
    "historic.VCS, historic.Piece, historic.VATCode, historic.VATType";

}  // namespace

std::string openingEntriesQuery(SourceForm form, const std::string& nn, bool openingOnly) {
  const std::string where = openingOnly ? " WHERE historic.AcctType > 0 AND historic.Period = 0 " : " WHERE historic.AcctType > 0 ";
  const std::string select = std::string("SELECT ") + kLineColumns + "historic.AmntBase AS AmntAcctID, " +
                             kLineColumnsTail + ", ";
  const std::string group = std::string(kLineColumns) + "historic.AmntBase, " + kLineColumnsTail;
  if (form == SourceForm::Sql)
    return select + "MIN(checking.CheckID) AS CheckID" + " FROM A_" + nn + "_historic AS historic" + " LEFT JOIN A_" +
           nn + "_Checking AS Checking ON historic.RecordID = Checking.HistoRecordID and checking.AmntBase <> 0 " +
           where + " GROUP BY " + group + kInRecordOrder;
  return select + "First(test.CheckID) " + "AS CheckID " + historicFrom(form, nn) +
         accessCheckingJoin(form, nn, false) + where + "GROUP BY " + group + kInRecordOrder;
}

std::string laterDocumentsQuery(SourceForm form, const std::string& nn) {
  return "SELECT DISTINCT historic.JrnlID, historic.Doc, historic.JrnlType " + historicFrom(form, nn) +
         "WHERE historic.AcctType > 0 AND (historic.Period <> 0 OR historic.Period IS NULL)";
}

namespace {

// The columns of a line the document walk reads (the per-document queries
// give it the whole line).
const char* kStreamLineColumns =
    "historic.RecordID, historic.Period, historic.ValidationType, historic.JrnlID, historic.JrnlType, historic.Doc, "
    "historic.AcctID, historic.AssocAcctType, historic.AssocAcctID, historic.CompAcctType, historic.CompAcctID, "
    "historic.DocDate, historic.DueDate, historic.Comment, historic.FlagDC, historic.AmntBase, historic.CrcyAcctID, "
    "historic.AmntCrcy, historic.VATCode, historic.VATType, historic.TurnOverBase, historic.VATAmntBase, "
    "historic.VATNDAmntBase";

std::string historicTable(SourceForm form, const std::string& nn) {
  return form == SourceForm::AccessPlain ? "historic" : "A_" + nn + "_historic";
}

// "FROM (<historic> AS historic INNER JOIN <first line of each journal and
// document number> AS docs ON ...)": every line with the DocFirst of its
// document, the key by which the whole book year is read document after
// document. Lines without journal or number belong to no document, as no
// per-document query finds them either.
std::string fromHistoricWithDocuments(SourceForm form, const std::string& nn) {
  const std::string table = historicTable(form, nn);
  return "FROM (" + table + " AS historic INNER JOIN (SELECT d.JrnlID, d.Doc, Min(d.RecordID) AS DocFirst FROM " +
         table + " AS d GROUP BY d.JrnlID, d.Doc) AS docs ON (historic.JrnlID = docs.JrnlID AND historic.Doc = "
         "docs.Doc)) ";
}

}  // namespace

std::string documentListQuery(SourceForm form, const std::string& nn) {
  const std::string fields =
      "historic.JrnlID, historic.JrnlType, historic.JrnlSubType, historic.Doc, historic.Period, historic.DocDate";
  return "SELECT " + fields + ", docs.DocFirst " + fromHistoricWithDocuments(form, nn) + "GROUP BY " + fields +
         ", docs.DocFirst" + kGroupsInRecordOrder;
}

std::string generalDocumentQuery(SourceForm form, const std::string& nn) {
  const std::string where =
      "WHERE (((historic.JrnlID)= ?) AND ((historic.Doc)= ?) AND ((historic.JrnlType) = ?) and (historic.accttype > 0))";
  if (form == SourceForm::Sql)
    return "SELECT historic.*, Checking.CheckID AS CheckID" + std::string(" FROM A_") + nn + "_historic AS historic " +
           sqlCheckingJoin(nn) + " " + where + linesInOrder("Checking.CheckID");
  return "SELECT historic.*, test.CheckID AS CheckID " + historicFrom(form, nn) + accessCheckingJoin(form, nn) + where +
         linesInOrder("test.CheckID");
}

std::string vatDocumentQuery(SourceForm form, const std::string& nn, VatQuery which) {
  const bool sql = form == SourceForm::Sql;
  const std::string from = historicFrom(form, nn);
  const std::string join = sql ? sqlCheckingJoin(nn) + " " : accessCheckingJoin(form, nn);
  const std::string checkId = sql ? "Checking.CheckID" : "test.CheckID";
  // Lines without VAT code: the SQL edition stores them as null or as ''.
  const std::string noVat = sql ? "((historic.VATCode) Is Null or historic.vatcode = '')" : "((historic.VATCode) Is Null)";
  switch (which) {
    case VatQuery::MainLine:
      return "SELECT historic.*, " + checkId + " AS CheckID, historic.ValidationType " + from + join +
             "Where (((historic.JrnlID) = ?) And ((historic.Doc) = ?) And ((historic.ValidationType) = 2) And "
             "((historic.JrnlType) = ?)and (historic.accttype > 0))" + linesInOrder(checkId);
    // The lines without VAT code are split between this query (class 6 and
    // 7) and the balance lines (below "6"). The original asks for accounts
    // above "6" here, so a line on the account "6" itself fell into neither
    // and was lost, the document unbalanced: it is taken here, with the
    // other expense lines.
    case VatQuery::VatLines:
      return "SELECT historic.*, " + checkId + " AS CheckID, historic.VATCode AS xVATCode " + from + join +
             "Where (((historic.JrnlID) = ?) And ((historic.Doc) = ? )) And (((historic.VATCode) Is Not Null" +
             (sql ? std::string(" and (historic.VATCode > '')") : std::string()) + ") OR ((historic.AcctID)>='6') AND " +
             noVat + " and ((historic.JrnlType) = ?)and (historic.accttype > 0))" + linesInOrder(checkId);
    // The document's conditions of queries 3 to 5 bear on grouped columns
    // only, so they select the same groups in WHERE as in HAVING; in WHERE
    // the source finds the document through its index instead of grouping
    // the whole book year once per document.
    case VatQuery::BalanceLines:
      return balanceColumns(sql) + " " + from +
             "where (historic.accttype > 0) AND (((historic.JrnlID)=?) AND ((historic.Doc)=?) AND "
             "((historic.AcctID)<'6') AND " +
             noVat + " AND ((historic.ValidationType)=0) AND ((historic.JrnlType) = ?)) " +
             kBalanceGroups + kGroupsInRecordOrder;
    case VatQuery::VatTypes: {
      const std::string vatCode = form == SourceForm::AccessPlain ? "VATCode" : "A_" + nn + "_VATCode AS VATCode";
      const std::string hist = form == SourceForm::AccessPlain ? "Historic" : "A_" + nn + "_Historic AS historic";
      return "SELECT Historic.JrnlID, Historic.Doc, historic.JrnlType, VATCode.VATType FROM " + hist +
             " LEFT JOIN " + vatCode + " ON Historic.VATCode = VATCode.VATCode where (historic.accttype > 0) "
             "AND (((historic.JrnlID)=?)) AND ((historic.Doc)=?) AND (((VATCode.VATType) Is Not Null) AND "
             "((historic.JrnlType) = ?)) GROUP BY Historic.JrnlID, Historic.Doc, VATCode.VATType, historic.JrnlType "
             "ORDER BY VATCode.VATType";
    }
    case VatQuery::UncodedCount:
      return "SELECT historic.JrnlID, historic.Doc, historic.JrnlType, Count(historic.CompAcctID) AS Nombre " + from +
             "where (historic.accttype > 0) AND (((historic.JrnlID)=?) AND ((historic.Doc)=?) AND " + noVat +
             " AND ((historic.ValidationType)=0) AND ((historic.JrnlType) = ?)) GROUP BY historic.JrnlID, "
             "historic.Doc, historic.VATCode, historic.ValidationType, historic.JrnlType";
  }
  return std::string();
}

std::string documentStreamQuery(SourceForm form, const std::string& nn, DocumentStream which) {
  const bool sql = form == SourceForm::Sql;
  const std::string from = fromHistoricWithDocuments(form, nn);
  // The matching entries joined to the lines, as in the per-document queries.
  const std::string checking =
      sql ? "LEFT JOIN A_" + nn + "_Checking As Checking ON (historic.RecordID = Checking.HistoRecordID AND "
                                  "Checking.AmntBase <> 0) "
          : accessCheckingJoin(form, nn);
  const std::string checkId = sql ? "Checking.CheckID" : "test.CheckID";
  // Every row of the year is sorted whole: only the columns a line is read
  // by, not the whole line, keep the sort small.
  const std::string lines = std::string("SELECT ") + kStreamLineColumns + ", " + checkId + " AS CheckID, docs.DocFirst";
  const std::string inDocumentOrder = " ORDER BY docs.DocFirst, historic.RecordID, " + checkId;
  const std::string noVat = sql ? "((historic.VATCode) Is Null or historic.vatcode = '')" : "((historic.VATCode) Is Null)";
  const std::string grouped = " ORDER BY docs.DocFirst, Min(historic.RecordID)";
  switch (which) {
    case DocumentStream::Lines:
      return lines + " FROM (" + from.substr(5) + checking + ") WHERE (historic.accttype > 0)" + inDocumentOrder;
    case DocumentStream::VatLines:
      return lines + ", historic.VATCode AS xVATCode FROM (" + from.substr(5) + checking +
             ") WHERE (((historic.VATCode) Is Not Null" + (sql ? std::string(" and (historic.VATCode > '')") : "") +
             ") OR ((historic.AcctID)>='6') AND " + noVat + " and (historic.accttype > 0))" + inDocumentOrder;
    // The groups of the per-document query, journal and number first: the
    // join hands the lines over document by document, so the grouping
    // finds each line's group beside the previous one's.
    case DocumentStream::BalanceLines:
      return balanceColumns(sql) + ", docs.DocFirst " + from +
             "where (historic.accttype > 0) AND (((historic.AcctID)<'6') AND " + noVat +
             " AND ((historic.ValidationType)=0)) GROUP BY historic.JrnlID, historic.Doc, historic.Period, "
             "historic.JrnlSubType, historic.JrnlType, historic.DocDate, historic.ValueDate, historic.DueDate, "
             "historic.AcctID, historic.CompAcctID, historic.AssocAcctID, historic.CompAcctType, historic.AssocAcctType, "
             "historic.VATCode, historic.ValidationType, docs.DocFirst" + grouped;
    case DocumentStream::VatTypes: {
      const std::string vatCode = form == SourceForm::AccessPlain ? "VATCode" : "A_" + nn + "_VATCode AS VATCode";
      return "SELECT historic.JrnlID, historic.Doc, historic.JrnlType, VATCode.VATType, docs.DocFirst FROM (" +
             from.substr(5) + "LEFT JOIN " + vatCode + " ON historic.VATCode = VATCode.VATCode) where "
             "(historic.accttype > 0) AND ((VATCode.VATType) Is Not Null) GROUP BY historic.JrnlID, historic.Doc, "
             "VATCode.VATType, historic.JrnlType, docs.DocFirst ORDER BY docs.DocFirst, VATCode.VATType";
    }
    case DocumentStream::UncodedCount:
      return "SELECT historic.JrnlID, historic.Doc, historic.JrnlType, Count(historic.CompAcctID) AS Nombre, "
             "docs.DocFirst " + from + "where (historic.accttype > 0) AND (" + noVat +
             " AND ((historic.ValidationType)=0)) GROUP BY historic.JrnlID, historic.Doc, historic.VATCode, "
             "historic.ValidationType, historic.JrnlType, docs.DocFirst ORDER BY docs.DocFirst";
  }
  return std::string();
}

}  // namespace convert
