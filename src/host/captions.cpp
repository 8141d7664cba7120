#include "host/captions.h"

namespace host {

const std::vector<Caption>& wizardCaptions() {
  static const std::vector<Caption> table = {
      {"LabelLng", "Taal van het dossier", "Langue du dossier"},
      {"Label1", "Bepaal het pad naar Marlin en selecteer dan het te importeren dossier. Klik op ",
       "Déterminez le chemin de Marlin, puis sélectionnez le dossier à importer. Cliquez sur 'Import' pour "
       "démarrer l'importation."},
      {"Frame1", "Te importeren Marlin dossier", "Dossier Marlin à importer"},
      {"Label2", "Pad naar Marlin", "Chemin de Marlin"},
      {"Label7", "Pad van Kestrel gegevens bv: 'c:\\Kestrel\\data'",
       "Entrez ici le chemin des données Kestrel ex: 'c:\\Kestrel\\data'"},
      {"Label4", "Te importeren dossier", "Dossier à importer"},
      {"Frame2", "Bestemming dossier in Kestrel", "Chemin du dossier"},
      {"Label3", "Pad van KS gegevens", "Datas Kestrel"},
      {"Label5", "Naam van het dossier", "Nom du dossier"},
      {"Frame3", "Te recupereren gegevens", "Données à récupérer"},
      {"chkClients", "Klanten", "Clients"},
      {"chkSuppliers", "Leveranciers", "Fournisseurs"},
      {"chkGeneralLegders", "Algemene rekeningen", "Comptes généraux"},
      {"cmdOk", "Import", "Import"},
      {"cmdCancel", "Verlaten", "Quitter"},
      {"FrameSql", "Te importeren Marlin Sql dossier", "Dossier Marlin Sql à importer"},
      {"Label12", "Naam van de server", "Nom du serveur"},
      {"Label13", "Login", "Login"},
      {"Label14", "Watchwoord", "Mot de passe"},
      {"Label10", "Te importeren dossier", "Dossier à importer"},
      {"cmdConnect", "Verbinden", "Connecter"},
      {"OptCompta", "Identificatiegegevens en historieken van de 2 actieve boekjaren",
       "Signalétiques et l'historique des 2 derniers exercices courants"},
      {"OptSignal", "Identificatiegegevens (uitsluitend)", "Signalétiques (uniquement)"},
  };
  return table;
}

std::string formCaption(bool dutch, bool sqlEdition) {
  if (sqlEdition)
    return dutch ? "Kestrel - Import van een Marlin Sql Dossier" : "Kestrel - Importation d'un dossier Marlin Sql";
  return dutch ? "Kestrel - Import van een Marlin Dossier" : "Kestrel - Importation d'un dossier Marlin 5.01";
}

std::string importErrorTitle(bool french, bool sqlEdition) {
  if (sqlEdition)
    return french ? "Kestrel - Importation d'un dossier Marlin Sql" : "Kestrel - Import van een Marlin Sql Dossier";
  return french ? "Kestrel - Importation d'un dossier Marlin 5.01" : "Kestrel - Import van een Marlin Dossier 5.01";
}

}  // namespace host
