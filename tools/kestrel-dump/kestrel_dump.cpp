// kestrel-dump: looks into Kestrel dossiers for the people who support migrations.
//   kestrel-dump FILE.DBF                       the table as CSV
//   kestrel-dump --check DIR                    the index check of every table in DIR
//   kestrel-dump --template DIR --language F|N  writes the template dossier DIR/VIDE
#include <iostream>
#include <string>
#include <vector>

#include "store/dossier_template.h"
#include "store/table_report.h"

namespace {

int usage() {
  std::cerr << "Usage / Gebruik:\n"
               "  kestrel-dump FILE.DBF\n"
               "  kestrel-dump --check DIR\n"
               "  kestrel-dump --template DIR --language F|N\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0].rfind("--", 0) != 0) {
    std::string error;
    if (!store::dumpTableCsv(args[0], std::cout, error)) {
      std::cerr << error << "\n";
      return 1;
    }
    return 0;
  }
  if (args.size() == 2 && args[0] == "--check") return store::checkDossierIndexes(args[1], std::cout) ? 0 : 1;
  if (args.size() == 4 && args[0] == "--template" && args[2] == "--language" && (args[3] == "F" || args[3] == "N")) {
    // Messages of the dossier code go to the terminal, beside the usage text.
    auto toTerminal = [](const std::string& message) { std::cerr << message << "\n"; };
    return store::CreateTemplateDossier(toTerminal, args[1], args[3]) ? 0 : 1;
  }
  return usage();
}
