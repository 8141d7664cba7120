#include "app/cli/exit_status.h"

namespace app {

int exitStatus(const base::RunReport& report) {
  if (!report.succeeded()) return 1;
  const bool differences = !report.reconciliation.differences.empty();
  if (report.kind() == base::RunReport::Kind::SourceCheck)
    return differences || report.droppedRows() > 0 || report.lossyChanges() > 0 ? 3 : 0;
  return differences ? 3 : 0;
}

}  // namespace app
