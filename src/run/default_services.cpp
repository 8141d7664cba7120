// The real components behind the run's table of services.
#include <cstdlib>
#include <string>
#include <thread>

#include "run/access_source.h"
#include "run/odbc_source.h"
#include "run/services.h"
#include "run/source_discovery.h"
#include "store/dossier_placement.h"
#include "store/dossier_template.h"
#include "store/engine/disk_space.h"
#include "store/engine/sx.h"
#include "store/file_operations.h"

namespace run {
using namespace base;

std::function<void(const std::string& message)> messagesOn(Ui* ui, MsgIcon icon) {
  return [ui, icon](const std::string& message) {
    if (ui) showMessage(*ui, message, icon);
  };
}

Services defaultServices() {
  Services s;
  s.prepareEngine = [] {
    store::sx_SetDateFormat(3);
    store::sx_SetCentury(-1);
    store::sx_SetEpoch(1960);
    store::sx_CloseAll();
    store::sx_TakeWriteFailure();  // what an earlier run left is not this run's
    store::forgetFailedWrites();
  };
  s.closeAllTables = [] { store::sx_CloseAll(); };
  // MARLIN2KESTREL_PASSES=sequential converts the book years one after the
  // other, as a check of the side-by-side run. A machine of one core does so
  // too: there the second thread only adds its memory and its switching.
  const char* passes = std::getenv("MARLIN2KESTREL_PASSES");
  s.passesSideBySide = !(passes && std::string(passes) == "sequential") && std::thread::hardware_concurrency() != 1;
  s.deferIndex = [](const std::string& file) { store::sx_DeferIndex(file); };
  s.writeDeferredIndex = [](Ui* ui, const std::string& file, const std::string& language) {
    if (store::sx_WriteDeferredIndex(file)) return true;
    const bool french = language == "F";
    messagesOn(ui, MsgIcon::Critical)((french ? "L'index du fichier " : "De index van het bestand ") + file +
                                      (french ? " n'a pas pu être écrit : " : " kon niet geschreven worden: ") +
                                      store::sx_LastError().in(french) + store::fullDiskNote(file, language));
    return false;
  };
  s.dropDeferredIndex = [](const std::string& file) { store::sx_DropDeferredIndex(file); };
  s.tableWriteFailure = [](const std::string& language) {
    const auto failure = store::sx_TakeWriteFailure();
    if (!failure) return std::string();
    return failure->reason.in(language == "F") + "." + store::fullDiskNote(failure->file, language);
  };
  // A dossier file that cannot be written stops the run.
  s.createTemplateDossier = [](Ui* ui, const std::string& folder, const std::string& language) {
    return store::createTemplateDossier(messagesOn(ui, MsgIcon::Critical), folder, language);
  };
  s.prepareWorkingDossier = [](Ui* ui, const std::string& folder, int index, const std::string& language) {
    return store::prepareWorkingDossier(messagesOn(ui, MsgIcon::Critical), folder, index, language);
  };
  s.placeDossier = [](Ui* ui, const store::Placement& placement) {
    return store::placeDossier(messagesOn(ui, MsgIcon::Critical), placement);
  };
  s.openAccess = [](const std::string& file) { return openAccessSource(file); };
  s.openSql = [](const SqlLogin& login, const std::string& database) {
    return openSqlServerSource(login.server, login.login, login.password, database);
  };
  s.lastBookYearIndex = [](Source* company, bool sqlEdition, bool prefixedLayout, const std::string& sourceKey) {
    if (sqlEdition) return lastBookYearIndexSql(*company);
    if (prefixedLayout) return lastBookYearIndexPrefixed(company->tableNames());
    return lastBookYearIndexOlder(sourceKey);
  };
  s.checkVersionSe = [](Source& company) { return CheckVersionSe(company); };
  s.perYearDatabasePath = [](const std::string& sourceKey, int index) { return run::perYearDatabasePath(sourceKey, index); };
  s.readSourceBooks = readSourceBooks;
  s.readSourceMasterData = readSourceMasterData;
  s.readTargetBooks = readTargetBooks;
  return s;
}

}  // namespace run
