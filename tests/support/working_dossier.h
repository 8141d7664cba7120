// A fresh working dossier VIDE01 made from the real templates.
#pragma once
#include <filesystem>
#include <string>

#include "base/ui.h"
#include "store/dossier_template.h"

namespace testing_support {

// Empties `folder`, sets the run's date handling, writes the template dossier
// in `language` and prepares working dossier 1 from it. `ok` is false when the
// templates could not be written.
store::WorkingDossier newWorkingDossier(base::Ui& ui, const std::filesystem::path& folder,
                                        const std::string& language, bool& ok);

}  // namespace testing_support
