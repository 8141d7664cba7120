// The migration report as files: text for people (in the dossier language),
// JSON for programs (the schema is docs/migration-report.schema.json).
#pragma once
#include <string>

#include "base/run_report.h"

namespace run {

std::string reportText(const base::RunReport& report);
std::string reportJson(const base::RunReport& report);

// Writes {folder}/{name}.txt and {folder}/{name}.json (the folder is made when
// missing) and notes their paths in the report. False, with the file that
// could not be written, when they cannot be written.
bool writeReportFiles(base::RunReport& report, const std::string& folder, const std::string& name,
                      std::string& failedFile);

// Where a report goes that does not go into a dossier: $XDG_STATE_HOME/marlin2kestrel,
// by default ~/.local/state/marlin2kestrel (%LOCALAPPDATA%\marlin2kestrel on Windows).
std::string defaultReportFolder();

// "2026-12-06T19:15:03Z" and "20261206-191503" of a moment, in UTC.
std::string isoTime(base::RunReport::Clock::time_point t);
std::string fileTime(base::RunReport::Clock::time_point t);

}  // namespace run
