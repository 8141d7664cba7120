// Which names a new dossier may take. The name becomes a folder of the Kestrel
// data folder and the first part of every file name in it, on the Windows
// machines Kestrel runs on; and it must stay clear of the folders the import
// run works in.
#pragma once
#include <string>

namespace store {

// Why `name` (already trimmed, not empty) cannot name a dossier in
// `kestrelFolder`, as a message of the dossier language ("F" French, otherwise
// Dutch); empty when it can.
std::string dossierNameRefusal(const std::string& name, const std::string& kestrelFolder, const std::string& language);

}  // namespace store
