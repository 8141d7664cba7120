#include "run/import_run.h"

#include <cstdlib>
#include <exception>
#include <memory>

#include "convert/master/text.h"
#include "run/path_lookup.h"
#include "run/source_discovery.h"

namespace run {

namespace {

// Stops the run: carries the message to the failure report.
struct RunStopped {
  std::string message;  // empty when the failing part has shown its own
};

class ImportRun {
 public:
  ImportRun(RunContext& ctx, const RunChoices& choices, RunView& view, const Steps& steps,
            const Services& services)
      : ctx_(ctx), c_(choices), view_(view), steps_(steps), svc_(services), sql_(ctx.isVersionSql) {}

  bool run() {
    try {
      start();
      for (int index = firstIndex_; index <= lastIndex_; ++index) {
        // A master-data import makes exactly one pass, on the newest book year.
        if (!c_.fullImport) index = lastIndex_;
        pass(index);
      }
      finish();
      return true;
    } catch (const RunStopped& stop) {
      fail(stop.message);
    } catch (const std::exception& e) {
      // A source or engine error outside a tested result: report it like any
      // other failure, so the wizard stays usable and the target untouched.
      fail(msg("Une erreur inattendue est survenue : ", "Er is een onverwachte fout opgetreden: ") + messageOf(e, ctx_.french()));
    }
    return false;
  }

 private:
  std::string msg(const char* fr, const char* nl) const { return ctx_.french() ? fr : nl; }
  [[noreturn]] void stop(const std::string& message) const { throw RunStopped{message}; }

  void fail(const std::string& message) {
    releaseSource();
    if (busy_) ctx_.ui->setBusy(false);
    busy_ = false;
    if (message.empty()) {
      // Already reported: only the clean-up of the failure report.
      view_.enableWizardControls(true);
      svc_.closeAllTables();
    } else {
      view_.showImportError(message);
    }
  }

  void releaseSource() {
    ctx_.source = nullptr;
    ctx_.yearSource = nullptr;
    yearDb_.reset();
    company_.reset();
  }

  void progress(int value) { view_.setProgress(value); }

