// The exit status of marlin2kestrel, from the report of the run it made.
#pragma once
#include "base/run_report.h"

namespace app {

// Wrong options, decided before any run.
constexpr int kExitUsage = 2;

// 0: the dossier was written and reconciles (a source check: the source
// imports as it is); 1: the run failed or never ran; 3: the dossier was
// written but the reconciliation found differences (a source check: values
// would be cut or lost, rows dropped, or the books would not reconcile).
int exitStatus(const base::RunReport& report);

}  // namespace app
