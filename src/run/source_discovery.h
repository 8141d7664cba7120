// Finding a Marlin source: which layout a company database has, how many book
// years it holds, where the per-year databases are, and the company lists the
// wizard offers (Access: Common.mdb of the folder; SQL Server: PWCOMMON).
#pragma once
#include <string>
#include <vector>

#include "base/source.h"

namespace run {

// True when a table name of the company database begins with "D_" (the
// prefixed layout), false otherwise, also for a database without tables.
bool CheckVersionSe(base::Source& companyDatabase);

// Highest book-year index, 0 when none is found.
// SQL Server: from "SELECT name, xtype FROM sys.sysobjects WHERE xtype = 'U'
// ORDER BY name", the last name A_nn_... whose nn is numeric.
int lastBookYearIndexSql(base::Source& connection);
// Access, prefixed layout: the largest numeric value of the two characters
// after "A_" over the table names.
int lastBookYearIndexPrefixed(const std::vector<std::string>& tableNames);
// Access, older layout: the largest i in 0..99 for which {sourceKey}A{ii}.mdb
// exists, `sourceKey` being "{folder}\{company code}".
int lastBookYearIndexOlder(const std::string& sourceKey);

// {sourceKey}A{ii}.mdb (ii two digits below 10, the plain number above) when
// that file exists in any letter case, else "".
std::string perYearDatabasePath(const std::string& sourceKey, int index);

// Company list item of a SOCIETYLIST row: "007 - Acme", "012 - ...",
// "123 - ...", and id and name run together outside 1..999 ("1234Acme").
std::string companyItemText(const base::Value& id, const base::Value& name);
// The first three characters of the trimmed item text.
std::string companyCodeOfItem(const std::string& item);
// Items of "SELECT * FROM SOCIETYLIST ORDER BY SOCIETYID", rows with an empty
// SOCIETYID or NAME left out.
std::vector<std::string> companyListItems(base::Source& common);

// True when a file exists at the path text (backslashes or slashes), its
// components matched in any letter case.
bool sourceFileExists(const std::string& pathText);

}  // namespace run
