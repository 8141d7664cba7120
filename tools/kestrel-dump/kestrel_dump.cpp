// kestrel-dump: looks into Kestrel dossiers for the people who support migrations.
//   kestrel-dump FILE.DBF                       the table as CSV
//   kestrel-dump --check DIR                    the index check of every table in DIR
//   kestrel-dump --template DIR --language F|N  writes the template dossier DIR/VIDE
// Faults are told in French, or in Dutch with --language N.
#include <iostream>
#include <string>
#include <vector>

#include "common/language_option.h"
#include "store/dossier_template.h"
#include "store/table_report.h"

namespace {

int usage() {
  std::cerr << "Usage / Gebruik:\n"
               "  kestrel-dump [--language F|N] FILE.DBF\n"
               "  kestrel-dump [--language F|N] --check DIR\n"
               "  kestrel-dump --template DIR --language F|N\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::optional<std::string> given = tools::takeLanguage(args);
  if (!given) return usage();
  const std::string& language = *given;  // the template needs one
  const bool french = language != "N";
  if (args.size() == 1 && args[0].rfind("--", 0) != 0) {
    base::Bilingual error;
    if (!store::dumpTableCsv(args[0], std::cout, error)) {
      std::cerr << error.in(french) << "\n";
      return 1;
    }
    return 0;
  }
  if (args.size() == 2 && args[0] == "--check") return store::checkDossierIndexes(args[1], std::cout, french) ? 0 : 1;
  if (args.size() == 2 && args[0] == "--template" && !language.empty()) {
    // Messages of the dossier code go to the terminal, beside the usage text.
    auto toTerminal = [](const std::string& message) { std::cerr << message << "\n"; };
    return store::createTemplateDossier(toTerminal, args[1], language) ? 0 : 1;
  }
  return usage();
}
