// The SQL Server edition of a source: one database on a server, reached
// through ODBC with the driver named "SQL Server".
#pragma once
#include <memory>
#include <string>

#include "base/source.h"

namespace run {

// "driver={SQL Server};server=...;uid=...;pwd=...;database=..." with the
// server, login and database trimmed, the password as given, and each value
// put in braces when it holds ";", "{" or "}" or begins or ends with a blank,
// as ODBC requires to keep it whole.
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
