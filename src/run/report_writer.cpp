#include "run/report_writer.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <locale>
#include <map>
#include <sstream>

#include "base/number_text.h"
#include "base/text.h"

namespace run {
using namespace base;

namespace {

namespace fs = std::filesystem;

// --- Shared pieces ---------------------------------------------------------------

std::tm utc(RunReport::Clock::time_point t) {
  const std::time_t seconds = RunReport::Clock::to_time_t(t);
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &seconds);
#else
  gmtime_r(&seconds, &parts);
#endif
  return parts;
}

std::string formatted(RunReport::Clock::time_point t, const char* format) {
  const std::tm parts = utc(t);
  char text[40];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

double secondsBetween(RunReport::Clock::time_point a, RunReport::Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

std::string secondsText(double s) {
  return base::fixedText(s, 3);
}

// Thousandths as a decimal text: 1234500 -> "1234.50", 1 -> "0.001".
std::string amountText(int64_t v) {
  const bool negative = v < 0;
  const uint64_t a = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  char text[40];
  if (a % 10 == 0)
    std::snprintf(text, sizeof text, "%s%llu.%02llu", negative ? "-" : "", static_cast<unsigned long long>(a / 1000),
                  static_cast<unsigned long long>(a % 1000 / 10));
  else
    std::snprintf(text, sizeof text, "%s%llu.%03llu", negative ? "-" : "", static_cast<unsigned long long>(a / 1000),
                  static_cast<unsigned long long>(a % 1000));
  return text;
}

const char* iconCode(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Information:
      return "information";
    case MsgIcon::Exclamation:
      return "exclamation";
    case MsgIcon::Critical:
      return "critical";
    case MsgIcon::Question:
      return "question";
    case MsgIcon::None:
      break;
  }
  return "none";
}

long differenceCount(const RunReport& r) { return static_cast<long>(r.reconciliation.differences.size()); }

// --- Text ------------------------------------------------------------------------

class Text {
 public:
  // A host that sets the global C++ locale from the desktop would otherwise
  // group the figures ("294.912 octets") in a file other programs read too.
  explicit Text(const RunReport& r) : r_(r), fr_(r.language() == "F") { out_.imbue(std::locale::classic()); }

  std::string write() {
    title();
    source();
    target();
    steps();
    skipped();
    changes();
    messages();
    reconciliation();
    return out_.str();
  }

 private:
  const char* t(const char* fr, const char* nl) const { return fr_ ? fr : nl; }
  std::string yearText(int index) const { return index < 0 ? "--" : twoDigits(index); }
  // Underlines as long as the title reads (an accented letter is one character).
  void heading(const std::string& text) { out_ << "\n" << text << "\n" << std::string(charCount(text), '-') << "\n"; }

  std::string stepLabel(const std::string& code) const {
    static const std::map<std::string, std::pair<const char*, const char*>> labels = {
        {"categories", {"catégories", "categorieën"}},
        {"payment-codes", {"conditions de paiement", "betalingsvoorwaarden"}},
        {"company-identity", {"paramètres de la société", "bedrijfsparameters"}},
        {"customers", {"clients", "klanten"}},
        {"suppliers", {"fournisseurs", "leveranciers"}},
        {"general-accounts", {"comptes généraux", "algemene rekeningen"}},
        {"book-year", {"exercice et périodes", "boekjaar en periodes"}},
        {"journals", {"journaux", "dagboeken"}},
        {"opening-entries", {"od d'ouverture", "heropening"}},
        {"documents", {"documents de l'exercice", "boekstukken van het boekjaar"}},
        {"dossier-languages", {"langues du dossier", "talen van het dossier"}},
        {"document-accounts", {"clients/fournisseurs des documents", "klanten/leveranciers van de boekstukken"}},
        {"currency-amounts", {"montants en devise", "bedragen in deviezen"}},
        {"merge", {"fusion des deux exercices", "samenvoegen van de twee boekjaren"}},
        {"entries-index", {"index des écritures", "index van de boekingen"}},
        {"account-length", {"longueur des comptes généraux", "lengte van de algemene rekeningen"}},
        {"reconciliation", {"réconciliation", "afstemming"}},
    };
    auto it = labels.find(code);
    return it == labels.end() ? code : (fr_ ? it->second.first : it->second.second);
  }

  // The run reads the source side of the reconciliation at the start of each
  // pass, before the steps touch the book year; the check itself ends the run.
  std::string stepLabel(const StepRecord& step) const {
    if (step.name == "reconciliation" && step.bookYear >= 0)
      return t("lecture de la source pour la réconciliation", "bron lezen voor de afstemming");
    return stepLabel(step.name);
  }

  // A source row without number (a customer's may be empty) said as such
  // rather than as empty brackets.
  std::string keyText(const std::string& key) const {
    return key.empty() ? t("sans numéro", "zonder nummer") : key;
  }

  // The general accounts are counted on the source's accounts with a type
  // (a row without type is skipped, a heading joins its account).
  std::string recordsLabel(const std::string& table) const {
    if (table == "general-accounts") return t("comptes généraux avec un type", "algemene rekeningen met een type");
    return stepLabel(table);
  }

  // What a difference is about, and how its figures read (source before dossier).
  std::string sectionLabel(const std::string& section) const {
    if (section == "account")
      return t("compte général (source / dossier / écart)", "algemene rekening (bron / dossier / verschil)");
    if (section == "party")
      return t("client 1/ ou fournisseur 2/ (source / dossier / écart)",
               "klant 1/ of leverancier 2/ (bron / dossier / verschil)");
    if (section == "journal")
      return t("journal et période (documents source/dossier, lignes source/dossier)",
               "dagboek en periode (boekstukken bron/dossier, lijnen bron/dossier)");
    if (section == "unbalanced")
      return t("document non équilibré dans le dossier", "niet sluitend boekstuk in het dossier");
    if (section == "unbalanced-currency")
      return t("document non équilibré en devise dans le dossier", "boekstuk niet sluitend in deviezen in het dossier");
    if (section == "records")
      return t("données de base (source - ignorées / dossier)", "basisgegevens (bron - overgeslagen / dossier)");
    if (section == "missing-account") return t("compte absent du dossier", "rekening ontbreekt in het dossier");
    return section;
  }

  // The JSON keeps the codes; a reader of the text gets them in the dossier's language.
  std::string changeLabel(ChangeKind kind) const {
    switch (kind) {
      case ChangeKind::Clipped:
        return t("tronquée", "afgekapt");
      case ChangeKind::Dropped:
        return t("non reprise", "niet overgenomen");
      case ChangeKind::Reformatted:
        return t("reformatée", "anders geschreven");
      case ChangeKind::Shortened:
        return t("raccourcie", "ingekort");
      case ChangeKind::Renamed:
        return t("renommée", "hernoemd");
      case ChangeKind::Lengthened:
        return t("allongée", "verlengd");
    }
    return changeKindCode(kind);
  }

  std::string reasonLabel(SkipReason reason) const {
    switch (reason) {
      case SkipReason::DuplicateNumber:
        return t("numéro déjà repris", "nummer al overgenomen");
      case SkipReason::NumberTooLong:
        return t("numéro trop long", "nummer te lang");
      case SkipReason::NoType:
        return t("compte sans type", "rekening zonder type");
      case SkipReason::ExistingAccount:
        return t("numéro d'un compte existant (nom repris)", "nummer van een bestaande rekening (naam overgenomen)");
      case SkipReason::ExistingCode:
        return t("code déjà présent", "code al aanwezig");
      case SkipReason::ExistingJournal:
        return t("journal déjà présent", "dagboek al aanwezig");
      case SkipReason::NoShortCode:
        return t("pas de code court libre", "geen vrije korte code");
    }
    return "";
  }

  void title() {
    const bool check = r_.kind() == RunReport::Kind::SourceCheck;
    const std::string head = check
                                 ? t("Contrôle d'une source Marlin", "Controle van een Marlin bron")
                                 : t("Rapport de migration Marlin vers Kestrel", "Migratierapport Marlin naar Kestrel");
    out_ << head << "\n" << std::string(charCount(head), '=') << "\n";
    out_ << t("Résultat : ", "Resultaat: ")
         << (r_.succeeded() ? (check ? t("la source a été lue et convertie à blanc",
                                         "de bron werd gelezen en proefondervindelijk omgezet")
                                     : t("importation réussie", "import geslaagd"))
                            : t("échec, rien n'a été écrit dans le dossier Kestrel",
                                "mislukt, er werd niets in het Kestrel dossier geschreven"))
         << "\n";
    out_ << t("Début : ", "Begin: ") << formatted(r_.startTime(), "%Y-%m-%d %H:%M:%S UTC") << "\n";
    out_ << t("Fin : ", "Einde: ") << formatted(r_.endTime(), "%Y-%m-%d %H:%M:%S UTC") << "  ("
         << secondsText(secondsBetween(r_.startTime(), r_.endTime())) << " s)\n";
    out_ << t("Lignes ignorées : ", "Overgeslagen rijen: ") << skippedTotal() << t(" (dont ", " (waarvan ")
         << r_.droppedRows() << t(" perdues)", " verloren)") << "\n";
    out_ << t("Valeurs modifiées : ", "Gewijzigde waarden: ") << r_.changes().size() << t(" (dont ", " (waarvan ")
         << r_.lossyChanges() << t(" avec perte)", " met verlies)") << "\n";
    if (r_.reconciliation.performed)
      out_ << t("Réconciliation : ", "Afstemming: ") << differenceCount(r_)
           << (fr_ ? " différence(s)" : " verschil(len)") << "\n";
  }

  long skippedTotal() const {
    long n = 0;
    for (const StepRecord& s : r_.steps()) n += static_cast<long>(s.skipped.size());
    return n;
  }

  void source() {
    const SourceInfo& s = r_.source;
    heading(t("Source", "Bron"));
    out_ << t("Édition : ", "Editie: ")
         << (s.edition == "sql"    ? "SQL Server"
             : s.layout == "older" ? t("Access, anciennes tables", "Access, oude tabellen")
                                   : t("Access, tables préfixées", "Access, tabellen met prefix"))
         << "\n";
    out_ << t("Société : ", "Bedrijf: ") << s.company << "\n";
    if (!s.server.empty()) out_ << t("Serveur : ", "Server: ") << s.server << "\n";
    if (!s.database.empty()) out_ << t("Base de données : ", "Databank: ") << s.database << "\n";
    if (!s.version.empty()) out_ << t("Version : ", "Versie: ") << s.version << "\n";
    for (const BookYearInfo& y : r_.bookYears)
      out_ << t("Exercice ", "Boekjaar ") << yearText(y.index) << " (" << y.label << ") -> "
           << t("exercice ", "boekjaar ") << y.targetBookYear << t(" du dossier", " van het dossier") << "\n";
    for (const SourceFile& f : s.files)
      out_ << t("Fichier : ", "Bestand: ") << f.path << "  " << f.bytes << t(" octets", " bytes") << "  SHA-256 "
           << f.sha256 << "\n";
    out_ << t("Choix : ", "Keuze: ");
    if (r_.fullImport) {
      out_ << t("signalétiques et historique", "signaletiek en historiek");
    } else {
      out_ << t("signalétiques :", "signaletiek:") << (r_.customers ? t(" clients", " klanten") : "")
           << (r_.suppliers ? t(" fournisseurs", " leveranciers") : "")
           << (r_.generalAccounts ? t(" comptes généraux", " algemene rekeningen") : "");
    }
    out_ << "\n";
  }

  void target() {
    const TargetInfo& c = r_.target;
    heading(t("Cible", "Doel"));
    if (r_.kind() == RunReport::Kind::SourceCheck) {
      out_ << t("Aucune : la conversion a été faite dans un dossier temporaire, effacé ensuite.",
                "Geen: de omzetting gebeurde in een tijdelijk dossier dat daarna gewist werd.")
           << "\n";
    } else {
      out_ << t("Dossier : ", "Dossier: ") << c.dossier << "\n";
      out_ << t("Dossier des données Kestrel : ", "Gegevensmap van Kestrel: ") << c.kestrelFolder << "\n";
    }
    if (!c.generalAccountLength.empty() && c.generalAccountLength != "0")
      out_ << t("Longueur des comptes généraux : ", "Lengte van de algemene rekeningen: ") << c.generalAccountLength
           << "\n";
  }

  void steps() {
    heading(t("Étapes", "Stappen"));
    for (const StepRecord& s : r_.steps()) {
      out_ << yearText(s.bookYear) << "  " << stepLabel(s) << t(" : ", ": ") << secondsText(s.seconds) << " s";
      if (s.rowsRead > 0)
        out_ << ", " << s.rowsRead
             << (s.rowsRead == 1 ? t(" ligne source lue", " bronrij gelezen") : t(" lignes source lues", " bronrijen gelezen"));
      for (const auto& [table, n] : s.rowsWritten) out_ << ", " << table << " +" << n;
      if (!s.skipped.empty())
        out_ << ", " << s.skipped.size() << (s.skipped.size() == 1 ? t(" ignorée", " overgeslagen") : t(" ignorées", " overgeslagen"));
      if (s.repeated > 0)
        out_ << ", " << s.repeated
             << t(" cas déjà listés pour l'exercice précédent", " gevallen al vermeld bij het vorige boekjaar");
      if (!s.succeeded) out_ << t("  ÉCHEC", "  MISLUKT");
      out_ << "\n";
    }
  }

  void skipped() {
    if (skippedTotal() == 0) return;
    heading(t("Lignes de la source ignorées", "Overgeslagen bronrijen"));
    for (const StepRecord& s : r_.steps())
      for (const SkippedRow& row : s.skipped) {
        out_ << yearText(s.bookYear) << "  " << stepLabel(s) << "  [" << keyText(row.key) << "]  "
             << reasonLabel(row.reason) << (dropsData(row.reason) ? t(" (perdue)", " (verloren)") : "");
        if (!row.detail.empty()) out_ << "  " << row.detail;
        out_ << "\n";
      }
  }

  void changes() {
    if (r_.changes().empty()) return;
    heading(t("Valeurs modifiées", "Gewijzigde waarden"));
    for (const ValueChange& c : r_.changes()) {
      const StepRecord* s = c.step >= 0 ? &r_.steps()[static_cast<size_t>(c.step)] : nullptr;
      out_ << (s ? yearText(s->bookYear) + "  " + stepLabel(*s) : std::string("--")) << "  "
           << changeLabel(c.kind) << "  " << c.field << "  [" << keyText(c.key) << "]  \"" << c.oldValue << "\" -> \""
           << c.newValue << "\"";
      if (!c.detail.empty()) out_ << "  (" << c.detail << ")";
      out_ << "\n";
    }
  }

  void messages() {
    heading(t("Messages affichés", "Getoonde berichten"));
    for (const ShownMessage& m : r_.messages()) {
      // One line per message: its paragraphs joined by " / ", the empty line between them dropped.
      std::string text;
      size_t from = 0;
      for (size_t p = m.text.find("\r\n"); from <= m.text.size(); p = m.text.find("\r\n", from)) {
        const size_t end = p == std::string::npos ? m.text.size() : p;
        if (end > from) text.append(text.empty() ? "" : " / ").append(m.text, from, end - from);
        from = end + 2;
      }
      out_ << "- " << text << "\n";
    }
    for (const RepeatedMessage& m : r_.repeats()) {
      const StepRecord* s = m.step >= 0 ? &r_.steps()[static_cast<size_t>(m.step)] : nullptr;
      out_ << "\n"
           << m.text() << (s ? "  (" + stepLabel(*s) + " " + yearText(s->bookYear) + ")" : "") << "\n";
      for (const std::string& c : m.cases) out_ << "    " << c << "\n";
    }
  }

  void reconciliation() {
    const Reconciliation& rec = r_.reconciliation;
    heading(t("Réconciliation", "Afstemming"));
    if (!rec.performed) {
      out_ << t("Non faite : la conversion n'est pas allée jusqu'au bout.",
                "Niet gedaan: de omzetting werd niet voltooid.")
           << "\n";
      return;
    }
    out_ << differenceCount(r_) << (fr_ ? " différence(s)" : " verschil(len)") << "\n";
    for (const Difference& d : rec.differences)
      out_ << "  ! " << sectionLabel(d.section) << "  " << (d.bookYear ? std::to_string(d.bookYear) + "  " : "")
           << d.key << "  " << d.detail << "\n";
    for (const Adjustment& a : rec.adjustments) {
      if (a.code == "newer-opening-entries")
        out_ << t("Exercice ", "Boekjaar ") << a.bookYear << t(" : ", ": ") << a.lines
             << t(" lignes d'ouverture (débits ", " openingslijnen (debet ") << amountText(a.amount)
             << t(") non reprises : les soldes de l'exercice 1 sont reportés.",
                  ") niet overgenomen: de saldi van boekjaar 1 worden overgedragen.")
             << "\n";
    }
    if (!rec.records.empty()) {
      out_ << "\n"
           << t("Données de base (source - ignorées = dossier)", "Basisgegevens (bron - overgeslagen = dossier)")
           << "\n";
      for (const RecordCount& c : rec.records)
        out_ << "  " << recordsLabel(c.table) << t(" : ", ": ") << c.source << " - " << c.skipped << " = " << c.target
             << (c.source - c.skipped == c.target ? "" : "  !") << "\n";
    }
    balances(t("Par compte général (exercice, compte : source, dossier, différence)",
               "Per algemene rekening (boekjaar, rekening: bron, dossier, verschil)"),
             rec.accounts);
    balances(t("Par client (1/) et fournisseur (2/) (exercice, numéro : source, dossier, différence)",
               "Per klant (1/) en leverancier (2/) (boekjaar, nummer: bron, dossier, verschil)"), rec.parties);
    if (!rec.journals.empty()) {
      out_ << "\n"
           << t("Par journal et période (documents source/dossier, lignes source/dossier)",
                "Per dagboek en periode (boekstukken bron/dossier, lijnen bron/dossier)")
           << "\n";
      for (const JournalPeriod& j : rec.journals) {
        out_ << "  " << j.bookYear << "  " << j.journal << "  " << j.period << "  " << j.sourceDocuments << "/"
             << j.targetDocuments << "  " << j.sourceLines << "/" << j.targetLines;
        // The opening entries come from the source's period 00 ("(00)"), whatever its journals.
        if (j.sourceJournals == "(00)")
          out_ << t("  (période 00 de la source)", "  (periode 00 van de bron)");
        else if (!j.sourceJournals.empty() && j.sourceJournals != j.journal)
          out_ << "  (" << j.sourceJournals << ")";
        if (j.sourceDocuments != j.targetDocuments || j.sourceLines != j.targetLines) out_ << "  !";
        out_ << "\n";
      }
    }
    out_ << "\n" << t("Documents non équilibrés", "Niet sluitende boekstukken") << "\n";
    if (rec.unbalanced.empty()) out_ << t("  aucun", "  geen") << "\n";
    for (const UnbalancedDocument& u : rec.unbalanced)
      out_ << "  " << (u.inTarget ? t("dossier", "dossier") : t("source", "bron")) << "  " << u.bookYear << "  "
           << u.journal << "  " << u.period << "  " << u.number << "  " << amountText(u.balance)
           << (u.currency.empty() ? " EUR" : " " + u.currency) << "\n";
  }

  void balances(const std::string& title, const std::vector<Balance>& rows) {
    if (rows.empty()) return;
    out_ << "\n" << title << "\n";
    for (const Balance& b : rows)
      out_ << "  " << b.bookYear << "  " << (b.key.empty() ? "-" : b.key) << "  " << amountText(b.source) << "  "
           << amountText(b.target) << "  " << amountText(b.target - b.source) << (b.source == b.target ? "" : "  !")
           << "\n";
  }

  const RunReport& r_;
  const bool fr_;
  std::ostringstream out_;
};

// --- JSON ------------------------------------------------------------------------

// JSON text of a UTF-8 string; bytes that are not UTF-8 become U+FFFD so the
// file stays valid whatever a damaged source held.
std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool valid = length > 0 && i + length <= s.size() && !(length == 2 && c < 0xC2);
    for (size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (!valid) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(s, i, length);
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
    i += length;
  }
  return out + "\"";
}

class Json {
 public:
  Json() { out_.imbue(std::locale::classic()); }
  Json& open(char bracket) {
    comma();
    out_ << bracket;
    first_ = true;
    return *this;
  }
  Json& close(char bracket) {
    out_ << bracket;
    first_ = false;
    return *this;
  }
  Json& key(const char* name) {
    comma();
    out_ << quoted(name) << ":";
    first_ = true;  // the value follows without a comma
    return *this;
  }
  Json& str(const std::string& v) { return raw(quoted(v)); }
  Json& num(long long v) { return raw(std::to_string(v)); }
  Json& real(double v) { return raw(secondsText(v)); }
  Json& boolean(bool v) { return raw(v ? "true" : "false"); }
  Json& null() { return raw("null"); }
  Json& amount(int64_t v) { return str(amountText(v)); }
  Json& year(int index) { return index < 0 ? null() : num(index); }
  std::string text() const { return out_.str(); }

