// marlin2kestrel: a host of its own for the import wizard, with a window
// (--gui) or without one.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/cli/cli_options.h"
#include "app/cli/exit_status.h"
#include "app/cli/windowless_front_end.h"
#include "host/ini_file.h"
#include "host/obj_marlin.h"
#include "host/platform.h"
#ifdef M2K_WITH_QT
#include "app/qt/qt_front_end.h"
#endif

namespace {

std::string sqlPassword(const app::CliOptions& o) {
  if (const char* env = std::getenv("MARLIN_SQL_PASSWORD")) return env;
  if (!host::isTerminal(0)) return {};
  std::cout << (o.language == "F" ? "Mot de passe SQL de " : "SQL wachtwoord van ") << o.login << ": "
            << std::flush;
  std::string password = host::readLineNoEcho();
  std::cout << std::endl;
  return password;
}

int execute(host::FrontEnd& frontEnd, const app::CliOptions& o) {
  host::objMarlin marlin(frontEnd);
  marlin.Language(o.language);
  marlin.IsVersionSql(o.sqlEdition());
  // A source check names no Kestrel folder: the remembered one is left as
  // it is in the INI file.
  marlin.KestrelPath(o.checkSource ? host::readIniValue(host::defaultIniFile(), "Marlin2Kestrel", "PathDataKestrel")
                                   : o.kestrelFolder);
  marlin.KestrelDossierName(o.dossier);
  marlin.Execute();
  return marlin.mainMarlin() ? app::exitStatus(marlin.mainMarlin()->ctx.report) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  app::CliOptions options;
  if (auto problem = app::parseCliOptions(args, options)) {
    std::cerr << "marlin2kestrel: " << *problem << "\n\n" << app::cliUsage();
    return app::kExitUsage;
  }
  if (options.help) {
    std::cout << app::cliUsage();
    return 0;
  }
  if (options.gui) {
#ifdef M2K_WITH_QT
    app::QtFrontEnd window(argc, argv);
    return execute(window, options);
#else
    std::cerr << "marlin2kestrel: "
              << (options.language == "F" ? "cette version est construite sans fenêtre (Qt 6 absent)."
                                          : "deze versie is gebouwd zonder venster (Qt 6 ontbreekt).")
              << "\n";
    return 2;
#endif
  }
  app::WindowlessFrontEnd terminal(options, options.sqlEdition() ? sqlPassword(options) : std::string(), std::cout,
                                   host::isTerminal(1));
  return execute(terminal, options);
}
