#include "master_dossier.h"

#include "convert/master/text.h"
#include "store/dossier_template.h"
#include "store/engine/sx.h"

namespace master_test {

void MasterDossier::makeDossier(const std::string& language, const std::string& length) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  root = std::filesystem::path(M2K_BUILD_DIR) / "test_dossiers" / (std::string(info->test_suite_name()) + "." + info->name());
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  store::sx_SetDateFormat(3);
  store::sx_SetCentury(-1);
  store::sx_SetEpoch(1960);
  store::sx_CloseAll();
  ASSERT_TRUE(store::CreateTemplateDossier(&ui, root.string(), language));
  prefix = store::PrepareWorkingDossier(&ui, root.string(), 1).prefix;
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
    if (convert::UpperCase(r.at("ID")) == convert::UpperCase(id)) return r.at("VALUE");
  }
  ADD_FAILURE() << "no PARAM row " << id;
  return {};
}

void MasterDossier::expectIndexesAgree(const std::string& table) {
  std::filesystem::path path = root / "VIDE01" / ("VIDE01_" + table + ".DBF");
  std::string error;
  EXPECT_TRUE(store::checkIndexes(path, error)) << table << ": " << error;
}

}  // namespace master_test