 private:
  Json& raw(const std::string& v) {
    comma();
    out_ << v;
    return *this;
  }
  void comma() {
    if (!first_) out_ << ",";
    first_ = false;
  }
  std::ostringstream out_;
  bool first_ = true;
};

}  // namespace

std::string isoTime(RunReport::Clock::time_point t) { return formatted(t, "%Y-%m-%dT%H:%M:%SZ"); }
std::string fileTime(RunReport::Clock::time_point t) { return formatted(t, "%Y%m%d-%H%M%S"); }

std::string reportText(const RunReport& report) { return Text(report).write(); }

std::string reportJson(const RunReport& r) {
  Json j;
  j.open('{');
  j.key("schema").str("marlin2kestrel-migration-report").key("schemaVersion").num(1);
  j.key("kind").str(r.kind() == RunReport::Kind::SourceCheck ? "source-check" : "import");
  j.key("outcome").str(r.succeeded() ? "succeeded" : "failed");
  j.key("language").str(r.language());
  j.key("startTime").str(isoTime(r.startTime())).key("endTime").str(isoTime(r.endTime()));
  j.key("seconds").real(secondsBetween(r.startTime(), r.endTime()));

  j.key("options").open('{').key("fullImport").boolean(r.fullImport).key("customers").boolean(r.customers);
  j.key("suppliers").boolean(r.suppliers).key("generalAccounts").boolean(r.generalAccounts).close('}');

  const SourceInfo& s = r.source;
  j.key("source").open('{').key("edition").str(s.edition).key("layout").str(s.layout).key("company").str(s.company);
  j.key("server").str(s.server).key("database").str(s.database).key("version").str(s.version);
  j.key("bookYears").open('[');
  for (const BookYearInfo& y : r.bookYears)
    j.open('{')
        .key("index")
        .num(y.index)
        .key("targetBookYear")
        .num(y.targetBookYear)
        .key("label")
        .str(y.label)
        .close('}');
  j.close(']');
  j.key("files").open('[');
  for (const SourceFile& f : s.files)
    j.open('{')
        .key("path")
        .str(f.path)
        .key("bytes")
        .num(static_cast<long long>(f.bytes))
        .key("sha256")
        .str(f.sha256)
        .close('}');
  j.close(']').close('}');

  const TargetInfo& t = r.target;
  j.key("target").open('{').key("kestrelFolder").str(t.kestrelFolder).key("dossier").str(t.dossier);
  j.key("folder").str(t.folder).key("generalAccountLength").str(t.generalAccountLength).close('}');

  j.key("steps").open('[');
  for (const StepRecord& step : r.steps()) {
    j.open('{').key("name").str(step.name).key("bookYear").year(step.bookYear).key("seconds").real(step.seconds);
    j.key("succeeded").boolean(step.succeeded).key("rowsRead").num(step.rowsRead);
    j.key("rowsWritten").open('{');
    for (const auto& [table, n] : step.rowsWritten) j.key(table.c_str()).num(n);
    j.close('}');
    j.key("skipped").open('[');
    for (const SkippedRow& row : step.skipped) {
      j.open('{').key("reason").str(skipReasonCode(row.reason)).key("dropsData").boolean(dropsData(row.reason));
      j.key("key").str(row.key).key("detail").str(row.detail).close('}');
    }
    j.close(']').close('}');
  }
  j.close(']');

  j.key("changes").open('[');
  for (const ValueChange& c : r.changes()) {
    const StepRecord* step = c.step >= 0 ? &r.steps()[static_cast<size_t>(c.step)] : nullptr;
    j.open('{').key("step").str(step ? step->name : "").key("bookYear").year(step ? step->bookYear : -1);
    j.key("kind").str(changeKindCode(c.kind)).key("losesInformation").boolean(losesInformation(c.kind));
    j.key("field").str(c.field).key("key").str(c.key).key("old").str(c.oldValue).key("new").str(c.newValue);
    j.key("detail").str(c.detail).close('}');
  }
  j.close(']');

  j.key("messages").open('[');
  for (const ShownMessage& m : r.messages()) {
    const StepRecord* step = m.step >= 0 ? &r.steps()[static_cast<size_t>(m.step)] : nullptr;
    j.open('{').key("step").str(step ? step->name : "").key("icon").str(iconCode(m.icon)).key("title").str(m.title);
    j.key("text").str(m.text).close('}');
  }
  j.close(']');

  j.key("repeatedMessages").open('[');
  for (const RepeatedMessage& m : r.repeats()) {
    const StepRecord* step = m.step >= 0 ? &r.steps()[static_cast<size_t>(m.step)] : nullptr;
    j.open('{')
        .key("id")
        .str(m.id)
        .key("step")
        .str(step ? step->name : "")
        .key("bookYear")
        .year(step ? step->bookYear : -1);
    j.key("text").str(m.text()).key("count").num(static_cast<long long>(m.cases.size()));
    j.key("cases").open('[');
    for (const std::string& c : m.cases) j.str(c);
    j.close(']').close('}');
  }
  j.close(']');

  const Reconciliation& rec = r.reconciliation;
  j.key("reconciliation").open('{').key("performed").boolean(rec.performed);
  j.key("differenceCount").num(differenceCount(r));
  auto balances = [&](const char* name, const std::vector<Balance>& rows) {
    j.key(name).open('[');
    for (const Balance& b : rows) {
      j.open('{').key("bookYear").num(b.bookYear).key("key").str(b.key).key("source").amount(b.source);
      j.key("target").amount(b.target).key("difference").amount(b.target - b.source).close('}');
    }
    j.close(']');
  };
  balances("accounts", rec.accounts);
  balances("parties", rec.parties);
  j.key("journals").open('[');
  for (const JournalPeriod& p : rec.journals) {
    j.open('{')
        .key("bookYear")
        .num(p.bookYear)
        .key("journal")
        .str(p.journal)
        .key("sourceJournals")
        .str(p.sourceJournals);
    j.key("period")
        .str(p.period)
        .key("sourceDocuments")
        .num(p.sourceDocuments)
        .key("targetDocuments")
        .num(p.targetDocuments);
    j.key("sourceLines").num(p.sourceLines).key("targetLines").num(p.targetLines).close('}');
  }
  j.close(']');
  j.key("unbalancedDocuments").open('[');
  for (const UnbalancedDocument& u : rec.unbalanced) {
    j.open('{').key("side").str(u.inTarget ? "target" : "source").key("bookYear").num(u.bookYear);
    j.key("journal").str(u.journal).key("period").str(u.period).key("number").str(u.number);
    j.key("currency").str(u.currency.empty() ? "EUR" : u.currency).key("balance").amount(u.balance).close('}');
  }
  j.close(']');
  j.key("records").open('[');
  for (const RecordCount& c : rec.records) {
    j.open('{').key("table").str(c.table).key("source").num(c.source).key("skipped").num(c.skipped);
    j.key("target").num(c.target).close('}');
  }
  j.close(']');
  j.key("adjustments").open('[');
  for (const Adjustment& a : rec.adjustments) {
    j.open('{').key("code").str(a.code).key("bookYear").num(a.bookYear).key("lines").num(a.lines);
    j.key("amount").amount(a.amount).close('}');
  }
  j.close(']');
  j.key("differences").open('[');
  for (const Difference& d : rec.differences) {
    j.open('{').key("section").str(d.section).key("bookYear").num(d.bookYear).key("key").str(d.key);
    j.key("detail").str(d.detail).close('}');
  }
  j.close(']').close('}');

  j.key("summary").open('{');
  long skippedRows = 0;
  for (const StepRecord& step : r.steps()) skippedRows += static_cast<long>(step.skipped.size());
  j.key("skippedRows").num(skippedRows).key("droppedRows").num(r.droppedRows());
  j.key("changedValues").num(static_cast<long long>(r.changes().size())).key("lossyChanges").num(r.lossyChanges());
  j.key("messages").num(static_cast<long long>(r.messages().size())).key("differences").num(differenceCount(r));
  j.close('}');
  j.close('}');
  return j.text() + "\n";
}

bool writeReportFiles(RunReport& report, const std::string& folder, const std::string& name, std::string& failedFile) {
  std::error_code ec;
  fs::create_directories(fs::path(folder), ec);
  const fs::path text = fs::path(folder) / (name + ".txt");
  const fs::path json = fs::path(folder) / (name + ".json");
  report.textFile = text.string();
  report.jsonFile = json.string();
  for (const auto& [path, content] : {std::pair{text, reportText(report)}, std::pair{json, reportJson(report)}}) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
      failedFile = path.string();
      report.textFile.clear();
      report.jsonFile.clear();
      return false;
    }
  }
  return true;
}

std::string defaultReportFolder() {
  auto env = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? fs::path(v) : fs::path();
  };
#ifdef _WIN32
  fs::path state = env("LOCALAPPDATA");
#else
  fs::path state = env("XDG_STATE_HOME");
  if (state.empty() && !env("HOME").empty()) state = env("HOME") / ".local" / "state";
#endif
  if (state.empty()) state = fs::temp_directory_path();
  return (state / "marlin2kestrel").string();
}

}  // namespace run
