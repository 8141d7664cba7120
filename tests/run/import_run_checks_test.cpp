// The checks at the start of an import: each stops the run with its message,
// leaves the wizard usable and writes nothing into the target dossier.
#include <stdexcept>

#include "import_run_fixture.h"
#include "store/engine/sx.h"
#include "store/file_operations.h"
#include "support/file_size_limit.h"

namespace {

class StartChecks : public ImportRunTest {
 protected:
  // Runs the import and expects exactly one failure message, the wizard still
  // loaded with its inputs enabled, and no target dossier.
  void expectRefused(host::frmMain& w, const std::string& message) {
    w.click("cmdOk");
    ASSERT_EQ(messageTexts(), std::vector<std::string>{message});
    EXPECT_EQ(ui.messages[0].icon, base::MsgIcon::Exclamation);
    EXPECT_FALSE(w.isUnloaded());
    EXPECT_TRUE(w.control("cmdOk").enabled);
    EXPECT_TRUE(w.control("cboCompany").enabled);
    EXPECT_EQ(executionDone, 0);
    EXPECT_TRUE(kestrelUntouched());
    EXPECT_FALSE(ui.busy);
  }
};

TEST_F(StartChecks, MissingSourceInEitherEditionAndLanguage) {
  {
    auto& w = accessWizard();
    w.control("txtPathMarlin").text.clear();
    expectRefused(w, "Le fichier Marlin à récupérer doit être spécifié.");
    EXPECT_EQ(ui.messages[0].title, "Kestrel - Importation d'un dossier Marlin 5.01");
  }
  ui.messages.clear();
  {
    auto& w = accessWizard("N");
    w.ctx.companyCode.clear();
    expectRefused(w, "Het te recupereren Marlin bestand moet aangeduid worden.");
    EXPECT_EQ(ui.messages[0].title, "Kestrel - Import van een Marlin Dossier 5.01");
  }
  ui.messages.clear();
  {
    // SQL edition: the server fields do not stand in for a chosen company.
    auto& w = wizard(true);
    w.type("cboServeur", "srv");
    w.type("txtLogin", "sa");
    w.control("txtPathKestrel").text = kestrel.string();
    w.control("txtCompanyName").text = "ACME";
    expectRefused(w, "Le fichier Marlin à récupérer doit être spécifié.");
    EXPECT_EQ(ui.messages[0].title, "Kestrel - Importation d'un dossier Marlin Sql");
  }
}

TEST_F(StartChecks, MissingDestination) {
  auto& w = accessWizard();
  w.control("txtCompanyName").text = "   ";
  expectRefused(w, "Le chemin du dossier Kestrel de destination doit être spécifié.");
  ui.messages.clear();
  w.control("txtCompanyName").text = "ACME";
  w.control("txtPathKestrel").text.clear();
  expectRefused(w, "Le chemin du dossier Kestrel de destination doit être spécifié.");
}

TEST_F(StartChecks, ExistingTargetDossierIsRefusedButAnEmptyFolderIsAccepted) {
  touch(kestrel / "ACME" / "acme_param.dbf");
  auto& w = accessWizard("N");
  w.click("cmdOk");
  ASSERT_EQ(messageTexts(), std::vector<std::string>{"Het pad van het bestemmingsdossier in Kestrel moet leeg zijn."});
  EXPECT_TRUE(trace.empty());
  EXPECT_EQ(fs::directory_iterator(kestrel / "ACME")->path().filename(), "acme_param.dbf");
  EXPECT_EQ(std::distance(fs::directory_iterator(kestrel), fs::directory_iterator()), 1)
      << "nothing may be written before the checks passed";

  fs::remove(kestrel / "ACME" / "acme_param.dbf");
  ui.messages.clear();
  w.click("cmdOk");
  EXPECT_EQ(messageTexts().back(), "Import OK!");
  EXPECT_TRUE(fs::exists(kestrel / "ACME" / "ACME_PARAM.DBF"));
}

TEST_F(StartChecks, MasterDataWithoutAnyTick) {
  auto& w = accessWizard();
  for (const char* box : {"chkClients", "chkSuppliers", "chkGeneralLegders"}) w.click(box);
  expectRefused(w, "Vous devez sélectionner le(s) signalétique(s) à récupérer.");
}

TEST_F(StartChecks, SourceThatCannotBeReached) {
  {
    auto& w = accessWizard();
    fs::remove(marlin / "001Soc.MDB");
    expectRefused(w, "Le fichier " + (marlin / "001Soc.MDB").string() + " n'existe pas");
  }
  ui.messages.clear();
  {
    auto& w = wizard(true, "N");
    w.ctx.companyCode = "001";
    w.control("txtPathKestrel").text = kestrel.string();
    w.control("txtCompanyName").text = "ACME";
    expectRefused(w, "De databestanden PW0001SOC bestaat niet");
  }
  ui.messages.clear();
  {
    // Reachable, but without book year 00.
    MemorySource db = prefixedCompany(1);
    db.tables.erase("A_00_Period");
    sqlDatabases["PW0001SOC"] = db;
    auto& w = wizard(true);
    w.ctx.companyCode = "001";
    w.control("txtPathKestrel").text = kestrel.string();
    w.control("txtCompanyName").text = "ACME";
    expectRefused(w, "Les tables contenant les données de l'exercice ne sont pas présentes dans la base de données");
  }
}

TEST_F(StartChecks, TemplateThatCannotBeWritten) {
  templateProblem = "Impossible d'écrire le modèle VIDE_ACF.DBF";
  auto& w = accessWizard();
  expectRefused(w, "Impossible d'écrire le modèle VIDE_ACF.DBF");
}

TEST_F(StartChecks, OlderLayoutWithoutTheBookYearDatabase) {
  company = MemorySource{};
  company.tables["version"] = versionTable(1, 60);
  for (const char* t : {"dParam", "AcctCustomer", "AcctSupplier", "AcctGeneral"}) company.tables[t] = {{"X"}, {}};
  lastIndex = 5;
  auto& w = accessWizard("N");
  // The one pass of a master-data import (book year 5) names its own file.
  expectRefused(w, "Onmogelijk om het bestand van Marlin te openen\r\n" + (marlin / "001").string() + "A05.MDB");
  EXPECT_TRUE(trace.empty());
}

TEST_F(StartChecks, FailingStepStopsTheRunWithItsMessageAndNothingReachesTheTarget) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"categories", "Une erreur est survenue dans le transfert des categories de clients/fournisseurs"},
      {"paymentCodes", "Une erreur est survenue dans le transfert des codes de conditions de paiement"},
      {"companyIdentity", "Une erreur est survenue dans l'importation des paramètres"},
      {"customers", "Problème lors de la récupération des clients"},
      {"suppliers", "Problème lors de la récupération des fournisseurs"},
      {"generalAccounts", "Une erreur est survenue dans l'importation des comptes généraux."},
      {"bookYear", "Une erreur est survenue dans la récupération des paramètres des périodes."},
      {"journals", "Une erreur est survenue dans la création des journaux."},
      {"openingEntries", "Une erreur est survenue dans l'importation de l'od d'ouverture d'exercice"},
      {"yearDocuments", "Une erreur est survenue dans l'importation des documents de l'exercice."},
  };
  for (const auto& [step, message] : cases) {
    SCOPED_TRACE(step);
    failing = {step};
    ui.messages.clear();
    trace.clear();
    auto& w = accessWizard("F", true);
    w.click("OptCompta");
    expectRefused(w, message);
    EXPECT_EQ(trace.back(), step + ":00") << "the run stops at the first failing step";
  }
}

