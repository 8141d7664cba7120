// Naming shared by the three forms, and the choice of writer.
#include "marlin_forms.h"

#include <stdexcept>

#include "base/text.h"

namespace marlin {

std::vector<WrittenFile> writeAccessForm(const Dossier& d, bool prefixed, const std::filesystem::path& dir);
std::vector<WrittenFile> writeSqlForm(const Dossier& d, const std::filesystem::path& dir);

Form parseForm(const std::string& name) {
  if (name == "access-prefixed") return Form::AccessPrefixed;
  if (name == "access-older") return Form::AccessOlder;
  if (name == "sql") return Form::Sql;
  throw std::invalid_argument("Forme inconnue « " + name + " » : access-prefixed, access-older ou sql. / "
                              "Onbekende vorm \"" + name + "\": access-prefixed, access-older of sql.");
}

std::string companyTableName(Form form, const std::string& bare) {
  if (form == Form::AccessOlder) return bare;
  // Access keeps its version table unprefixed in both layouts.
  if (bare == "version") return form == Form::Sql ? "D_Version" : "version";
  return "D_" + bare;
}

std::string yearTableName(Form form, int year, const std::string& bare) {
  return form == Form::AccessOlder ? bare : "A_" + base::twoDigits(year) + "_" + bare;
}

std::string companyFileName(const Dossier& d) { return d.options().company + "Soc.MDB"; }

std::string yearFileName(const Dossier& d, int year) {
  // Two digits below 10, the plain number above: the same text up to 99.
  return d.options().company + "A" + base::twoDigits(year) + ".mdb";
}

std::string sqlDatabaseName(const Dossier& d) { return "PW0" + d.options().company + "SOC"; }

std::vector<WrittenFile> writeDossier(const Dossier& d, Form form, const std::filesystem::path& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir))
    throw std::runtime_error("Impossible de créer le dossier " + dir.string() + " / Kan de map " + dir.string() +
                             " niet aanmaken");
  if (form == Form::Sql) return writeSqlForm(d, dir);
  return writeAccessForm(d, form == Form::AccessPrefixed, dir);
}

}  // namespace marlin
