#include "run/import_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "base/path.h"
#include "base/text.h"
#include "convert/entries/history_queries.h"
#include "run/counting_source.h"
#include "run/file_digest.h"
#include "run/pass_recorder.h"
#include "run/report_writer.h"
#include "run/source_discovery.h"
#include "store/dossier_name.h"
#include "store/dossier_placement.h"
#include "store/dossier_template.h"
#include "store/run_folder.h"
#include "store/table_report.h"

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
    beginReport();
    bool ok = false;
    try {
      start();
      if (passesSideBySide()) {
        startSecondPass();
        pass(firstIndex_);
        joinSecondPass();
      } else {
        for (int index = firstIndex_; index <= lastIndex_; ++index) {
          // A master-data import makes exactly one pass, on the newest book year.
          if (!c_.fullImport) index = lastIndex_;
          pass(index);
        }
      }
      finish();
      ok = true;
    } catch (const RunStopped& stop) {
      abandonSecondPass();
      fail(stop.message);
    } catch (...) {
      // The run's own reading of the source (version, periods, documents)
      // failed, or something nobody foresaw: reported like any other failure,
      // so the wizard stays usable and the target untouched. Nothing may
      // escape: behind the C interface it would end the host's process.
      abandonSecondPass();
      fail(handledErrorText(ctx_.french()));
    }
    removeScratch();
    return ok;
  }

 private:
  std::string msg(const char* fr, const char* nl) const { return ctx_.french() ? fr : nl; }
  [[noreturn]] void stop(const std::string& message) const { throw RunStopped{message}; }

  // The step boundary, the one place where a step's exceptions are caught.
  // A step shows its own message and returns false; a source error escaping it
  // (a table or column the source lacks, a lost connection) is shown with the
  // source's message, anything else as an unexpected error. The run then stops
  // with the step's fixed message (fr / nl), or silently for the steps that
  // have none (post-processing, merge), whose failure was just shown. Each
  // step is a section of the report: its time, the source rows it read and
  // the records it added to the working dossier.
  template <class Body>
  void step(const char* name, const char* fr, const char* nl, Body&& body, bool shared = false) {
    // The older year failed: the newer one, converted beside it, stops too.
    if (cancelled_ && *cancelled_) stop("");
    const int bookYear = inPass_ ? ctx_.bookYearIndex : -1;
    report_.beginStep(name, bookYear, shared);
    const auto before = recordCounts();
    const auto started = std::chrono::steady_clock::now();
    bool ok = false;
    try {
      ok = body() && tablesWritten();
    } catch (const QuestionAsked&) {
      throw;  // the book year is converted again where the person can answer
    } catch (...) {
      view_.showImportError(handledErrorText(ctx_.french()));
    }
    for (const auto& [table, count] : recordCounts()) {
      const auto was = before.find(table);
      const long added = count - (was == before.end() ? 0 : was->second);
      if (added != 0) report_.rowsWritten(table, added);
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    report_.endStep(took + std::exchange(stepTimeElsewhere_, 0.0), ok);
    if (!ok) stop(fr ? msg(fr, nl) : std::string());
    showRepeatedMessages();
  }

  // The original tests no result of the engine's writing calls, nor of the
  // post-processing steps, and goes on: under a full disk a step's table was
  // left half written, "Impossible d 'ouvrir le fichier ACT" was shown and the
  // run carried on towards its success message. Here a table a step could
  // not write fails that step, so that no run reports success over it.
  bool tablesWritten() {
    const std::string failure = svc_.tableWriteFailure ? svc_.tableWriteFailure(ctx_.language) : std::string();
    if (failure.empty()) return true;
    view_.showImportError(failure);
    return false;
  }

  // Records of the tables of the dossier being filled.
  std::map<std::string, long> recordCounts() const {
    if (dossierFolder_.empty()) return {};
    return store::tableRecordCounts(store::nativePath(dossierFolder_));
  }

  // A message a step used to show once per case (one box per document) is
  // shown once, at the end of the step, with the number of cases; every case
  // is listed in the report. This departs from the original on purpose: a
  // dossier with many such documents asked the user to close hundreds of
  // boxes, and the cases were lost as soon as each box was closed.
  void showRepeatedMessages() {
    for (RepeatedMessage* r : report_.unshownRepeats()) {
      r->shown = true;
      ctx_.ui->messageBox(r->text(), base::MsgButtons::Ok, base::MsgIcon::None, r->title);
    }
  }

  // The handed rows are counted for the report as the step reads them.
  std::unique_ptr<RowSet> counted(std::unique_ptr<RowSet> rows) {
    return std::make_unique<CountingRowSet>(std::move(rows), report_);
  }

  void fail(const std::string& message) {
    releaseSource();
    // Tables closed before the run folder goes, so that no open file keeps it.
    svc_.closeAllTables();
    for (const std::string& file : deferredIndexes_) svc_.dropDeferredIndex(file);
    deferredIndexes_.clear();
    runFolder_.reset();
    if (busy_) ctx_.ui->setBusy(false);
    busy_ = false;
    // The report goes where the Kestrel folder stays untouched; the last
    // message says where.
    std::string reportLine;
    writeReport(outsideReportFolder(), message, false, reportLine);
    if (message.empty()) {
      // Already reported: only the clean-up of the failure report, and where the report is.
      view_.enableWizardControls(true);
      ctx_.ui->finalMessage(reportLine, base::MsgIcon::Information, "", report_.textFile);
    } else {
      view_.showFinalError(message + "\r\n\r\n" + reportLine, report_.textFile);
    }
  }

  void releaseSource() {
    ctx_.source = nullptr;
    ctx_.yearSource = nullptr;
    countingYear_.reset();
    countingCompany_.reset();
    yearDb_.reset();
    company_.reset();
  }

  // --- The report ----------------------------------------------------------------
  void beginReport() {
    report_.begin(c_.checkOnly ? RunReport::Kind::SourceCheck : RunReport::Kind::Import, ctx_.language);
    report_.fullImport = c_.fullImport;
    report_.customers = c_.fullImport || c_.customers;
    report_.suppliers = c_.fullImport || c_.suppliers;
    report_.generalAccounts = c_.fullImport || c_.generalAccounts;
    report_.source.edition = sql_ ? "sql" : "access";
    report_.source.company = ctx_.companyCode;
    if (sql_) report_.source.server = c_.sql.server;
  }

  void noteSourceFile(const std::string& path) {
    SourceFile file;
    file.path = store::nativePath(path).string();
    if (fileDigest(file.path, file.sha256, file.bytes)) report_.source.files.push_back(file);
  }

  std::string outsideReportFolder() const { return c_.reportFolder.empty() ? defaultReportFolder() : c_.reportFolder; }

  // Writes the report with `message` as the run's last message, followed by
  // `line`, which names the report. False when the files could not be
  // written; `line` then says why.
  bool writeReport(const std::string& folder, const std::string& message, bool succeeded, std::string& line) {
    std::string name;
    if (c_.checkOnly)
      name = "MARLIN" + ctx_.companyCode + "_CHECK_" + fileTime(report_.startTime());
    else if (succeeded)
      name = "VIDE" + base::twoDigits(placedIndex_) + "_MIGRATION";
    else
      name =
          (dossierName_.empty() ? std::string("MARLIN") : dossierName_) + "_MIGRATION_" + fileTime(report_.startTime());
    // Named as it will be found: inside the dossier under the dossier's name.
    const std::string shownPath = succeeded && !c_.checkOnly ? joinPath(targetFolder(), dossierName_ + "_MIGRATION.txt")
                                                             : joinPath(folder, name + ".txt");
    line = (c_.checkOnly ? msg("Rapport du contrôle : ", "Controlerapport: ")
                         : msg("Rapport de migration : ", "Migratierapport: ")) +
           store::nativePath(shownPath).string();
    report_.setLastMessage(message.empty() ? line : message + "\r\n\r\n" + line,
                           succeeded ? base::MsgIcon::None : base::MsgIcon::Exclamation);
    report_.finish(succeeded);
    std::string failed;
    if (writeReportFiles(report_, store::nativePath(folder).string(), name, failed)) return true;
    const bool full = !store::fullDiskNote(folder, ctx_.language).empty();
    line = store::fileErrorMessage(
        "write",
        store::FileError{failed, std::make_error_code(full ? std::errc::no_space_on_device : std::errc::io_error)},
        ctx_.language);
    return false;
  }

  std::string targetFolder() const { return joinPath(c_.kestrelFolder, dossierName_); }

  void removeScratch() {
    if (scratch_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(scratch_, ec);
    scratch_.clear();
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

    chooseTarget();
    if (!c_.fullImport && !c_.customers && !c_.suppliers && !c_.generalAccounts)
      stop(msg("Vous devez sélectionner le(s) signalétique(s) à récupérer.",
               "U moet de te recupereren signalementgegevens kiezen."));
    findCompanyDatabase();
    createWorkingDossier();
    openSource();

    ctx_.ui->setBusy(true);
    busy_ = true;
    lastIndex_ = svc_.lastBookYearIndex(company_.get(), sql_, ctx_.prefixedLayout, sourceKey_);
    firstIndex_ = lastIndex_ > 0 ? lastIndex_ - 1 : 0;
    ctx_.generalAccountLength = "0";
  }

  // The dossier folder the run will fill, refused before any work when its
  // name or what stands in its place forbids it.
  void chooseTarget() {
    if (c_.checkOnly) {
      // A source check converts into a private folder of its own, removed at
      // the end; no Kestrel folder is read or written.
      scratch_ =
          std::filesystem::temp_directory_path() / ("marlin2kestrel-check-" + std::to_string(std::random_device{}()));
      std::filesystem::create_directories(scratch_);
      dossierName_ = "CHECK";
      working_ = scratch_.string();
    } else {
      // A name of blanks only counts as empty: it would make the Kestrel data
      // folder itself the target.
      dossierName_ = base::Trim(c_.dossierName);
      if (c_.kestrelFolder.empty() || dossierName_.empty())
        stop(msg("Le chemin du dossier Kestrel de destination doit être spécifié.",
                 "Het pad van het bestemmingsdossier in Kestrel moet aangeduid worden."));

      if (const std::string refusal = store::dossierNameRefusal(dossierName_, c_.kestrelFolder, ctx_.language);
          !refusal.empty())
        stop(refusal);
      report_.target.kestrelFolder = store::nativePath(c_.kestrelFolder).string();
      report_.target.dossier = dossierName_;
      report_.target.folder = store::nativePath(targetFolder()).string();
      std::error_code ec;
      if (!std::filesystem::is_directory(store::nativePath(c_.kestrelFolder), ec))
        stop(msg("Le dossier ", "De map ") + c_.kestrelFolder + msg(" n'existe pas", " bestaat niet"));
      // What a killed run left behind goes first: a half-placed dossier would
      // otherwise stand in the way of this one.
      store::sweepStaleRunFolders(c_.kestrelFolder);
      if (const std::string refusal = store::targetRefusal(c_.kestrelFolder, dossierName_, ctx_.language);
          !refusal.empty())
        stop(refusal);
    }
  }

  void findCompanyDatabase() {
    if (sql_) {
      databaseName_ = sourceKey_;
      bool reachable = false;
      try {
        reachable = svc_.openSql(c_.sql, databaseName_) != nullptr;
      } catch (const SourceError&) {
      }
      if (!reachable)
        stop(msg("Le base de données ", "De databestanden ") + sourceKey_ + msg(" n'existe pas", " bestaat niet"));
    } else {
      std::string item = c_.companyItem;
      auto dash = item.find('-');
      databaseName_ = joinPath(c_.sourceFolder, base::Trim(item.substr(0, dash)) + "Soc.MDB");
      if (!sourceFileExists(databaseName_))
        stop(msg("Le fichier ", "Het bestand ") + databaseName_ + msg(" n'existe pas", " bestaat niet"));
    }
  }

  void createWorkingDossier() {
    // Everything the run writes goes into a folder of its own until the
    // finished dossier moves into place (a source check's is its own already).
    if (!c_.checkOnly) {
      store::FileError notCreated;
      runFolder_ = store::RunFolder::create(c_.kestrelFolder, notCreated);
      if (!runFolder_)
        stop(msg("Impossible de créer un dossier de travail dans ", "Er kan geen werkmap aangemaakt worden in ") +
             c_.kestrelFolder + msg(" : ", ": ") + store::reasonText(notCreated.reason, ctx_.language) + ".");
      working_ = runFolder_->path();
    }
    if (!svc_.createTemplateDossier(ctx_.ui, working_, ctx_.language)) stop("");
  }

  // The company database (the source itself in the SQL edition), opened by
  // each pass that runs on a thread of its own; its files are noted (and
  // their digests taken) once.
  void openSource(bool noteFiles = true) {
    const std::string& databaseName = databaseName_;
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
      const std::string common = joinPath(c_.sourceFolder, "Common.mdb");
      if (noteFiles && sourceFileExists(common)) noteSourceFile(common);
      if (noteFiles) noteSourceFile(databaseName);
    }
    report_.source.database = sql_ ? databaseName : std::string();
    report_.source.layout = ctx_.prefixedLayout ? "prefixed" : "older";
    countingCompany_ = std::make_unique<CountingSource>(*company_, report_);
    ctx_.source = countingCompany_.get();
    ctx_.yearSource = countingCompany_.get();
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
    return ctx_.yearSource->query(convert::documentListQuery(convert::formOf(ctx_), nn_));
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
    report_.target.generalAccountLength = ctx_.generalAccountLength;
    return true;
  }

  SourceTables sourceTables() const {
    return {company_.get(), yearDb_ ? yearDb_.get() : company_.get(), sql_, ctx_.prefixedLayout, nn_};
  }

  // The source side of the reconciliation, read with its own queries before
  // the steps touch the book year.
  void readSourceSide(int index) {
    const bool twoYears = c_.fullImport && lastIndex_ >= 1;
    const int bookYear = twoYears && index == lastIndex_ ? 2 : 1;
    report_.bookYears.push_back({index, bookYear, phase_});
    if (!svc_.readSourceBooks) return;
    step("reconciliation", "La réconciliation n'a pas pu lire la source.", "De afstemming kon de bron niet lezen.",
         [&] {
           if (!masterDataDone_ && svc_.readSourceMasterData) sourceMaster_ = svc_.readSourceMasterData(sourceTables());
           if (c_.fullImport)
             sourceYears_.push_back(svc_.readSourceBooks(sourceTables(), index, bookYear, bookYear == 1));
           return true;
         });
  }

  // --- One pass ----------------------------------------------------------------
  // One conversion step of a pass: whether this pass runs it, the progress bar
  // while it runs, its fixed failure message (none for the run's own query),
  // and the call with the source rows it needs.
  struct PassStep {
    const char* name;  // in the report
    bool wanted;
    int progress;
    const char* failureFr;
    const char* failureNl;
    std::function<bool()> call;
    // Run in both passes into a table the merged dossier holds once (see
    // base::RunReport::beginStep).
    bool shared = false;
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
        {"categories", codeLists, 2, "Une erreur est survenue dans le transfert des categories de clients/fournisseurs",
         "Een foutje is ontstaan tijdens de overdracht van de klanten/leveranciers categories",
         [this, prefix] { return steps_.categories(ctx_, prefix); }},
        {"payment-codes", codeLists, 3, "Une erreur est survenue dans le transfert des codes de conditions de paiement",
         "Een foutje is ontstaan tijdens de overdracht van de codes voor de betalingsvoorwaarden",
         [this, prefix] { return steps_.paymentCodes(ctx_, prefix); }},
        {"account-length", std::strtol(ctx_.generalAccountLength.c_str(), nullptr, 10) == 0, 5, nullptr, nullptr,
         [this] { return settleGeneralAccountLength(); }},
        {"company-identity", true, 5, "Une erreur est survenue dans l'importation des paramètres",
         "Een foutje is ontstaan tijdens de import van de parameters",
         [this, &dossier] { return steps_.companyIdentity(ctx_, *counted(dossierRows("dParam")), dossier.paramFile); }},
        {"customers", firstPass && (full || c_.customers), 10, "Problème lors de la récupération des clients",
         "Probleem tijdens het recupereren van het klantenbestand",
         [this, prefix] { return steps_.customers(ctx_, *counted(dossierRows("AcctCustomer")), prefix); }},
        {"suppliers", firstPass && (full || c_.suppliers), 15, "Problème lors de la récupération des fournisseurs",
         "Probleem bij het ophalen van de leveranciers",
         [this, prefix] { return steps_.suppliers(ctx_, *counted(dossierRows("AcctSupplier")), prefix); }},
        {"general-accounts", full || c_.generalAccounts, 20,
         "Une erreur est survenue dans l'importation des comptes généraux.",
         "Er is een fout ontstaan bij het importeren van de algemene rekeningen.",
         [this, prefix] { return steps_.generalAccounts(ctx_, *counted(dossierRows("AcctGeneral")), prefix); },
         true},
        {"book-year", true, 25, "Une erreur est survenue dans la récupération des paramètres des périodes.",
         "Er is een fout ontstaan bij het recupereren van de instellingen (periodes).",
         [this, prefix] { return steps_.bookYear(ctx_, *counted(yearRows("Period")), prefix); }},
        {"journals", full, 35, "Une erreur est survenue dans la création des journaux.",
         "Er is een fout ontstaan bij het aanmaken van de dagboeken.",
         [this, prefix] { return steps_.journals(ctx_, *counted(yearRows("journal")), prefix); }},
        {"opening-entries", full, 40, "Une erreur est survenue dans l'importation de l'od d'ouverture d'exercice",
         "Er is een fout ontstaan tijdens het importeren van de heropening DP",
         [this, prefix] { return steps_.openingEntries(ctx_, prefix); }},
        {"documents", full, 50, "Une erreur est survenue dans l'importation des documents de l'exercice.",
         "Er is een fout ontstaan tijdens het importeren van de boekstukken van het boekjaar",
         [this, prefix] {
           auto documents = documentRows();  // read through the counting year source
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
    if (c_.fullImport) deferEntriesIndex(prefix);
    dossierFolder_ = dossier.folder;
    inPass_ = true;

    // The message names the book year's own file, where a fixed "Axx" would
    // leave the person guessing which one is missing.
    if (olderLayout() && yearDbPath.empty())
      stop(msg("Impossible de trouver le fichier contenant les données comptables de Marlin: ",
               "Onmogelijk om het bestand van Marlin te openen") +
           "\r\n" + sourceKey_ + "A" + nn_ + ".MDB");
    if (!sourceFileExists(paramFile))
      stop(msg("Le fichier ", "Het bestand ") + paramFile + msg(" n'existe pas", " bestaat niet"));

    readVersion();
    report_.source.version = ctx_.sourceVersion;
    if (olderLayout()) {
      yearDb_ = svc_.openAccess(yearDbPath);
      noteSourceFile(yearDbPath);
      countingYear_ = std::make_unique<CountingSource>(*yearDb_, report_);
      ctx_.yearSource = countingYear_.get();
    }
    phase_ = bookYearLabel();
    view_.setPhase(phase_);
    readSourceSide(index);

    for (const PassStep& row : passSteps(dossier)) {
      if (!row.wanted) continue;
      progress(row.progress);
      step(row.name, row.failureFr, row.failureNl, row.call, row.shared);
    }
    masterDataDone_ = true;
    if (c_.fullImport) {
      progress(80);
      if (!sql_) progress(90);
    }

    progress(100);
    view_.enableWizardControls(true);
    view_.clearStepLabel();

    // Post-processing has no message of its own: a failure stops the run
    // after the step's detail message (the original ignores these results).
    step("dossier-languages", nullptr, nullptr, [&] { return steps_.dossierLanguages(ctx_, prefix); });
    if (c_.fullImport)
      step("document-accounts", nullptr, nullptr, [&] { return steps_.completeDocumentAccounts(ctx_, prefix); });
    if (!ctx_.journals.foreignCurrency.empty())
      step("currency-amounts", nullptr, nullptr, [&] { return steps_.completeCurrencyAmounts(ctx_, prefix); });

    ctx_.yearSource = countingCompany_.get();
    countingYear_.reset();
    yearDb_.reset();
    inPass_ = false;
  }

  // --- The newer book year beside the older ------------------------------------------
  // Until the merge the two book years of a full import share nothing but
  // the source they read: each becomes a working dossier of its own. The
  // newer one is converted on a thread of its own, with its own connection
  // to the source, its own table-engine state, run context and report, and
  // shows nothing until the older one is done (see PassRecorder); then its
  // report joins this run's, its messages are shown, and the run goes on as
  // after the two passes one after the other. Unless the services say their
  // components may run side by side, the passes run one after the other.
  struct SecondPass {
    base::RunContext ctx;
    std::unique_ptr<PassRecorder> recorder;
    std::unique_ptr<ImportRun> run;
    std::atomic<bool> cancelled{false}, done{false};
    std::thread thread;
  };

  bool passesSideBySide() const { return svc_.passesSideBySide && c_.fullImport && lastIndex_ > firstIndex_; }

  void startSecondPass() {
    second_ = std::make_unique<SecondPass>();
    SecondPass& s = *second_;
    s.ctx.language = ctx_.language;
    s.ctx.isVersionSql = ctx_.isVersionSql;
    s.ctx.companyCode = ctx_.companyCode;
    s.recorder = std::make_unique<PassRecorder>([&s] { return s.ctx.report.currentStep(); });
    s.recorder->bindTo(s.ctx);
    s.run = std::make_unique<ImportRun>(s.ctx, c_, *s.recorder, steps_, svc_);
    ImportRun& newer = *s.run;
    newer.cancelled_ = &s.cancelled;
    newer.sourceKey_ = sourceKey_;
    newer.databaseName_ = databaseName_;
    newer.dossierName_ = dossierName_;
    newer.working_ = working_;
    newer.firstIndex_ = firstIndex_;
    newer.lastIndex_ = lastIndex_;
    newer.masterDataDone_ = true;  // customers, suppliers and code lists are the older year's
    s.thread = std::thread([&s] {
      s.run->convertNewerYear();
      s.done = true;
    });
  }

  // On the newer year's thread: what start() and the loop would do for it.
  void convertNewerYear() {
    report_.begin(c_.checkOnly ? RunReport::Kind::SourceCheck : RunReport::Kind::Import, ctx_.language);
    try {
      svc_.prepareEngine();
      openSource(false);
      // Settled again, not read from the older pass: the same query on the same source.
      settleGeneralAccountLength();
      pass(lastIndex_);
      svc_.closeAllTables();
      if (!tablesWritten()) stop("");
    } catch (const QuestionAsked&) {
      askedQuestion_ = true;
    } catch (const RunStopped& stop) {
      failed_ = true;
      failure_ = stop.message;
    } catch (...) {
      failed_ = true;
      failure_ = handledErrorText(ctx_.french());
    }
    svc_.closeAllTables();
    releaseSource();
  }

  void waitForSecondPass() {
    // The window stays painted while the newer year finishes.
    while (!second_->done) {
      ctx_.ui->processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    second_->thread.join();
  }

  void joinSecondPass() {
    waitForSecondPass();
    std::unique_ptr<SecondPass> s = std::move(second_);
    ImportRun& newer = *s->run;
    if (newer.askedQuestion_) {
      // A question cannot wait: the book year is converted again here, from
      // a fresh working dossier, where the person sees it at once.
      for (const std::string& file : newer.deferredIndexes_) svc_.dropDeferredIndex(file);
      pass(lastIndex_);
      return;
    }
    deferredIndexes_.insert(deferredIndexes_.end(), newer.deferredIndexes_.begin(), newer.deferredIndexes_.end());
    const int firstStep = report_.append(newer.report_);
    s->recorder->replay({*ctx_.ui, view_, ctx_}, report_, firstStep);
    sourceYears_.insert(sourceYears_.end(), std::make_move_iterator(newer.sourceYears_.begin()),
                        std::make_move_iterator(newer.sourceYears_.end()));
    // The run state as the newer pass left it, as after passes in a row.
    ctx_.bookYearIndex = s->ctx.bookYearIndex;
    ctx_.sourceVersion = s->ctx.sourceVersion;
    ctx_.sourceMinorVersion = s->ctx.sourceMinorVersion;
    ctx_.journals = s->ctx.journals;
    ctx_.sourceClosingPeriod = s->ctx.sourceClosingPeriod;
    ctx_.documentOrderCounter = s->ctx.documentOrderCounter;
    phase_ = newer.phase_;
    if (newer.failed_) stop(newer.failure_);
  }

  // The older year failed: the newer one stops at its next step, and its
  // working dossier goes with the run's folder, unseen.
  void abandonSecondPass() {
    if (!second_) return;
    second_->cancelled = true;
    waitForSecondPass();
    for (const std::string& file : second_->run->deferredIndexes_) svc_.dropDeferredIndex(file);
    second_.reset();
  }

  // --- The index of the entries ----------------------------------------------------
  // A book year's entries table is filled by the opening, document and
  // completion steps in turn, then, in a two-year import, appended to the
  // older year's: its index is written once, after the last of them, rather
  // than rebuilt from every record at each of their closes.
  void deferEntriesIndex(const std::string& prefix) {
    if (!svc_.deferIndex) return;  // written at every close, as the engine does by itself
    deferredIndexes_.push_back(prefix + "_ACT.DBF");
    svc_.deferIndex(deferredIndexes_.back());
  }

  // Writes the index of the dossier to be placed; the other year's, whose
  // records the merge has copied, is never needed.
  void writeEntriesIndex(const std::string& placedPrefix) {
    const std::string placed = placedPrefix + "_ACT.DBF";
    std::vector<std::string> files;
    files.swap(deferredIndexes_);
    for (const std::string& file : files)
      if (file != placed) svc_.dropDeferredIndex(file);
    if (std::find(files.begin(), files.end(), placed) == files.end()) return;
    deferredIndexes_.push_back(placed);
    step("entries-index", nullptr, nullptr, [&] { return svc_.writeDeferredIndex(ctx_.ui, placed, ctx_.language); });
    deferredIndexes_.clear();
  }

  // --- After the loop ------------------------------------------------------------
  void finish() {
    releaseSource();
    placedIndex_ = lastIndex_;
    const bool twoYears = c_.fullImport && lastIndex_ >= 1;
    if (twoYears) {
      view_.setPhase("Fusion for 2 years");
      dossierFolder_ = store::workingDossier(working_, lastIndex_ - 1).folder;
      step("merge", "Une erreur est survenue dans la fusion des deux exercices.",
           "Er is een fout ontstaan bij het samenvoegen van de twee boekjaren.",
           [&] { return steps_.mergeYears(ctx_, working_, lastIndex_ - 1, lastIndex_); });
      placedIndex_ = lastIndex_ - 1;
    } else {
      view_.setPhase("Copying...");
    }
    svc_.closeAllTables();
    if (!tablesWritten()) stop("");
    if (svc_.releaseFreeMemory) svc_.releaseFreeMemory();
    const store::WorkingDossier placed = store::workingDossier(working_, placedIndex_);
    TargetRead target;
    startTargetRead(placed.prefix, target);
    writeEntriesIndex(placed.prefix);
    dossierFolder_.clear();
    reconcileTarget(target);

    const long differences = static_cast<long>(report_.reconciliation.differences.size());
    std::string done;
    if (c_.checkOnly) {
      done = msg("Le contrôle de la source est terminé : ", "De controle van de bron is klaar: ") +
             std::to_string(report_.droppedRows()) + msg(" ligne(s) perdue(s), ", " rij(en) verloren, ") +
             std::to_string(report_.lossyChanges()) +
             msg(" valeur(s) tronquée(s) ou perdue(s), ", " waarde(n) ingekort of verloren, ") +
             differenceText(differences) + ".";
    } else if (differences > 0) {
      done = msg("L'importation est terminée, mais la réconciliation a trouvé ",
                 "De import is voltooid, maar de afstemming vond ") +
             differenceText(differences) + ".";
    } else {
      done = msg("L'importation s'est déroulée correctement", "Import OK!");
    }
    // The report is part of the dossier: written into the finished working
    // dossier, it takes the dossier's name and moves into place with the
    // tables. A source check keeps it outside, its dossier goes with its folder.
    std::string reportLine;
    if (!writeReport(c_.checkOnly ? outsideReportFolder() : placed.folder, done, true, reportLine)) stop(reportLine);
    if (!c_.checkOnly) {
      if (!svc_.placeDossier(ctx_.ui, store::Placement{working_, placedIndex_, twoYears, c_.kestrelFolder, dossierName_,
                                                       ctx_.language, !report_.textFile.empty()}))
        stop("");
      runFolder_.reset();
      if (!report_.textFile.empty()) {
        report_.textFile = store::nativePath(joinPath(targetFolder(), dossierName_ + "_MIGRATION.txt")).string();
        report_.jsonFile = store::nativePath(joinPath(targetFolder(), dossierName_ + "_MIGRATION.json")).string();
      }
    }

    view_.setPhase("Terminated...");
    ctx_.ui->finalMessage(done + "\r\n\r\n" + reportLine, base::MsgIcon::None, "", report_.textFile);
    if (!c_.checkOnly) view_.raiseExecutionDone();
    ctx_.ui->setBusy(false);
    busy_ = false;
    view_.unload();
  }

  std::string differenceText(long n) const {
    return std::to_string(n) + (n == 1 ? msg(" différence", " verschil") : msg(" différences", " verschillen"));
  }

  // The finished dossier's books, read on a thread of their own while the
  // entries index is written: the read needs the records, never the index,
  // and tables only read share their files. Whatever the read meets is kept
  // for the reconciliation step to show, in its turn, after the index's. A
  // run stopped before that step joins the read on its way out, before its
  // files are removed.
  struct TargetRead {
    std::thread thread;
    TargetBooks books;
    base::Bilingual error;
    bool ok = false;
    std::exception_ptr thrown;
    double seconds = 0;
    TargetRead() = default;
    TargetRead(const TargetRead&) = delete;
    TargetRead& operator=(const TargetRead&) = delete;
    ~TargetRead() {
      if (thread.joinable()) thread.join();
    }
  };

  void startTargetRead(const std::string& prefix, TargetRead& read) {
    if (!svc_.readTargetBooks) return;
    read.thread = std::thread([this, prefix, &read] {
      const auto started = std::chrono::steady_clock::now();
      try {
        read.ok = svc_.readTargetBooks(prefix, read.books, read.error);
      } catch (...) {
        read.thrown = std::current_exception();
      }
      read.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    });
  }

  // The finished dossier read through the table engine and compared with
  // the source side read at each pass.
  void reconcileTarget(TargetRead& read) {
    if (!read.thread.joinable()) return;
    step("reconciliation", "La réconciliation n'a pas pu lire le dossier Kestrel terminé.",
         "De afstemming kon het voltooide Kestrel dossier niet lezen.", [&] {
           const auto waiting = std::chrono::steady_clock::now();
           read.thread.join();
           // The step's time is its read's and its comparison's, not its wait for the read.
           stepTimeElsewhere_ =
               read.seconds - std::chrono::duration<double>(std::chrono::steady_clock::now() - waiting).count();
           if (read.thrown) std::rethrow_exception(read.thrown);
           if (!read.ok) {
             view_.showImportError(read.error.in(ctx_.french()));
             return false;
           }
           const TargetBooks target = std::move(read.books);
           reconcile(sourceYears_, sourceMaster_, target, report_);
           return true;
         });
  }

  RunContext& ctx_;
  const RunChoices& c_;
  RunView& view_;
  const Steps& steps_;
  const Services& svc_;
  const bool sql_;

  std::unique_ptr<Source> company_, yearDb_;
  std::unique_ptr<store::RunFolder> runFolder_;
  // The sources as the steps see them: every row they read is counted.
  std::unique_ptr<CountingSource> countingCompany_, countingYear_;
  std::string sourceKey_, dossierName_, working_, nn_, phase_;
  RunReport& report_ = ctx_.report;
  std::string dossierFolder_;  // the dossier the steps are filling, for their record counts
  bool inPass_ = false;
  int placedIndex_ = 0;
  std::vector<std::string> deferredIndexes_;  // entries tables whose index waits
  double stepTimeElsewhere_ = 0;  // of the current step: its work done before it began, less its wait for it
  std::filesystem::path scratch_;  // a source check's private Kestrel folder
  std::vector<SourceBooks> sourceYears_;
  SourceMasterData sourceMaster_;
  int firstIndex_ = 0, lastIndex_ = 0;
  bool busy_ = false;
  bool masterDataDone_ = false;  // customers, suppliers and code lists are taken once
  std::string databaseName_;     // the company database, or the SQL database
  std::unique_ptr<SecondPass> second_;
  // On the newer year's thread: the older year asks it to stop; how it ended.
  const std::atomic<bool>* cancelled_ = nullptr;
  bool askedQuestion_ = false, failed_ = false;
  std::string failure_;
};

}  // namespace

bool runImport(RunContext& ctx, const RunChoices& choices, RunView& view, const Steps& steps,
               const Services& services) {
  return ImportRun(ctx, choices, view, steps, services).run();
}

}  // namespace run
