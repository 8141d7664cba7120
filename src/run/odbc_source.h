// The SQL Server edition of a source: one database on a server, reached
// through ODBC with the driver named "SQL Server".
#pragma once
#include <memory>
#include <string>

#include "base/source.h"

namespace run {

// "driver={SQL Server};server=...;uid=...;pwd=...;database=..." with each value
// trimmed and, when it holds ";", "{" or "}", put in braces as ODBC requires.
std::string sqlServerConnectionText(const std::string& server, const std::string& login,
                                    const std::string& password, const std::string& database);

// Opens a connection with client-side results (every row set is read whole on
// execution, so several can be open at once). Throws SourceError with the
// driver's own message (the wizard puts "Connection error : " before it), the
// password blanked out.
std::unique_ptr<base::Source> openOdbcSource(const std::string& connectionText, const std::string& password = {});
std::unique_ptr<base::Source> openSqlServerSource(const std::string& server, const std::string& login,
                                            const std::string& password, const std::string& database);

}  // namespace run
