// The command line of marlin2kestrel.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace app {

struct CliOptions {
  std::string kestrelFolder, dossier, language = "F";
  bool gui = false;
  std::string sourceFolder;                 // Access edition
  std::string sqlServer, login;             // SQL edition
  std::string company;
  bool masterOnly = false;
  bool customers = false, suppliers = false, accounts = false;
  bool help = false;
  // Reads and converts the source into a private folder, keeps only the report.
  bool checkSource = false;
  std::string reportFolder;  // reports that do not go into a dossier; empty: the state folder

  bool sqlEdition() const { return !sqlServer.empty(); }
};

// Parses the arguments (without the program name). On a mistake returns the
// message to show, in the language of --language when it was readable.
std::optional<std::string> parseCliOptions(const std::vector<std::string>& args, CliOptions& options);

std::string cliUsage();

}  // namespace app
