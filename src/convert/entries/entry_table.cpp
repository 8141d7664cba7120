#include "convert/entries/entry_table.h"

#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {

int16_t openEntryTable(base::RunContext& ctx, const std::string& prefix) {
  const std::string file = prefix + "_ACT.DBF";
  if (!FileExists(file)) {
    // The Dutch text names the dossier, the French one the file.
    reportError(ctx, ctx.msg("Le fichier " + file + " n'existe pas", "Het bestand " + prefix + " bestaat niet"));
    return 0;
  }
  int16_t area = store::sx_Use(existingPath(file), "ACT", 2, 2);
  if (area == 0) {
    reportError(ctx, cannotOpenMessage(ctx, "ACT", false));
    store::sx_CloseAll();
    return 0;
  }
  store::sx_Select(area);
  store::sx_GoTop();
  return area;
}

}  // namespace convert
