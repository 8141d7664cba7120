#include "store/table_report.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

#include "base/text.h"
#include "store/engine/index_check.h"
#include "store/engine/table.h"

namespace fs = std::filesystem;

namespace store {
namespace {

void writeCsvValue(std::ostream& out, const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) {
    out << value;
    return;
  }
  out << '"';
  for (char c : value) out << (c == '"' ? "\"\"" : std::string(1, c));
  out << '"';
}

bool isTableFile(const fs::path& p) {
  std::string ext = p.extension().string();
  return base::equalsIgnoringCase(ext, ".dbf");
}

}  // namespace

bool dumpTableCsv(const fs::path& dbf, std::ostream& out, base::Bilingual& error) {
  std::unique_ptr<Table> table = Table::open(dbf, error, Table::OpenMode::ReadOnly);
  if (!table) return false;
  out << "_deleted";
  for (const FieldDef& f : table->fields()) out << ',' << f.name;
  out << '\n';
  const int fields = static_cast<int>(table->fields().size());
  for (uint32_t r = 1; r <= table->recordCount(); ++r) {
    table->go(r);
    out << (table->deleted() ? "*" : "");
    for (int f = 0; f < fields; ++f) {
      out << ',';
      writeCsvValue(out, table->text(f));
    }
    out << '\n';
  }
  return table->close(error);
}

bool checkDossierIndexes(const fs::path& folder, std::ostream& out, bool french) {
  std::vector<fs::path> tables;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    out << (french ? "Le dossier " + folder.string() + " n'existe pas" : "De map " + folder.string() + " bestaat niet") << '\n';
    return false;
  }
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.is_regular_file(ec) && isTableFile(entry.path())) tables.push_back(entry.path());
  if (tables.empty()) {
    out << (french ? "Aucune table dans " : "Geen tabellen in ") << folder.string() << '\n';
    return false;
  }
  std::sort(tables.begin(), tables.end());
  bool allOk = true;
  for (const fs::path& dbf : tables) {
    const std::string name = dbf.stem().string();
    for (const TagCheck& check : checkIndexes(dbf)) {
      out << name;
      if (!check.tag.empty()) out << ' ' << check.tag;
      if (check.ok) {
        out << ' ' << check.keyCount << " keys OK\n";
      } else {
        out << ' ' << check.problem.in(french) << '\n';
        allOk = false;
      }
    }
  }
  return allOk;
}

}  // namespace store

namespace store {

std::map<std::string, long> tableRecordCounts(const fs::path& folder) {
  std::map<std::string, long> counts;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file(ec) || !isTableFile(entry.path())) continue;
    const std::string stem = entry.path().stem().string();
    const size_t prefix = stem.find('_');
    const std::string name = base::UpperCase(prefix == std::string::npos ? stem : stem.substr(prefix + 1));
    unsigned char header[8] = {};
    std::ifstream in(entry.path(), std::ios::binary);
    in.read(reinterpret_cast<char*>(header), sizeof header);
    long records = 0;
    if (in.gcount() == sizeof header)
      records = static_cast<long>(header[4] | header[5] << 8 | header[6] << 16 | static_cast<uint32_t>(header[7]) << 24);
    counts[name] = records;
  }
  return counts;
}

}  // namespace store