// Post-processing reports failure like any step (the original ignored it and
// ran on): the run stops after the step's own message, nothing after it runs.
TEST_F(StartChecks, FailingPostProcessingStopsTheRun) {
  foreignJournals = true;
  for (const std::string step : {"dossierLanguages", "completeDocumentAccounts", "completeCurrencyAmounts"}) {
    SCOPED_TRACE(step);
    failing = {step};
    trace.clear();
    auto& w = accessWizard("F", true);
    w.click("OptCompta");
    w.click("cmdOk");
    EXPECT_EQ(trace.back(), step + ":00") << "the run stops at the failing step";
    EXPECT_FALSE(w.isUnloaded());
    EXPECT_EQ(executionDone, 0);
    EXPECT_TRUE(kestrelUntouched());
  }
}

// A table a step could not write (here: the file may grow no further, as on a
// full disk) fails that step where the original ran on to its success
// message: the engine's reason in the wizard's language, then the step's own
// message; nothing after it runs and nothing reaches the target.
TEST_F(StartChecks, ATableAStepCouldNotWriteStopsTheRunThere) {
#ifdef _WIN32
  GTEST_SKIP() << "no file size limit to set here";
#else
  engineWrites = true;
  std::string table;
  writing["customers"] = [&table](const std::string& prefix) {
    table = store::nativePath(prefix + "_GROWN.DBF").string();
    ASSERT_NE(store::sx_CreateNew(table, "GROWN"), 0);
    ASSERT_TRUE(store::sx_CreateField("NAME", "C", 200, 0));
    ASSERT_NE(store::sx_CreateExec(), 0);
    for (int i = 0; i < 50; ++i) {
      store::sx_AppendBlank();
      store::sx_Replace("NAME", store::SX_TEXT, std::string("Client"));
    }
    // The records are written on close, past what the file may hold now.
    testing_support::FileSizeLimit limit(fs::file_size(table));
    store::sx_Close();
  };
  auto& w = accessWizard("N");
  w.click("cmdOk");
  EXPECT_EQ(messageTexts(), (std::vector<std::string>{"kan niet schrijven: " + table + ".",
                                                      "Probleem tijdens het recupereren van het klantenbestand"}));
  EXPECT_EQ(trace.back(), "customers:01") << "the run stops at the step";
  EXPECT_EQ(executionDone, 0);
  EXPECT_TRUE(kestrelUntouched());
#endif
}

