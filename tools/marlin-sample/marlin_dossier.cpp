// Master data of the sample dossier. Besides ordinary rows it holds, on
// purpose, the cases a migration must get right:
// - customers and suppliers: valid and invalid Belgian VAT and bank numbers
//   (with and without the BE prefix, nine-digit VAT numbers), foreign parties
//   (France, Luxembourg with a postcode the Belgian list lacks, the
//   Netherlands with a long account number), no country, a country of two
//   blanks, every language id and an unknown one, names longer than the
//   target field, accents, a repeated number, a party without number, a
//   customer and a supplier sharing a number, own collective accounts;
// - categories and payment codes longer than five characters, sharing their
//   first four characters, of an unknown type, without wording;
// - general accounts of every type, headings, four-digit numbers, accounts
//   without wording, accounts in three foreign currencies and one without
//   currency, standard VAT and bank-charge accounts already present.
#include "marlin_dossier.h"

#include <algorithm>
#include <stdexcept>

#include "base/text.h"
#include "report_variants.h"
#include "sample_random.h"

namespace marlin {

namespace {

Value text(const std::string& s) { return s; }
Value whole(int64_t n) { return n; }
const Value kNull = std::monostate{};

struct Place {
  const char* zip;
  const char* city;
};
const std::vector<Place> kBelgianPlaces = {
    {"1000", "Bruxelles"}, {"1050", "Ixelles"},  {"1348", "Louvain-la-Neuve"}, {"1410", "Waterloo"},
    {"2000", "Antwerpen"}, {"3000", "Leuven"},   {"4000", "Liège"},            {"4800", "Verviers"},
    {"5000", "Namur"},     {"6700", "Arlon"},    {"7000", "Mons"},             {"8000", "Brugge"},
    {"8400", "Oostende"},  {"9000", "Gent"},     {"9300", "Aalst"},            {"1090", "Jette"},
    {"6000", "Charleroi"}, {"3500", "Hasselt"},  {"4020", "Liège"},            {"1150", "Woluwe-Saint-Pierre"}};

const std::vector<std::string> kTrades = {"Boulangerie", "Brasserie", "Menuiserie", "Garage", "Imprimerie",
                                          "Bakkerij",    "Drukkerij", "Transports", "Pharmacie", "Quincaillerie",
                                          "Atelier",     "Boekhandel", "Électricité", "Fromagerie", "Chocolaterie"};
const std::vector<std::string> kFamilies = {"Dupré",    "Lemaître", "Vandenberghe", "Peeters",  "Janssens",
                                            "Maes",     "Willems",  "Claes",        "Goossens", "Dubois",
                                            "Lambert",  "Mertens",  "Deprez",       "Noël",     "Hénin",
                                            "Van Acker", "Desmet",  "Françoise",    "Lefèvre",  "D'Hondt"};
const std::vector<std::string> kStreets = {"Rue de la Station", "Chaussée de Louvain", "Kerkstraat", "Rue des Écoles",
                                           "Stationsstraat",    "Avenue Louise",       "Grand-Place", "Rue du Fossé",
                                           "Dorpsstraat",       "Boulevard d'Avroy"};

std::string padded(int64_t n, int width) {
  std::string s = std::to_string(n);
  return std::string(std::max<int>(0, width - int(s.size())), '0') + s;
}

int64_t mod97(const std::string& digits) {
  int64_t r = 0;
  for (char c : digits) r = (r * 10 + (c - '0')) % 97;
  return r;
}

// A Belgian VAT number, ten digits, whose last two digits check the first eight.
std::string belgianVat(Random& rng, bool valid) {
  std::string first = "0" + std::to_string(rng.range(2000000, 9999999));
  int64_t check = 97 - mod97(first);
  if (!valid) check = check % 97 + 1;
  return first + padded(check, 2);
}

// An old-style twelve-digit Belgian account: ten digits and their rest modulo 97.
std::string belgianAccount(Random& rng, bool valid) {
  std::string first = padded(rng.range(1, 999), 3) + rng.digits(7);
  int64_t check = mod97(first);
  if (check == 0) check = 97;
  if (!valid) check = check % 97 + 1;
  return first + padded(check, 2);
}

std::string belgianIban(const std::string& account) {
  int64_t check = 98 - mod97(account + "111400");  // B=11, E=14, then "00"
  return "BE" + padded(check, 2) + account;
}

}  // namespace

int TableData::column(std::string_view wanted) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (base::equalsIgnoringCase(columns[i].name, wanted)) return int(i);
  }
  return -1;
}

