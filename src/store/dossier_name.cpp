#include "store/dossier_name.h"

#include <algorithm>
#include <cctype>

#include "base/path.h"
#include "base/text.h"
#include "store/run_folder.h"

namespace store {
namespace {

// The longest file of a dossier after its name: "<NAME>_BPAYBENEF.CDX".
constexpr size_t kLongestTableFile = 14;
// Windows opens no longer path (MAX_PATH, its terminating NUL not counted),
// and no file system of ours keeps a longer file name.
constexpr size_t kLongestPath = 259;
constexpr size_t kLongestFileName = 255;

bool isWorkingDossierName(const std::string& upper) {
  if (upper == "VIDE") return true;
  return upper.size() == 6 && upper.rfind("VIDE", 0) == 0 && std::isdigit(static_cast<unsigned char>(upper[4])) &&
         std::isdigit(static_cast<unsigned char>(upper[5]));
}

// CON, PRN, AUX, NUL, COM1..COM9, LPT1..LPT9, also with an extension ("CON.TXT"):
// Windows opens the device instead of a folder of that name.
bool isDeviceName(const std::string& upper) {
  const std::string stem = upper.substr(0, upper.find('.'));
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem[3] >= '1' &&
         stem[3] <= '9';
}

// The most characters a name may have in this Kestrel data folder: the
// dossier's longest file must fit Windows' path limit where it is built (in
// the run folder) and where it ends, and no file name may pass the limit of
// the file systems.
size_t longestName(const std::string& kestrelFolder) {
  const size_t folder = base::charCount(base::joinPath(kestrelFolder, ""));
  // Where it ends: {folder}{NAME}/{NAME}_BPAYBENEF.CDX.
  const size_t placed = folder + 1 + kLongestTableFile;
  const size_t placedRoom = kLongestPath > placed ? (kLongestPath - placed) / 2 : 0;
  // Where it is built: {folder}{run folder}/VIDEnn/{NAME}_BPAYBENEF.CDX.
  const size_t built = folder + runFolderNameLength() + 1 + 6 + 1 + kLongestTableFile;
  const size_t builtRoom = kLongestPath > built ? kLongestPath - built : 0;
  return std::min({kLongestFileName - kLongestTableFile, placedRoom, builtRoom});
}

}  // namespace

std::string dossierNameRefusal(const std::string& name, const std::string& kestrelFolder, const std::string& language) {
  const bool fr = language == "F";
  auto refuse = [&](const std::string& frWhy, const std::string& nlWhy) {
    return fr ? "Le nom de dossier « " + name + " » ne convient pas : " + frWhy + "."
              : "De dossiernaam '" + name + "' is niet bruikbaar: " + nlWhy + ".";
  };
  if (name == "." || name == "..")
    return refuse("il désigne le dossier Kestrel lui-même ou le dossier qui le contient",
                  "hij duidt de Kestrel map zelf of de map erboven aan");
  for (unsigned char c : name) {
    if (c < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
      return refuse("il ne peut contenir aucun des caractères \\ / : * ? \" < > | ni de caractère de contrôle",
                    "hij mag geen van de tekens \\ / : * ? \" < > | en geen stuurteken bevatten");
  }
  if (name.back() == '.')
    return refuse("Windows retire le point final d'un nom de dossier", "Windows laat het punt aan het einde van een mapnaam weg");
  const std::string upper = base::upperCase(name);
  if (isDeviceName(upper)) return refuse("Windows réserve ce nom à un périphérique", "Windows reserveert deze naam voor een apparaat");
  if (isWorkingDossierName(upper) || upper.rfind(base::upperCase(kRunFolderPrefix), 0) == 0)
    return refuse("l'importation réserve ce nom à ses dossiers de travail", "de import reserveert deze naam voor zijn werkmappen");
  const size_t most = longestName(kestrelFolder);
  if (base::charCount(name) > most)
    return refuse("il compte plus de " + std::to_string(most) + " caractères, la limite de Windows dans ce dossier Kestrel",
                  "hij telt meer dan " + std::to_string(most) + " tekens, de grens van Windows in deze Kestrel map");
  return {};
}

}  // namespace store
