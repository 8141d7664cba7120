// Company identity, dossier languages and the LENGEN entry of the dossier's
// parameters.
#include <map>
#include <string>

#include "base/text.h"
#include "convert/master/codes.h"
#include "convert/master/master_steps.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {
using namespace base;

namespace {

const char kUndefined[] = "Non définie";

// Positions PARAM (current) on its first ACCOUNTPICTURE row; false when none.
bool findAccountPicture() {
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    if (upperCase(Trim(store::sx_GetString("ID"))) == "ACCOUNTPICTURE") return true;
  }
  return false;
}

void appendParam(const std::string& id, const std::string& value) {
  store::sx_AppendBlank();
  store::sx_Replace("VALUE", store::SX_TEXT, value);
  store::sx_Replace("ID", store::SX_TEXT, id);
}

}  // namespace

bool writeCompanyIdentity(base::RunContext& ctx, base::RowSet& params, const std::string& paramFile) {
  auto column = [&](const char* name) { return params.eof() ? base::Value::null() : params.field(name); };
  base::Value name = column("NAME"), address = column("ADDRESS"), zip = column("ZIPCODEID"),
             city = column("CITY"), country = column("CountryID"), vatFormat = column("VATFORMAT"),
             vatNumber = column("VATNUM");

  std::map<std::string, std::string> values;
  values["SOCNAME"] = name.asText();
  values["SOCADR1"] = address.present() ? address.asText() : kUndefined;
  // Without country and postcode there is no key to point to; an empty key is
  // better than a dangling "-" that matches no ZIPCODE row.
  values["SOCZIP"] = (country.present() || zip.present()) ? country.asText() + "-" + zip.asText() : "";
  values["SOCCOUNTRY"] = country.present() ? country.asText() : "BE";
  values["SOCCITY"] = city.present() ? city.asText() : kUndefined;
  values["SOCVATNO"] =
      formatCompanyVatNumber(vatFormat.present() ? vatFormat.asText() : "", vatNumber.asText());

  int16_t area = openParamTable(ctx, paramFile);
  if (area == 0) return false;
  replaceParamValues(values);
  appendParam("VerMarlin2Ks", (ctx.isVersionSql ? "Sql " : "") + ctx.sourceVersion);
  appendParam("RECOVERED", ctx.isVersionSql ? "Marlin Sql" : "Marlin");
  store::sx_Select(area);
  store::sx_Close();
  return true;
}

bool writeDossierLanguages(base::RunContext& ctx, const std::string& prefix) {
  return rewriteParamRows(ctx, prefix + "_PARAM.DBF",
                   {{"LANGCREATION", ctx.language},
                    {"ORDERLANGUAGE", upperCase(ctx.language) == "F" ? "FNE" : "NFE"}});
}

std::string readGeneralAccountLength(base::RunContext& ctx, const std::string& prefix) {
  int16_t area = openParamTable(ctx, prefix + "_PARAM.DBF");
  if (area == 0) return {};
  std::string picture = findAccountPicture() ? Trim(store::sx_GetString("VALUE")) : "";
  store::sx_Select(area);
  store::sx_Close();
  if (picture.empty()) {
    reportError(ctx, ctx.msg("Problème détecté dans le fichier PARAM du dossier Kestrel",
                             "Probleem in het bestand PARAM in dit Kestrel dossier."));
    return {};
  }
  return numberText(Val(listValue(picture, "LENGEN")));
}

void writeGeneralAccountLength(base::RunContext& ctx, const std::string& prefix, const std::string& length) {
  int16_t area = openParamTable(ctx, prefix + "_PARAM.DBF");
  if (area == 0) return;
  if (findAccountPicture()) {
    store::sx_Replace("VALUE", store::SX_TEXT,
                      replaceListValue(store::sx_GetString("VALUE"), "LENGEN", length));
  }
  store::sx_Select(area);
  store::sx_Close();
}

}  // namespace convert