Dossier::Dossier(Options options) : options_(std::move(options)) {
  const std::string& c = options_.company;
  const std::string digits = !c.empty() && c[0] == 'E' ? c.substr(1) : c;
  if (digits.size() != 3 || !std::all_of(digits.begin(), digits.end(), [](char ch) { return ch >= '0' && ch <= '9'; }) || digits == "000")
    throw std::invalid_argument("Code société invalide « " + c + " » : trois chiffres attendus (001 à 999). / "
                                "Ongeldige bedrijfscode \"" + c + "\": drie cijfers verwacht (001 tot 999).");
  if (options_.years < 1 || options_.years > 99)
    throw std::invalid_argument("Nombre d'exercices invalide : 1 à 99. / Ongeldig aantal boekjaren: 1 tot 99.");
  if (options_.lines < kMinLines || options_.lines > 50000000)
    throw std::invalid_argument("Nombre de lignes par exercice invalide : " + std::to_string(kMinLines) +
                                " à 50000000. / Ongeldig aantal lijnen per boekjaar: " + std::to_string(kMinLines) +
                                " tot 50000000.");
  customerCount_ = int(std::clamp<int64_t>(16 + options_.lines / 400, 16, 5000));
  supplierCount_ = int(std::clamp<int64_t>(14 + options_.lines / 600, 14, 3000));
  for (int i = 0; i < customerCount_; ++i) customers_.push_back({std::string(1, 'C').append(padded(i + 1, 5)), i == 2 ? "FR" : i == 3 ? "LU" : ""});
  for (int i = 0; i < supplierCount_; ++i) suppliers_.push_back({std::string(1, 'F').append(padded(i + 1, 5)), i == 2 ? "NL" : ""});
  // A supplier that carries the number of a customer.
  suppliers_[5].id = customers_[1].id;
}

int Dossier::societyId() const {
  const std::string& c = options_.company;
  return std::stoi(c[0] == 'E' ? c.substr(1) : c);
}

std::string Dossier::companyName() const { return "Société Démo Marlin " + padded(societyId(), 3); }

TableData Dossier::societyList() const {
  TableData t{"SOCIETYLIST", {{"SOCIETYID", Type::Long}, {"NAME", Type::Text, 50}, {"DBVERSION", Type::Text, 10}}, {}};
  // The sample company plus entries a real list holds: a company without
  // name (skipped by readers) and one with a number beyond three digits.
  const int id = societyId();
  if (id != 7) t.rows.push_back({whole(7), text("Acme Trading"), text("1.70")});
  t.rows.push_back({whole(id), text(companyName()), text("1.70")});
  t.rows.push_back({whole(id == 998 ? 997 : 998), kNull, text("1.70")});
  t.rows.push_back({whole(1234), text("Archives Comptables"), kNull});
  return t;
}