// Whatever escapes a step is caught once, at the run's step boundary: the
// source's own message or the unexpected-error message (in the wizard's
// language only), then the step's fixed message; what escapes the run's own
// work between steps stops the run the same way. The wizard stays usable and
// nothing reaches the target.
TEST_F(StartChecks, ExceptionsEscapingAStepStopTheRunWithTheStepsMessage) {
  struct Case {
    std::string step, language;
    std::function<void()> thrower;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {"journals", "F", [] { throw base::SourceError("La colonne JrnlType manque"); },
       {"La colonne JrnlType manque", "Une erreur est survenue dans la création des journaux."}},
      {"openingEntries", "F", [] { throw std::runtime_error("disque plein"); },
       {"Une erreur inattendue est survenue : disque plein",
        "Une erreur est survenue dans l'importation de l'od d'ouverture d'exercice"}},
      {"yearDocuments", "N", [] { throw 42; },
       {"Er is een onverwachte fout opgetreden.",
        "Er is een fout ontstaan tijdens het importeren van de boekstukken van het boekjaar"}},
      // Post-processing has no fixed message: its failure is the one shown.
      {"completeDocumentAccounts", "F", [] { throw std::out_of_range("index"); },
       {"Une erreur inattendue est survenue : index"}},
      // Between the steps: the run's own call for the book years.
      {"lastBookYearIndex", "F", [] { throw 42; }, {"Une erreur inattendue est survenue."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    throwing = {{c.step, c.thrower}};
    ui.messages.clear();
    trace.clear();
    auto& w = accessWizard(c.language, true);
    w.click("OptCompta");
    w.click("cmdOk");
    EXPECT_EQ(messageTexts(), c.messages);
    const bool betweenSteps = c.step == "lastBookYearIndex";
    EXPECT_EQ(trace.empty() ? "" : trace.back(), betweenSteps ? "" : c.step + ":00") << "the run stops where it failed";
    EXPECT_TRUE(w.control("cmdOk").enabled);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(executionDone, 0);
    EXPECT_FALSE(targetWritten());
  }
}

TEST_F(StartChecks, SourceTableTheRunOpensForAStepFailsThatStep) {
  company.tables.erase("D_AcctSupplier");
  auto& w = accessWizard();
  w.click("cmdOk");
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_NE(ui.messages[0].text.find("D_AcctSupplier"), std::string::npos);
  EXPECT_EQ(messageTexts()[1], "Problème lors de la récupération des fournisseurs");
  EXPECT_TRUE(w.control("cmdOk").enabled);
  EXPECT_FALSE(ui.busy);
  EXPECT_FALSE(targetWritten());
}

}  // namespace
