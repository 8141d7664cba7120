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
bool FindAccountPicture() {
  for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
    if (UpperCase(Trim(store::sx_GetString("ID"))) == "ACCOUNTPICTURE") return true;
  }
  return false;
}

void AppendParam(const std::string& id, const std::string& value) {
  store::sx_AppendBlank();
  store::sx_Replace("VALUE", store::SX_TEXT, value);
  store::sx_Replace("ID", store::SX_TEXT, id);
}

}  // namespace

bool WriteCompanyIdentity(base::RunContext& ctx, base::RowSet& params, const std::string& paramFile) {
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
      FormatCompanyVatNumber(vatFormat.present() ? vatFormat.asText() : "", vatNumber.asText());

  int16_t area = OpenParamTable(ctx, paramFile);
  if (area == 0) return false;
  ReplaceParamValues(values);
  AppendParam("VerMarlin2Ks", (ctx.isVersionSql ? "Sql " : "") + ctx.sourceVersion);
  AppendParam("RECOVERED", ctx.isVersionSql ? "Marlin Sql" : "Marlin");
  store::sx_Select(area);
  store::sx_Close();
  return true;
}

bool WriteDossierLanguages(base::RunContext& ctx, const std::string& prefix) {
  return RewriteParamRows(ctx, prefix + "_PARAM.DBF",
                   {{"LANGCREATION", ctx.language},
                    {"ORDERLANGUAGE", UpperCase(ctx.language) == "F" ? "FNE" : "NFE"}});
}

std::string ReadGeneralAccountLength(base::RunContext& ctx, const std::string& prefix) {
  int16_t area = OpenParamTable(ctx, prefix + "_PARAM.DBF");
  if (area == 0) return {};
  std::string picture = FindAccountPicture() ? Trim(store::sx_GetString("VALUE")) : "";
  store::sx_Select(area);
  store::sx_Close();
  if (picture.empty()) {
    ReportError(ctx, ctx.msg("Problème détecté dans le fichier PARAM du dossier Kestrel",
                             "Probleem in het bestand PARAM in dit Kestrel dossier."));
    return {};
  }
  return numberText(Val(ListValue(picture, "LENGEN")));
}

void WriteGeneralAccountLength(base::RunContext& ctx, const std::string& prefix, const std::string& length) {
  int16_t area = OpenParamTable(ctx, prefix + "_PARAM.DBF");
  if (area == 0) return;
  if (FindAccountPicture()) {
    store::sx_Replace("VALUE", store::SX_TEXT,
                      ReplaceListValue(store::sx_GetString("VALUE"), "LENGEN", length));
  }
  store::sx_Select(area);
  store::sx_Close();
}

}  // namespace convert
