#include "support/working_dossier.h"

#include "store/engine/sx.h"

namespace testing_support {

store::WorkingDossier newWorkingDossier(base::Ui& ui, const std::filesystem::path& folder,
                                        const std::string& language, bool& ok) {
  store::sx_CloseAll();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  store::sx_SetDateFormat(3);
  store::sx_SetCentury(-1);
  store::sx_SetEpoch(1960);
  const auto report = [&ui](const std::string& message) { base::showMessage(ui, message); };
  ok = store::createTemplateDossier(report, folder.string(), language) &&
       store::prepareWorkingDossier(report, folder.string(), 1, language);
  return ok ? store::workingDossier(folder.string(), 1) : store::WorkingDossier{};
}

}  // namespace testing_support