  // --- Start of the run ------------------------------------------------------
  void start() {
    resetRunState();
    svc_.prepareEngine();
    view_.enableWizardControls(false);

    const std::string code = ctx_.companyCode;
    const std::string noSource = msg("Le fichier Marlin à récupérer doit être spécifié.",
                                     "Het te recupereren Marlin bestand moet aangeduid worden.");
    if (sql_) {
      sourceKey_ = "PW0" + code + "SOC";
      if (code.empty()) stop(noSource);
    } else {
      if (c_.sourceFolder.empty() || code.empty()) stop(noSource);
      sourceKey_ = joinPath(c_.sourceFolder, code);
    }

    // A name of blanks only counts as empty: it would make the Kestrel data
    // folder itself the target.
    dossierName_ = convert::Trim(c_.dossierName);
    if (c_.kestrelFolder.empty() || dossierName_.empty())
      stop(msg("Le chemin du dossier Kestrel de destination doit être spécifié.",
               "Het pad van het bestemmingsdossier in Kestrel moet aangeduid worden."));

    target_ = joinPath(c_.kestrelFolder, dossierName_);
    if (sourceFileExists(joinPath(target_, dossierName_ + "_PARAM.DBF")))
      stop(msg("Le chemin du dossier Kestrel de destination doit être vide, veuillez le supprimer via Kestrel.",
               "Het pad van het bestemmingsdossier in Kestrel moet leeg zijn."));
    working_ = c_.kestrelFolder;

    if (!c_.fullImport && !c_.customers && !c_.suppliers && !c_.generalAccounts)
      stop(msg("Vous devez sélectionner le(s) signalétique(s) à récupérer.",
               "U moet de te recupereren signalementgegevens kiezen."));
    std::string databaseName;
    if (sql_) {
      databaseName = sourceKey_;
      bool reachable = false;
      try {
        reachable = svc_.openSql(c_.sql, databaseName) != nullptr;
      } catch (const SourceError&) {
      }
      if (!reachable)
        stop(msg("Le base de données ", "De databestanden ") + sourceKey_ + msg(" n'existe pas", " bestaat niet"));
    } else {
      std::string item = c_.companyItem;
      auto dash = item.find('-');
      databaseName = joinPath(c_.sourceFolder, convert::Trim(item.substr(0, dash)) + "Soc.MDB");
      if (!sourceFileExists(databaseName))
        stop(msg("Le fichier ", "Het bestand ") + sourceKey_ + msg(" n'existe pas", " bestaat niet"));
    }

    if (!svc_.createTemplateDossier(ctx_.ui, working_, ctx_.language)) stop("");

    if (sql_) {
      try {
        company_ = svc_.openSql(c_.sql, databaseName);
      } catch (const SourceError&) {
      }
      if (!company_)
        stop(msg("Le base de données ", "Het databestand ") + sourceKey_ +
             msg(" ne veux pas s'ouvrir", " kan niet geopend worden"));
      ctx_.prefixedLayout = true;
      if (!company_->hasTable("A_00_PERIOD"))
        stop(msg("Les tables contenant les données de l'exercice ne sont pas présentes dans la base de données",
                 "De bestanden met de gegevens van het boekjaar zijn niet aanwezig in de databank"));
    } else {
      try {
        company_ = svc_.openAccess(databaseName);
      } catch (const SourceError& e) {
        stop(msg("Le fichier ", "Het bestand ") + sourceKey_ +
             msg(" ne peut pas être ouvert : ", " kan niet geopend worden: ") + e.message(ctx_.french()));
      }
      ctx_.prefixedLayout = svc_.checkVersionSe(*company_);
    }
    ctx_.source = company_.get();
    ctx_.yearSource = company_.get();

    ctx_.ui->setBusy(true);
    busy_ = true;
    lastIndex_ = svc_.lastBookYearIndex(company_.get(), sql_, ctx_.prefixedLayout, sourceKey_);
    firstIndex_ = lastIndex_ > 0 ? lastIndex_ - 1 : 0;
    ctx_.generalAccountLength = "0";
  }

  void resetRunState() {
    ctx_.generalAccountLength = "0";
    ctx_.masterDataDone = false;
    ctx_.prefixedLayout = false;
    ctx_.sourceVersion.clear();
    ctx_.sourceMinorVersion.clear();
    ctx_.foreignCurrencyJournalList.clear();
    ctx_.financialAccountList.clear();
    ctx_.clearJournalRegistry();
    ctx_.sourceClosingPeriod.clear();
    ctx_.documentOrderCounter.clear();
  }

  // --- Source rows -----------------------------------------------------------
  bool olderLayout() const { return !sql_ && !ctx_.prefixedLayout; }

  // A dossier-wide table ("D_" tables, bare names in the older layout).
  std::unique_ptr<RowSet> dossierRows(const std::string& name) {
    if (sql_) return company_->query("SELECT * FROM D_" + name);
    return company_->openTable(ctx_.prefixedLayout ? "D_" + name : name);
  }

  // A book-year table ("A_nn_" tables, the per-year database in the older layout).
  std::unique_ptr<RowSet> yearRows(const std::string& name) {
    const std::string prefixed = "A_" + nn_ + "_" + name;
    if (sql_) return company_->query("SELECT * FROM " + prefixed);
    if (ctx_.prefixedLayout) return company_->openTable(prefixed);
    return yearDb_->openTable(name);
  }

  std::unique_ptr<RowSet> documentRows() {
    const std::string fields =
        "Historic.JrnlID, Historic.JrnlType, Historic.JrnlSubType, Historic.Doc, Historic.Period, Historic.DocDate";
    if (olderLayout()) return yearDb_->query("SELECT " + fields + " From Historic GROUP BY " + fields);
    return company_->query("SELECT " + fields + " From A_" + nn_ + "_Historic AS Historic GROUP BY " + fields);
  }

