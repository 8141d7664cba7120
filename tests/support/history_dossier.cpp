#include "support/history_dossier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "store/dossier_template.h"
#include "store/engine/sx.h"
#include "store/file_operations.h"
#include "support/bilingual_print.h"

namespace testing_support {

namespace fs = std::filesystem;

std::string NewYearDossier(const std::filesystem::path& folder, int index, const std::string& language) {
  store::sx_SetDateFormat(3);
  store::sx_SetCentury(-1);
  store::sx_SetEpoch(1960);
  store::sx_CloseAll();
  const std::string root = folder.string();
  const auto report = [](const std::string& message) { ADD_FAILURE() << message; };
  if (!fs::exists(fs::path(root) / "VIDE")) EXPECT_TRUE(store::CreateTemplateDossier(report, root, language));
  EXPECT_TRUE(store::PrepareWorkingDossier(report, root, index, language));
  return store::workingDossier(root, index).prefix;
}

std::vector<Record> ReadTable(const std::string& file) {
  std::vector<Record> out;
  int16_t area = store::sx_Use(file, "READBACK", 2, 2);
  EXPECT_NE(area, 0) << file << ": " << store::sx_LastError();
  if (area == 0) return out;
  store::sx_SetOrder(0);
  // Field names from the header: 32-byte descriptors after the 32-byte header.
  std::vector<std::pair<std::string, char>> fields;
  {
    std::FILE* f = std::fopen(store::nativePath(file).string().c_str(), "rb");
    unsigned char d[32];
    if (f && std::fread(d, 1, 32, f) == 32) {
      while (std::fread(d, 1, 32, f) == 32 && d[0] != 0x0D) {
        std::string name(reinterpret_cast<char*>(d), 11);
        fields.emplace_back(name.substr(0, name.find('\0')), static_cast<char>(d[11]));
      }
    }
    if (f) std::fclose(f);
  }
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    Record r;
    for (const auto& [name, type] : fields) {
      std::string v = store::sx_GetString(name);
      size_t begin = type == 'N' ? v.find_first_not_of(' ') : 0;
      size_t end = v.find_last_not_of(' ');
      v = end == std::string::npos ? std::string() : v.substr(begin, end + 1 - begin);
      if (type == 'D' && v.size() == 8 && v.find('/') == std::string::npos)
        v = v.substr(6, 2) + "/" + v.substr(4, 2) + "/" + v.substr(0, 4);
      r[name] = v;
    }
    out.push_back(r);
  }
  store::sx_Close();
  return out;
}

double Number(const Record& r, const std::string& field) {
  auto it = r.find(field);
  return it == r.end() ? 0 : std::atof(it->second.c_str());
}

void AppendRecords(const std::string& file, const std::vector<Record>& records) {
  int16_t area = store::sx_Use(file, "APPEND", 2, 2);
  ASSERT_NE(area, 0) << file << ": " << store::sx_LastError();
  for (const Record& r : records) {
    store::sx_AppendBlank();
    for (const auto& [name, value] : r) store::sx_Replace(name, store::SX_TEXT, value);
  }
  store::sx_Close();
}

const Record* FindRecord(const std::vector<Record>& rows, const std::string& field, const std::string& value) {
  auto it = std::find_if(rows.begin(), rows.end(), [&](const Record& r) { return r.at(field) == value; });
  return it == rows.end() ? nullptr : &*it;
}

std::string FieldOf(const std::vector<Record>& rows, const std::string& field, const std::string& value,
                    const std::string& wanted) {
  const Record* r = FindRecord(rows, field, value);
  if (!r) {
    ADD_FAILURE() << "no record with " << field << " " << value;
    return "<no record with " + field + " " + value + ">";
  }
  return r->at(wanted);
}

StepContext::StepContext(const std::string& language) {
  ctx.language = language;
  ctx.ui = &ui;
  ctx.generalAccountLength = "6";
  ctx.sourceClosingPeriod = "13";
  ctx.showImportError = [this](const std::string& m) {
    errors.push_back(m);
    store::sx_CloseAll();
  };
}

}  // namespace testing_support