TableData Dossier::partyTable(bool isCustomer, bool withIban) const {
  const std::string name = isCustomer ? "AcctCustomer" : "AcctSupplier";
  std::vector<Column> cols = {{isCustomer ? "CustID" : "SUPPID", Type::Text, 10},
                              {"COMPANY", Type::Text, 60},
                              {"LASTNAME", Type::Text, 50},
                              {"ADDRESS", Type::Text, 60},
                              {"COUNTRYID", Type::Text, 3},
                              {"PHONEBUSINESS", Type::Text, 20},
                              {"PHONEFAX", Type::Text, 20},
                              {"VATNUM", Type::Text, 20},
                              {"BANKNUM", Type::Text, 34},
                              {"BANKFORMAT", Type::Text, 3},
                              {"LANGID", Type::Integer},
                              {"CITY", Type::Text, 40},
                              {"ZIPCODEID", Type::Text, 10},
                              {"PAYTYPE", Type::Text, 10},
                              {"INPUTID", Type::Text, 10},
                              {"CTRZACCTID", Type::Text, 10},
                              {"CATEGORY", Type::Text, 10},
                              {"CREATIONDATE", Type::DateTime},
                              {"REMARK", Type::Memo}};
  if (withIban) {
    cols.push_back({"IBAN1", Type::Text, 34});
    cols.push_back({"BIC1", Type::Text, 11});
  }
  TableData t{name, cols, {}};
  Random rng(mixSeed(options_.seed, isCustomer ? 11 : 12));
  const auto& parties = isCustomer ? customers_ : suppliers_;
  const std::vector<std::string> payTypes = {"30", "45", "60FM", "COMPT"};
  const std::vector<std::string> custCats = {"GROSSISTES", "GROSBOIS", "PME", "DETAIL", "EXPOR"};
  const std::vector<std::string> suppCats = {"SERV", "TRANSPORT", "ENERG"};
  for (size_t i = 0; i < parties.size(); ++i) {
    const Party& p = parties[i];
    const Place& place = rng.pick(kBelgianPlaces);
    std::string company = rng.pick(kTrades) + " " + rng.pick(kFamilies);
    Value country = text("BE"), vat = kNull, bank = kNull, bankFormat = text("BE"), zip = text(place.zip),
          city = text(place.city), lang = whole(rng.percent(50) ? 0 : 1), ctrz = kNull, iban = kNull, bic = kNull,
          payType = text(rng.pick(payTypes)), remark = kNull, lastName = kNull;
    const bool validVat = rng.percent(85);
    if (rng.percent(80)) vat = text((rng.percent(30) ? "BE" : "") + belgianVat(rng, validVat));
    if (rng.percent(75)) {
      std::string acct = belgianAccount(rng, rng.percent(85));
      bank = text(acct);
      iban = text(belgianIban(acct));
      bic = text(rng.pick(std::vector<std::string>{"GEBABEBB", "BBRUBEBB", "KREDBEBB", "GKCCBEBB"}));
    }
    if (rng.percent(30)) lastName = text(rng.pick(kFamilies));
    if (rng.percent(10)) remark = text("Client depuis " + std::to_string(1990 + rng.range(0, 30)) + " — conditions spéciales.\r\nVoir dossier papier.");
    switch (i) {
      case 0:  // a clean Belgian party with every field filled
        company = isCustomer ? "Boulangerie Dupré & Fils" : "Électricité Lemaître";
        vat = text(belgianVat(rng, true));
        bank = text("123456789002");  // check digits 02: valid
        iban = text(belgianIban("123456789002"));
        lang = whole(0);
        break;
      case 1:  // invalid check digits on both numbers, BE prefix on the VAT number
        vat = text("BE" + belgianVat(rng, false));
        bank = text("123456789003");
        lang = whole(1);
        break;
      case 2:  // foreign party (customer in France, supplier in the Netherlands)
        if (isCustomer) {
          country = text("FR"), vat = text("FR40303265045"), zip = text("75008"), city = text("Paris");
          bank = text("FR7630006000011234567890189"), bankFormat = text("IB");
        } else {
          country = text("NL"), vat = text("NL123456789B01"), zip = text("1012"), city = text("Amsterdam");
          bank = text("NL91ABNA0417164300"), bankFormat = text("IB"), lang = whole(1);
        }
        iban = bank;
        break;
      case 3:  // a postcode the Belgian list does not know, English language
        country = text("LU"), vat = text("LU15027442"), zip = text("9999"), city = text("Wiltz"), lang = whole(2);
        bank = text("LU280019400644750000"), bankFormat = text("IB"), iban = bank;
        break;
      case 4:  // no country, a nine-digit VAT number, an unknown language id
        country = kNull, vat = text("123456789"), zip = text("1000"), city = text("Bruxelles"), lang = whole(7);
        break;
      case 5:  // a country of two blanks, a short foreign account, German
        country = text("  "), bank = text("DE8937040"), bankFormat = text("IB"), lang = whole(3);
        break;
      case 6:  // a name longer than the target field
        company = "Établissements Vandenberghe-Van Den Bossche et Associés";
        lastName = text("Département comptabilité fournisseurs et clients");
        break;
      case 7:  // own collective account, long payment code, no postcode
        ctrz = text(isCustomer ? "40001" : "440010");
        payType = text("CASHONLY");
        zip = kNull;
        break;
      case 8:  // nothing but a number and a name
        country = kNull, vat = kNull, bank = kNull, bankFormat = kNull, zip = kNull, city = kNull, lang = kNull,
        payType = kNull, iban = kNull, bic = kNull;
        break;
      default: break;
    }
    Row r = {text(p.id),
             text(company),
             lastName,
             text(rng.pick(kStreets) + " " + std::to_string(rng.range(1, 250))),
             country,
             text("0" + std::to_string(rng.range(2, 9)) + "/" + rng.digits(3) + "." + rng.digits(2) + "." + rng.digits(2)),
             rng.percent(40) ? text("0" + std::to_string(rng.range(2, 9)) + "/" + rng.digits(3) + "." + rng.digits(4)) : kNull,
             vat,
             bank,
             bank.index() == 0 ? kNull : bankFormat,
             lang,
             city,
             zip,
             payType,
             rng.percent(60) ? text(isCustomer ? "700000" : "600000") : kNull,
             ctrz,
             text(rng.pick(isCustomer ? custCats : suppCats)),
             jet4::DateTime{int(2000 + rng.range(0, 24)), int(rng.range(1, 12)), int(rng.range(1, 28)),
                            int(rng.range(8, 17)), int(rng.range(0, 59)), 0},
             remark};
    if (withIban) {
      r.push_back(iban);
      r.push_back(iban.index() == 0 ? kNull : bic);
    }
    t.rows.push_back(std::move(r));
  }
  // A party stored without a number, and a second row repeating the first
  // party's number (a real dossier can hold both after a faulty import).
  Row noNumber = t.rows[3 % t.rows.size()];
  noNumber[0] = kNull;
  noNumber[1] = text(isCustomer ? "Client sans numéro" : "Fournisseur sans numéro");
  t.rows.push_back(noNumber);
  Row repeated = t.rows[9];
  repeated[0] = t.rows[0][0];
  repeated[1] = text("Doublon de " + std::get<std::string>(t.rows[0][1]));
  t.rows.push_back(repeated);
  return t;
}

