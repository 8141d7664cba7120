#include "run/source_discovery.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "base/number_text.h"
#include "base/text.h"
#include "store/file_operations.h"

namespace run {
using namespace base;
namespace {

// The original's IsNumeric on a short text: a whole number or decimal, blanks around.
bool isNumeric(const std::string& s) {
  std::string t = base::Trim(s);
  if (t.empty()) return false;
  size_t used = 0;
  base::readNumber(t, &used);
  return used == t.size() && (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '.' || t[0] == '+' || t[0] == '-');
}

// The original's Val: the leading number of a text, 0 when there is none.
int leadingValue(const std::string& s) {
  return static_cast<int>(std::strtol(base::Trim(s).c_str(), nullptr, 10));
}

std::string yearFile(const std::string& sourceKey, int index) {
  return sourceKey + (index < 10 ? "A0" : "A") + std::to_string(index) + ".mdb";
}

}  // namespace

bool sourceFileExists(const std::string& pathText) {
  std::error_code ec;
  return std::filesystem::is_regular_file(store::nativePath(pathText), ec);
}

bool CheckVersionSe(Source& companyDatabase) {
  for (const auto& name : companyDatabase.tableNames())
    if (name.rfind("D_", 0) == 0) return true;
  return false;
}

int lastBookYearIndexSql(Source& connection) {
  int last = 0;
  auto rows = connection.query("SELECT name, xtype FROM sys.sysobjects WHERE xtype = 'U' ORDER BY name");
  for (; !rows->eof(); rows->moveNext()) {
    std::string name = rows->field("NAME").asText();
    if (name.size() >= 5 && name.rfind("A_", 0) == 0 && isNumeric(name.substr(2, 2)) && name[4] == '_')
      last = static_cast<int>(base::readNumber(name.substr(2, 2)));
  }
  return last;
}

int lastBookYearIndexPrefixed(const std::vector<std::string>& tableNames) {
  int last = 0;
  for (const auto& name : tableNames)
    if (name.rfind("A_", 0) == 0) last = std::max(last, leadingValue(name.substr(2, 2)));
  return last;
}

int lastBookYearIndexOlder(const std::string& sourceKey) {
  int last = 0;
  for (int i = 0; i <= 99; ++i)
    if (sourceFileExists(yearFile(sourceKey, i))) last = i;
  return last;
}

std::string perYearDatabasePath(const std::string& sourceKey, int index) {
  std::string path = yearFile(sourceKey, index);
  return sourceFileExists(path) ? path : std::string();
}

std::string companyItemText(const Value& id, const Value& name) {
  const std::string idText = id.asText(), nameText = name.asText();
  const int64_t n = id.asInt();
  if (n >= 1 && n <= 9) return "00" + idText + " - " + nameText;
  if (n >= 10 && n <= 99) return "0" + idText + " - " + nameText;
  if (n >= 100 && n <= 999) return idText + " - " + nameText;
  return idText + nameText;
}

std::string companyCodeOfItem(const std::string& item) { return base::Trim(item).substr(0, 3); }

std::vector<std::string> companyListItems(Source& common) {
  std::vector<std::string> items;
  auto rows = common.query("SELECT * FROM SOCIETYLIST ORDER BY SOCIETYID");
  for (; !rows->eof(); rows->moveNext()) {
    Value id = rows->field("SOCIETYID"), name = rows->field("NAME");
    if (id.present() && name.present()) items.push_back(companyItemText(id, name));
  }
  return items;
}

}  // namespace run
