#include "master_dossier.h"

#include <cstdlib>
#include <fstream>

#include "base/text.h"
#include "store/engine/index_check.h"
#include "store/engine/sx.h"
#include "support/dbf_reader.h"
#include "support/bilingual_print.h"

namespace master_test {

void MasterDossier::makeDossier(const std::string& language, const std::string& length) {
  bool ok = false;
  prefix = testing_support::NewWorkingDossier(ui, root, language, ok).prefix;
  ASSERT_TRUE(ok);
  ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(root) / "VIDE01" / "VIDE01_PARAM.DBF"));
  ctx.language = language;
  ctx.ui = &ui;
  ctx.generalAccountLength = length;
  ctx.source = &source;
  ctx.yearSource = &source;
  ctx.prefixedLayout = true;
  ctx.showImportError = [this](const std::string& m) {
    errors.push_back(m);
    store::sx_CloseAll();
  };
  ctx.setStepLabel = [this](const std::string& t) { steps.push_back(t); };
  ctx.setRecordLabel = [this](const std::string& t) { records.push_back(t); };
}

void MasterDossier::TearDown() { store::sx_CloseAll(); }

std::vector<Record> MasterDossier::rows(const std::string& table, const std::vector<std::string>& fields) {
  std::vector<Record> out;
  std::filesystem::path path = root / "VIDE01" / ("VIDE01_" + table + ".DBF");
  int16_t area = store::sx_Use(path.string(), "READBACK", 2, 2);
  EXPECT_NE(area, 0) << store::sx_LastError();
  if (area == 0) return out;
  store::sx_SetOrder(0);
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    Record r;
    for (const std::string& f : fields) {
      std::string v = store::sx_GetString(f);
      r[f] = v.substr(0, v.find_last_not_of(' ') + 1);
    }
    out.push_back(r);
  }
  store::sx_Close();
  return out;
}

std::string MasterDossier::param(const std::string& id) {
  for (const Record& r : rows("PARAM", {"ID", "VALUE"})) {
    if (base::UpperCase(r.at("ID")) == base::UpperCase(id)) return r.at("VALUE");
  }
  ADD_FAILURE() << "no PARAM row " << id;
  return {};
}

std::vector<std::string> MasterDossier::readIndependently(const std::string& table,
                                                         const std::vector<std::string>& fields) {
  return testing_support::dbfreadRows(root / "VIDE01" / ("VIDE01_" + table + ".DBF"), fields);
}

void MasterDossier::expectIndexesAgree(const std::string& table) {
  std::vector<store::TagCheck> checks = store::checkIndexes(root / "VIDE01" / ("VIDE01_" + table + ".DBF"));
  EXPECT_FALSE(checks.empty()) << table;
  for (const store::TagCheck& check : checks) EXPECT_TRUE(check.ok) << table << " " << check.tag << ": " << check.problem;
}

}  // namespace master_test
