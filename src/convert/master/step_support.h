// What every master-data step needs around its conversion: file tests, the
// bilingual table messages, the status labels, reading optional source
// columns and rewriting PARAM rows.
#pragma once
#include <map>
#include <string>
#include <string_view>

#include "base/run_context.h"
#include "base/source.h"

namespace convert {

// True when a file of that path exists. The file name part is matched in any
// letter case, as dossiers and sources may come from case-insensitive disks.
bool FileExists(const std::string& path);
// The path of this platform under which the file exists (backslashes accepted,
// names matched in any letter case); for a missing file, the path as given.
std::string ExistingPath(const std::string& path);
// Removes the file if it exists (any letter case of its name).
void RemoveFile(const std::string& path);

// "Le fichier <path> n'existe pas" / "Het bestand <path> bestaat niet", the
// Dutch text with or without a final point depending on the step.
std::string FileMissingMessage(const base::RunContext& ctx, const std::string& path, bool dutchPoint);
// "Impossible d 'ouvrir le fichier <TABLE> du dossier Kestrel" (with or without
// a final point) / "Onmogelijk om het bestand <TABLE> van Kestrel te openen."
std::string CannotOpenMessage(const base::RunContext& ctx, const std::string& table, bool frenchPoint);

// Closes every open table (the engine's sx_CloseAll).
void CloseAllTables();
// The run's failure report (message box and clean-up) when the run set one.
void ReportError(base::RunContext& ctx, const std::string& message);
// Label9 (step name) and Label6 (current record), each followed by a repaint.
void ShowStep(base::RunContext& ctx, const std::string& text);
void ShowRecord(base::RunContext& ctx, const std::string& text);

// A source value as text; a column the source does not have reads as absent.
base::Value OptionalField(const base::RowSet& rows, std::string_view name);

// A value bound for a field of `width` characters, clipped as base::Clip
// clips; a value that loses characters is recorded in the run's report under
// `field` ("CSF.NAME1") and the source row's `key`, as `kind`.
std::string clipRecorded(base::RunContext& ctx, const char* field, const std::string& key, std::string_view value,
                         size_t width, base::ChangeKind kind = base::ChangeKind::Clipped);
// A value written as read into a field of `width` characters, which the table
// engine cuts when it is longer: that cut is recorded like clipRecorded's.
const std::string& fitRecorded(base::RunContext& ctx, const char* field, const std::string& key,
                               const std::string& value, size_t width);
// An account number brought to the general account length, recorded as
// lengthened or shortened when it changes more than its blanks.
void recordAccountLength(base::RunContext& ctx, const char* field, const std::string& key,
                         const std::string& source, const std::string& normalized);

// The run's general account length as a number (0 while not settled).
int16_t GeneralAccountLength(const base::RunContext& ctx);

// Opens a PARAM file with the alias "PARAM" and makes it current; on failure
// shows the PARAM open-failure message and returns 0.
int16_t OpenParamTable(base::RunContext& ctx, const std::string& paramFile);
// Walks the current PARAM table from its first record and replaces VALUE of
// every row whose trimmed, upper-cased ID is a key of `values` (upper-case
// keys). A value longer than VALUE continues in VALUEEXT.
void ReplaceParamValues(const std::map<std::string, std::string>& values);
// Both of the above, then closes the table. False (message shown, nothing
// written) when the table cannot be opened.
bool RewriteParamRows(base::RunContext& ctx, const std::string& paramFile,
                      const std::map<std::string, std::string>& values);

}  // namespace convert
