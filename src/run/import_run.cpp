#include "run/import_run.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

#include "base/path.h"
#include "base/text.h"
#include "convert/entries/history_queries.h"
#include "run/source_discovery.h"
#include "store/dossier_name.h"
#include "store/dossier_placement.h"
#include "store/dossier_template.h"
#include "store/run_folder.h"

namespace run {
using namespace base;

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
    } catch (...) {
      // The run's own reading of the source (version, periods, documents)
      // failed, or something nobody foresaw: reported like any other failure,
      // so the wizard stays usable and the target untouched. Nothing may
      // escape: behind the C interface it would end the host's process.
      fail(handledErrorText(ctx_.french()));
    }
    return false;
  }

 private:
  std::string msg(const char* fr, const char* nl) const { return ctx_.french() ? fr : nl; }
  [[noreturn]] void stop(const std::string& message) const { throw RunStopped{message}; }

  // The step boundary, the one place where a step's exceptions are caught.
  // A step shows its own message and returns false; a source error escaping it
  // (a table or column the source lacks, a lost connection) is shown with the
  // source's message, anything else as an unexpected error. The run then stops
  // with the step's fixed message (fr / nl), or silently for the steps that
  // have none (post-processing, merge), whose failure was just shown.
  template <class Body>
  void step(const char* fr, const char* nl, Body&& body) {
    bool ok = false;
    try {
      ok = body();
    } catch (...) {
      view_.showImportError(handledErrorText(ctx_.french()));
    }
    if (!ok) stop(fr ? msg(fr, nl) : std::string());
  }
  template <class Body>
  void completion(Body&& body) {
    step(nullptr, nullptr, [&] {
      body();
      return true;
    });
  }

  void fail(const std::string& message) {
    releaseSource();
    // Tables closed before the run folder goes, so that no open file keeps it.
    svc_.closeAllTables();
    runFolder_.reset();
    if (busy_) ctx_.ui->setBusy(false);
    busy_ = false;
    if (message.empty()) {
      // Already reported: only the clean-up of the failure report.
      view_.enableWizardControls(true);
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
    dossierName_ = base::Trim(c_.dossierName);
    if (c_.kestrelFolder.empty() || dossierName_.empty())
      stop(msg("Le chemin du dossier Kestrel de destination doit être spécifié.",
               "Het pad van het bestemmingsdossier in Kestrel moet aangeduid worden."));

    if (const std::string refusal = store::dossierNameRefusal(dossierName_, c_.kestrelFolder, ctx_.language);
        !refusal.empty())
      stop(refusal);
    std::error_code ec;
    if (!std::filesystem::is_directory(store::nativePath(c_.kestrelFolder), ec))
      stop(msg("Le dossier ", "De map ") + c_.kestrelFolder + msg(" n'existe pas", " bestaat niet"));
    // What a killed run left behind goes first: a half-placed dossier would
    // otherwise stand in the way of this one.
    store::sweepStaleRunFolders(c_.kestrelFolder);
    if (const std::string refusal = store::targetRefusal(c_.kestrelFolder, dossierName_, ctx_.language);
        !refusal.empty())
      stop(refusal);

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
      databaseName = joinPath(c_.sourceFolder, base::Trim(item.substr(0, dash)) + "Soc.MDB");
      if (!sourceFileExists(databaseName))
        stop(msg("Le fichier ", "Het bestand ") + databaseName + msg(" n'existe pas", " bestaat niet"));
    }

    // Everything the run writes goes into a folder of its own until the
    // finished dossier moves into place.
    store::FileError notCreated;
    runFolder_ = store::RunFolder::create(c_.kestrelFolder, notCreated);
    if (!runFolder_)
      stop(msg("Impossible de créer un dossier de travail dans ", "Er kan geen werkmap aangemaakt worden in ") +
           c_.kestrelFolder + msg(" : ", ": ") + store::reasonText(notCreated.reason, ctx_.language) + ".");
    working_ = runFolder_->path();
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
        stop(msg("Le fichier ", "Het bestand ") + databaseName +
             msg(" ne peut pas être ouvert : ", " kan niet geopend worden: ") + e.text(ctx_.french()));
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
    ctx_.prefixedLayout = false;
    ctx_.sourceVersion.clear();
    ctx_.sourceMinorVersion.clear();
    ctx_.journals.clear();
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
    return ctx_.yearSource->query(convert::DocumentListQuery(convert::FormOf(ctx_), nn_));
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
                          base::MsgButtons::Ok, base::MsgIcon::Exclamation, "MarlinToKestrel");
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

  bool settleGeneralAccountLength() {
    const std::string found = steps_.queryGeneralAccountLength(ctx_);
    long length = std::strtol(base::Trim(found).c_str(), nullptr, 10);
    if (length < 4) length = 4;
    if (length > 8) length = 8;
    ctx_.generalAccountLength = std::to_string(length);
    return true;
  }

  // --- One pass ----------------------------------------------------------------
  // One conversion step of a pass: whether this pass runs it, the progress bar
  // while it runs, its fixed failure message (none for the run's own query),
  // and the call with the source rows it needs.
  struct PassStep {
    bool wanted;
    int progress;
    const char* failureFr;
    const char* failureNl;
    std::function<bool()> call;
  };

  // The steps of a pass in their fixed order: master data (categories, payment
  // codes, customers and suppliers in the first pass only), then the history
  // of a full import. The account length is settled once, before the company
  // parameters that store it.
  std::vector<PassStep> passSteps(const store::WorkingDossier& dossier) {
    const std::string& prefix = dossier.prefix;
    const bool full = c_.fullImport, firstPass = !masterDataDone_;
    const bool codeLists = firstPass && (full || c_.customers || c_.suppliers);
    return {
        {codeLists, 2, "Une erreur est survenue dans le transfert des categories de clients/fournisseurs",
         "Een foutje is ontstaan tijdens de overdracht van de klanten/leveranciers categories",
         [this, prefix] { return steps_.categories(ctx_, prefix); }},
        {codeLists, 3, "Une erreur est survenue dans le transfert des codes de conditions de paiement",
         "Een foutje is ontstaan tijdens de overdracht van de codes voor de betalingsvoorwaarden",
         [this, prefix] { return steps_.paymentCodes(ctx_, prefix); }},
        {std::strtol(ctx_.generalAccountLength.c_str(), nullptr, 10) == 0, 5, nullptr, nullptr,
         [this] { return settleGeneralAccountLength(); }},
        {true, 5, "Une erreur est survenue dans l'importation des paramètres",
         "Een foutje is ontstaan tijdens de import van de parameters",
         [this, &dossier] { return steps_.companyIdentity(ctx_, *dossierRows("dParam"), dossier.paramFile); }},
        {firstPass && (full || c_.customers), 10, "Problème lors de la récupération des clients",
         "Probleem tijdens het recupereren van het klantenbestand",
         [this, prefix] { return steps_.customers(ctx_, *dossierRows("AcctCustomer"), prefix); }},
        {firstPass && (full || c_.suppliers), 15, "Problème lors de la récupération des fournisseurs",
         "Probleem bij het ophalen van de leveranciers",
         [this, prefix] { return steps_.suppliers(ctx_, *dossierRows("AcctSupplier"), prefix); }},
        {full || c_.generalAccounts, 20, "Une erreur est survenue dans l'importation des comptes généraux.",
         "Er is een fout ontstaan bij het importeren van de algemene rekeningen.",
         [this, prefix] { return steps_.generalAccounts(ctx_, *dossierRows("AcctGeneral"), prefix); }},
        {true, 25, "Une erreur est survenue dans la récupération des paramètres des périodes.",
         "Er is een fout ontstaan bij het recupereren van de instellingen (periodes).",
         [this, prefix] { return steps_.bookYear(ctx_, *yearRows("Period"), prefix); }},
        {full, 35, "Une erreur est survenue dans la création des journaux.",
         "Er is een fout ontstaan bij het aanmaken van de dagboeken.",
         [this, prefix] { return steps_.journals(ctx_, *yearRows("journal"), prefix); }},
        {full, 40, "Une erreur est survenue dans l'importation de l'od d'ouverture d'exercice",
         "Er is een fout ontstaan tijdens het importeren van de heropening DP",
         [this, prefix] { return steps_.openingEntries(ctx_, prefix); }},
        {full, 50, "Une erreur est survenue dans l'importation des documents de l'exercice.",
         "Er is een fout ontstaan tijdens het importeren van de boekstukken van het boekjaar",
         [this, prefix] {
           auto documents = documentRows();
           progress(70);
           return steps_.yearDocuments(ctx_, *documents, prefix);
         }},
    };
  }

  void pass(int index) {
    ctx_.bookYearIndex = static_cast<int16_t>(index);
    const std::string yearDbPath = olderLayout() ? svc_.perYearDatabasePath(sourceKey_, index) : std::string();
    nn_ = base::twoDigits(index);
    const store::WorkingDossier dossier = store::workingDossier(working_, index);
    const std::string& prefix = dossier.prefix;
    const std::string& paramFile = dossier.paramFile;

    if (!svc_.prepareWorkingDossier(ctx_.ui, working_, index, ctx_.language)) stop("");

    // The message names the book year's own file, where a fixed "Axx" would
    // leave the person guessing which one is missing.
    if (olderLayout() && yearDbPath.empty())
      stop(msg("Impossible de trouver le fichier contenant les données comptables de Marlin: ",
               "Onmogelijk om het bestand van Marlin te openen") +
           "\r\n" + sourceKey_ + "A" + nn_ + ".MDB");
    if (!sourceFileExists(paramFile))
      stop(msg("Le fichier ", "Het bestand ") + paramFile + msg(" n'existe pas", " bestaat niet"));

    readVersion();
    if (olderLayout()) {
      yearDb_ = svc_.openAccess(yearDbPath);
      ctx_.yearSource = yearDb_.get();
    }
    view_.setPhase(bookYearLabel());

    for (const PassStep& row : passSteps(dossier)) {
      if (!row.wanted) continue;
      progress(row.progress);
      step(row.failureFr, row.failureNl, row.call);
    }
    masterDataDone_ = true;
    if (c_.fullImport) {
      progress(80);
      if (!sql_) progress(90);
    }

    progress(100);
    view_.enableWizardControls(true);
    view_.clearStepLabel();

    completion([&] { steps_.dossierLanguages(ctx_, prefix); });
    if (c_.fullImport) completion([&] { steps_.completeDocumentAccounts(ctx_, prefix); });
    if (!ctx_.journals.foreignCurrency.empty()) completion([&] { steps_.completeCurrencyAmounts(ctx_, prefix); });

    ctx_.yearSource = company_.get();
    yearDb_.reset();
  }

  // --- After the loop ------------------------------------------------------------
  void finish() {
    releaseSource();
    int placed = lastIndex_;
    const bool twoYears = c_.fullImport && lastIndex_ >= 1;
    if (twoYears) {
      view_.setPhase("Fusion for 2 years");
      step("Une erreur est survenue dans la fusion des deux exercices.",
           "Er is een fout ontstaan bij het samenvoegen van de twee boekjaren.",
           [&] { return steps_.mergeYears(ctx_, working_, lastIndex_ - 1, lastIndex_); });
      placed = lastIndex_ - 1;
    } else {
      view_.setPhase("Copying...");
    }
    svc_.closeAllTables();
    if (!svc_.placeDossier(ctx_.ui, store::Placement{working_, placed, twoYears, c_.kestrelFolder, dossierName_,
                                                     ctx_.language}))
      stop("");
    runFolder_.reset();

    view_.setPhase("Terminated...");
    ctx_.ui->messageBox(msg("L'importation s'est déroulée correctement", "Import OK!"), base::MsgButtons::Ok,
                        base::MsgIcon::None, "");
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
  std::unique_ptr<store::RunFolder> runFolder_;
  std::string sourceKey_, dossierName_, working_, nn_;
  int firstIndex_ = 0, lastIndex_ = 0;
  bool busy_ = false;
  bool masterDataDone_ = false;  // customers, suppliers and code lists are taken once
};

}  // namespace

bool runImport(RunContext& ctx, const RunChoices& choices, RunView& view, const Steps& steps,
               const Services& services) {
  return ImportRun(ctx, choices, view, steps, services).run();
}

}  // namespace run
