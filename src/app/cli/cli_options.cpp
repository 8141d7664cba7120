#include "app/cli/cli_options.h"

#include <map>

namespace app {

namespace {

std::string text(const CliOptions& o, const std::string& fr, const std::string& nl) {
  return o.language == "F" ? fr : nl;
}

}  // namespace

std::string cliUsage() {
  return "Usage:\n"
         "  marlin2kestrel --kestrel-folder DIR --dossier NAME [--language F|N] --gui\n"
         "  marlin2kestrel --kestrel-folder DIR --dossier NAME [--language F|N]\n"
         "                 (--source-folder DIR | --sql-server HOST --login USER) --company CODE\n"
         "                 [--master-only [--customers] [--suppliers] [--accounts]] [--report DIR]\n"
         "  marlin2kestrel --check-source [--language F|N]\n"
         "                 (--source-folder DIR | --sql-server HOST --login USER) --company CODE\n"
         "                 [--master-only [--customers] [--suppliers] [--accounts]] [--report DIR]\n"
         "\n"
         "Without --gui the import runs without a window. The SQL password comes from the\n"
         "environment variable MARLIN_SQL_PASSWORD, or is asked for on the terminal.\n"
         "With --master-only and none of --customers, --suppliers, --accounts, all three are imported.\n"
         "Every run writes a report: into the dossier when it succeeded, else into DIR of --report\n"
         "(by default $XDG_STATE_HOME/marlin2kestrel, or ~/.local/state/marlin2kestrel).\n"
         "--check-source converts the source into a private folder, removed afterwards, and keeps\n"
         "only the report: no Kestrel folder is needed and nothing else is written.\n"
         "Exit status: 0 done (or the source imports as it is), 1 failed, 2 wrong options,\n"
         "3 the dossier was written but the reconciliation found differences (or, with\n"
         "--check-source, values would be cut or rows dropped).\n";
}

std::optional<std::string> parseCliOptions(const std::vector<std::string>& args, CliOptions& o) {
  const std::map<std::string, std::string CliOptions::*> valued = {
      {"--kestrel-folder", &CliOptions::kestrelFolder}, {"--dossier", &CliOptions::dossier},
      {"--language", &CliOptions::language},           {"--source-folder", &CliOptions::sourceFolder},
      {"--sql-server", &CliOptions::sqlServer},        {"--login", &CliOptions::login},
      {"--company", &CliOptions::company},             {"--report", &CliOptions::reportFolder},
  };
  const std::map<std::string, bool CliOptions::*> flags = {
      {"--gui", &CliOptions::gui},             {"--master-only", &CliOptions::masterOnly},
      {"--customers", &CliOptions::customers}, {"--suppliers", &CliOptions::suppliers},
      {"--accounts", &CliOptions::accounts},   {"--help", &CliOptions::help},
      {"--check-source", &CliOptions::checkSource},
  };
  // The language first, so every later message is in it.
  for (std::size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "--language") o.language = args[i + 1];
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (auto v = valued.find(a); v != valued.end()) {
      if (i + 1 >= args.size())
        return text(o, "L'option " + a + " attend une valeur.", "De optie " + a + " verwacht een waarde.");
      o.*(v->second) = args[++i];
    } else if (auto f = flags.find(a); f != flags.end()) {
      o.*(f->second) = true;
    } else {
      return text(o, "Option inconnue : " + a, "Onbekende optie: " + a);
    }
  }
  if (o.help) return std::nullopt;
  if (o.language != "F" && o.language != "N")
    return text(o, "La langue doit être F ou N.", "De taal moet F of N zijn.");
  if (o.checkSource && o.gui)
    return text(o, "--check-source s'utilise sans --gui.", "--check-source gaat niet samen met --gui.");
  if (!o.checkSource && (o.kestrelFolder.empty() || o.dossier.empty()))
    return text(o, "--kestrel-folder et --dossier sont obligatoires.", "--kestrel-folder en --dossier zijn verplicht.");
  if ((o.customers || o.suppliers || o.accounts) && !o.masterOnly)
    return text(o, "--customers, --suppliers et --accounts vont avec --master-only.",
                "--customers, --suppliers en --accounts horen bij --master-only.");
  if (o.gui) return std::nullopt;
  if (!o.sourceFolder.empty() && !o.sqlServer.empty())
    return text(o, "Choisissez --source-folder (Access) ou --sql-server (SQL Server), pas les deux.",
                "Kies --source-folder (Access) of --sql-server (SQL Server), niet allebei.");
  if (o.sourceFolder.empty() && o.sqlServer.empty())
    return text(o, "Indiquez la source : --source-folder DIR ou --sql-server HOST --login USER.",
                "Geef de bron op: --source-folder DIR of --sql-server HOST --login USER.");
  if (o.company.empty())
    return text(o, "--company CODE est obligatoire.", "--company CODE is verplicht.");
  if (o.masterOnly && !o.customers && !o.suppliers && !o.accounts) o.customers = o.suppliers = o.accounts = true;
  return std::nullopt;
}

}  // namespace app