  void readVersion() {
    auto rows = sql_ ? company_->query("SELECT * FROM D_Version") : company_->openTable("version");
    if (rows->eof()) return;
    const Value major = rows->field("Major"), minor = rows->field("Minor"), build = rows->field("Build");
    const std::string joined = major.asText() + "." + minor.asText() + "." + build.asText();
    if (sql_) {
      ctx_.sourceVersion = joined;
      return;
    }
    ctx_.sourceMinorVersion = minor.asText();
    if (major.asInt() == 1 && minor.asInt() < 50) {
      ctx_.ui->messageBox(msg("Ce Programme n'a été testé qu'avec les fichier Marlin 1.50 et supérieurs.",
                              "Dit programma recupereert enkel de Marlin bestanden van de versie 1.50 en hoger."),
                          host::MsgButtons::Ok, host::MsgIcon::Exclamation, "MarlinToKestrel");
    } else {
      ctx_.sourceVersion = joined;
    }
  }

  std::string bookYearLabel() {
    auto periods = yearRows("Period");
    std::string year;
    if (!periods->eof()) {
      Value begin = periods->field("BeginDate");
      if (begin.kind == Value::Kind::DateTime) {
        year = std::to_string(begin.date.year);
      } else {
        std::string text = begin.asText();
        auto space = text.find(' ');
        if (space != std::string::npos) text.resize(space);
        year = text.size() >= 4 ? text.substr(text.size() - 4) : text;
      }
    }
    return "Dossier Ex. " + year;
  }

  void settleGeneralAccountLength() {
    const std::string found = steps_.queryGeneralAccountLength(ctx_);
    long length = std::strtol(convert::Trim(found).c_str(), nullptr, 10);
    if (length < 4) length = 4;
    if (length > 8) length = 8;
    ctx_.generalAccountLength = std::to_string(length);
  }