std::vector<TableData> Dossier::companyTables(bool withIban) const {
  std::vector<TableData> out;
  out.push_back({"version", {{"Major", Type::Integer}, {"Minor", Type::Integer}, {"Build", Type::Integer}},
                 {{whole(1), whole(70), whole(412)}}});

  Random rng(mixSeed(options_.seed, 10));
  out.push_back({"dParam",
                 {{"NAME", Type::Text, 50},
                  {"ADDRESS", Type::Text, 60},
                  {"ZIPCODEID", Type::Text, 10},
                  {"CITY", Type::Text, 40},
                  {"CountryID", Type::Text, 3},
                  {"VATFORMAT", Type::Text, 3},
                  {"VATNUM", Type::Text, 20},
                  {"PHONE", Type::Text, 20},
                  {"CRCYID", Type::Text, 3},
                  {"LANGID", Type::Integer}},
                 {{text(companyName()), text("Chaussée de Liège 212"), text("5100"), text("Jambes"), text("BE"),
                   text("BE"), text(belgianVat(rng, true).substr(1)), text("081/30.20.10"), text("EUR"), whole(0)}}});

  out.push_back(partyTable(true, withIban));
  out.push_back(partyTable(false, withIban));

  TableData general{"AcctGeneral",
                    {{"TYPE", Type::Integer},
                     {"GENERALID", Type::Text, 10},
                     {"WORDINGFR", Type::Text, 80},
                     {"WORDINGNL", Type::Text, 80},
                     {"CRCYID", Type::Text, 3},
                     {"FLAGDC", Type::Integer},
                     {"VATCODE", Type::Text, 6},
                     {"ISACTIVE", Type::Boolean}},
                    {}};
  auto acct = [&](int type, const char* id, Value fr, Value nl, Value crcy = kNull, int flag = 0) {
    general.rows.push_back({whole(type), text(id), fr, nl, crcy, whole(flag), kNull, true});
  };
  acct(3, "1", text("FONDS PROPRES, PROVISIONS ET DETTES À PLUS D'UN AN"), text("EIGEN VERMOGEN, VOORZIENINGEN EN SCHULDEN OP MEER DAN ÉÉN JAAR"));
  acct(3, "10", text("Capital"), text("Kapitaal"));
  acct(0, "100000", text("Capital souscrit"), text("Geplaatst kapitaal"));
  acct(0, "130000", text("Réserve légale"), text("Wettelijke reserve"));
  acct(0, "140000", text("Bénéfice reporté"), text("Overgedragen winst"));
  acct(3, "4", text("CRÉANCES ET DETTES À UN AN AU PLUS"), text("VORDERINGEN EN SCHULDEN OP TEN HOOGSTE ÉÉN JAAR"));
  acct(1, "400000", text("Clients"), text("Handelsdebiteuren"));
  acct(1, "400500", text("Clients douteux"), text("Dubieuze debiteuren"));
  acct(2, "440000", text("Fournisseurs"), text("Leveranciers"));
  acct(0, "4400", text("Fournisseurs factures à recevoir"), kNull);  // four digits, no Dutch wording
  acct(0, "411000", text("TVA à récupérer"), text("Terug te vorderen btw"));
  acct(0, "451000", text("TVA à payer"), text("Te betalen btw"));
  acct(0, "499000", text("Compte d'attente"), text("Wachtrekening"));
  acct(3, "55", text("Établissements de crédit"), text("Kredietinstellingen"));
  acct(0, "550000", text("Banque KBC"), text("Bank KBC"));
  acct(4, "550100", text("Banque compte USD"), text("Bank USD-rekening"), text("USD"));
  acct(4, "550300", text("Banque compte GBP"), text("Bank GBP-rekening"), text("GBP"));
  acct(4, "550400", text("Banque compte CHF"), text("Bank CHF-rekening"), text("CHF"));
  acct(4, "550200", text("Banque compte devise"), text("Bank deviezenrekening"));  // currency left empty
  acct(0, "570000", text("Caisse"), text("Kas"));
  acct(0, "580000", text("Virements internes"), text("Interne overboekingen"));
  acct(3, "6", text("CHARGES"), text("KOSTEN"));
  acct(3, "61", text("Services et biens divers"), text("Diensten en diverse goederen"));
  acct(0, "600000", text("Achats de marchandises"), text("Aankopen van handelsgoederen"));
  acct(0, "6100", text("Loyers"), text("Huur"));  // four digits
  acct(0, "612000", text("Fournitures de bureau"), text("Kantoorbenodigdheden"));
  acct(0, "618000", kNull, kNull);  // no wording at all
  acct(0, "640120", text("TVA non déductible"), text("Niet aftrekbare btw"));
  acct(0, "657000", text("Frais de banque"), text("Bankkosten"));
  acct(5, "654000", text("Différences de change (perte)"), text("Wisselkoersverschillen (verlies)"), kNull, 0);
  acct(5, "754000", text("Différences de change (gain)"), text("Wisselkoersverschillen (winst)"), kNull, 1);
  acct(6, "655000", text("Écarts de conversion euro (perte)"), text("Omrekeningsverschillen euro (verlies)"), kNull, 0);
  acct(6, "755000", text("Écarts de conversion euro (gain)"), text("Omrekeningsverschillen euro (winst)"), kNull, 1);
  acct(0, "693000", text("Bénéfice à reporter"), text("Over te dragen winst"));
  acct(3, "7", text("PRODUITS"), text("OPBRENGSTEN"));
  acct(0, "700000", text("Ventes de marchandises"), text("Verkoop handelsgoederen"));
  acct(0, "701000", text("Prestations de services"), text("Dienstverlening"));
  acct(0, "740000", text("Subsides d'exploitation"), text("Bedrijfssubsidies"));
  general.rows.back()[7] = false;  // an inactive account
  general.rows.push_back({kNull, text("999999"), text("Compte sans type"), kNull, kNull, whole(0), kNull, false});
  out.push_back(std::move(general));

  out.push_back({"Category",
                 {{"CatID", Type::Text, 10}, {"TypeID", Type::Integer}, {"Wording", Type::Text, 40}},
                 {{text("GROSSISTES"), whole(10), text("Grossistes")},
                  {text("GROSBOIS"), whole(10), text("Grossistes en bois")},
                  {text("PME"), whole(10), text("Petites et moyennes entreprises")},
                  {text("DETAIL"), whole(10), text("Détaillants")},
                  {text("EXPOR"), whole(10), text("Exportation")},
                  {text("SERV"), whole(20), text("Services")},
                  {text("TRANSPORT"), whole(20), text("Transporteurs")},
                  {text("ENERG"), whole(20), kNull},
                  {text("AUTRE"), whole(30), text("Autres relations")}}});
  out.push_back({"PayType",
                 {{"PayType", Type::Text, 10}, {"Wording", Type::Text, 40}, {"Days", Type::Integer}},
                 {{text("30"), text("30 jours date facture"), whole(30)},
                  {text("45"), text("45 jours fin de mois"), whole(45)},
                  {text("60FM"), text("60 jours fin de mois"), whole(60)},
                  {text("CASHONLY"), text("Comptant uniquement"), whole(0)},
                  {text("CASHBACK"), text("Remboursement comptant"), whole(0)},
                  {text("COMPT"), kNull, whole(0)}}});
  applyVariant(options_.variant, out);
  return out;
}

}  // namespace marlin