  // --- One pass ----------------------------------------------------------------
  void pass(int index) {
    ctx_.bookYearIndex = static_cast<int16_t>(index);
    const std::string yearDbPath = olderLayout() ? svc_.perYearDatabasePath(sourceKey_, index) : std::string();
    nn_ = convert::TwoDigits(index);
    const std::string yearName = "VIDE" + nn_;
    const std::string yearFolder = joinPath(working_, yearName);
    const std::string prefix = joinPath(yearFolder, yearName);
    const std::string paramFile = prefix + "_PARAM.DBF";

    svc_.prepareWorkingDossier(ctx_.ui, working_, index);

    if (olderLayout() && yearDbPath.empty())
      stop(msg("Impossible de trouver le fichier contenant les données comptables de Marlin: ",
               "Onmogelijk om het bestand van Marlin te openen") +
           "\r\n" + sourceKey_ + "Axx.MDB");
    if (!sourceFileExists(paramFile))
      stop(msg("Le fichier ", "Het bestand ") + paramFile + msg(" n'existe pas", " bestaat niet"));

    readVersion();
    if (olderLayout()) {
      yearDb_ = svc_.openAccess(yearDbPath);
      ctx_.yearSource = yearDb_.get();
    }
    view_.setPhase(bookYearLabel());

    const bool master = !c_.fullImport;
    auto required = [&](bool ok, const char* fr, const char* nl) {
      if (!ok) stop(msg(fr, nl));
    };

    if (!ctx_.masterDataDone && (!master || c_.customers || c_.suppliers)) {
      progress(2);
      required(steps_.categories(ctx_, prefix),
               "Une erreur est survenue dans le transfert des categories de clients/fournisseurs",
               "Een foutje is ontstaan tijdens de overdracht van de klanten/leveranciers categories");
      progress(3);
      required(steps_.paymentCodes(ctx_, prefix),
               "Une erreur est survenue dans le transfert des codes de conditions de paiement",
               "Een foutje is ontstaan tijdens de overdracht van de codes voor de betalingsvoorwaarden");
    }
    if (std::strtol(ctx_.generalAccountLength.c_str(), nullptr, 10) == 0) settleGeneralAccountLength();
    progress(5);

    {
      auto params = dossierRows("dParam");
      required(steps_.companyIdentity(ctx_, *params, paramFile),
               "Une erreur est survenue dans l'importation des paramètres",
               "Een foutje is ontstaan tijdens de import van de parameters");
    }
    progress(10);

    if (!ctx_.masterDataDone && (!master || c_.customers)) {
      auto rows = dossierRows("AcctCustomer");
      required(steps_.customers(ctx_, *rows, prefix), "Problème lors de la récupération des clients",
               "Probleem tijdens het recupereren van het klantenbestand");
    }
    progress(15);
    if (!ctx_.masterDataDone && (!master || c_.suppliers)) {
      auto rows = dossierRows("AcctSupplier");
      required(steps_.suppliers(ctx_, *rows, prefix), "Problème lors de la récupération des fournisseurs",
               "Probleem bij het ophalen van de leveranciers");
    }
    progress(20);
    if (!master || c_.generalAccounts) {
      auto rows = dossierRows("AcctGeneral");
      required(steps_.generalAccounts(ctx_, *rows, prefix),
               "Une erreur est survenue dans l'importation des comptes généraux.",
               "Er is een fout ontstaan bij het importeren van de algemene rekeningen.");
    }
    ctx_.masterDataDone = true;
    progress(22);
    progress(25);

    {
      auto rows = yearRows("Period");
      required(steps_.bookYear(ctx_, *rows, prefix),
               "Une erreur est survenue dans la récupération des paramètres des périodes.",
               "Er is een fout ontstaan bij het recupereren van de instellingen (periodes).");
    }
    progress(35);

    if (!master) {
      {
        auto rows = yearRows("journal");
        required(steps_.journals(ctx_, *rows, prefix), "Une erreur est survenue dans la création des journaux.",
                 "Er is een fout ontstaan bij het aanmaken van de dagboeken.");
      }
      progress(40);
      required(steps_.openingEntries(ctx_, prefix),
               "Une erreur est survenue dans l'importation de l'od d'ouverture d'exercice",
               "Er is een fout ontstaan tijdens het importeren van de heropening DP");
      progress(50);
      {
        auto documents = documentRows();
        progress(70);
        required(steps_.yearDocuments(ctx_, *documents, prefix),
                 "Une erreur est survenue dans l'importation des documents de l'exercice.",
                 "Er is een fout ontstaan tijdens het importeren van de boekstukken van het boekjaar");
        progress(80);
      }
      if (!sql_) progress(90);
    }

    progress(100);
    view_.enableWizardControls(true);
    view_.clearStepLabel();

    steps_.dossierLanguages(ctx_, prefix);
    if (!master) steps_.completeDocumentAccounts(ctx_, prefix);
    if (!ctx_.foreignCurrencyJournalList.empty()) steps_.completeCurrencyAmounts(ctx_, prefix);

    ctx_.yearSource = company_.get();
    yearDb_.reset();
  }

  // --- After the loop ------------------------------------------------------------
  void finish() {
    releaseSource();
    int placed = lastIndex_;
    if (c_.fullImport && lastIndex_ >= 1) {
      view_.setPhase("Fusion for 2 years");
      steps_.mergeYears(ctx_, working_, lastIndex_ - 1, lastIndex_);
      placed = lastIndex_ - 1;
    } else {
      svc_.closeAllTables();
      view_.setPhase("Copying...");
    }
    svc_.placeDossier(ctx_.ui, working_, placed, dossierName_);

    view_.setPhase("Terminated...");
    ctx_.ui->messageBox(msg("L'importation s'est déroulée correctement", "Import OK!"), host::MsgButtons::Ok,
                        host::MsgIcon::None, "");
    view_.raiseExecutionDone();
    ctx_.ui->setBusy(false);
    busy_ = false;
    view_.unload();
  }

  RunContext& ctx_;
  const RunChoices& c_;
  RunView& view_;
  const Steps& steps_;
  const Services& svc_;
  const bool sql_;

  std::unique_ptr<Source> company_, yearDb_;
  std::string sourceKey_, dossierName_, target_, working_, nn_;
  int firstIndex_ = 0, lastIndex_ = 0;
  bool busy_ = false;
};

}  // namespace

bool runImport(RunContext& ctx, const RunChoices& choices, RunView& view, const Steps& steps,
               const Services& services) {
  return ImportRun(ctx, choices, view, steps, services).run();
}

}  // namespace run
