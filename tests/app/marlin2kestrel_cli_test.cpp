// marlin2kestrel end to end on the generated sample dossiers: the finished
// dossier opens in python3-dbfread, its indexes pass the checker, and its
// accounts are those of the source.
#include <algorithm>
#include <set>

#include "app/cli/cli_options.h"
#include "cli_fixture.h"
#include "convert/master/codes.h"

namespace {

// Splits one CSV line of marlin-query (quotes around fields with commas).
std::vector<std::string> csvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') fields.back() += '"', ++i;
      else if (c == '"') quoted = false;
      else fields.back() += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

class Marlin2Kestrel : public CliTest {
 protected:
  // Source general accounts (TYPE 0) of a sample company database.
  std::vector<std::string> sourceAccounts(const std::string& database, const std::string& table) {
    Ran r = run(std::string(M2K_BIN_DIR) + "/marlin-query " + shellQuoted(database) + " --table " + table);
    EXPECT_EQ(r.status, 0) << r.output;
    std::stringstream in(r.output);
    std::string line;
    std::getline(in, line);
    auto header = csvFields(line);
    auto type = std::find(header.begin(), header.end(), "TYPE") - header.begin();
    auto id = std::find(header.begin(), header.end(), "GENERALID") - header.begin();
    std::vector<std::string> accounts;
    while (std::getline(in, line)) {
      auto f = csvFields(line);
      if (f.size() == header.size() && f[static_cast<std::size_t>(type)] == "0")
        accounts.push_back(f[static_cast<std::size_t>(id)]);
    }
    return accounts;
  }

  // One column of a source table, by marlin-query.
  std::vector<std::string> sourceColumn(const std::string& database, const std::string& table,
                                        const std::string& column) {
    Ran r = run(std::string(M2K_BIN_DIR) + "/marlin-query " + shellQuoted(database) + " " +
                shellQuoted("SELECT " + column + " FROM " + table));
    EXPECT_EQ(r.status, 0) << r.output;
    std::stringstream in(r.output);
    std::vector<std::string> values;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) values.push_back(line);
    return values;
  }

  // The finished dossier: every file renamed, indexes sound, tables readable,
  // the source's accounts at the dossier's account length.
  void expectDossier(const std::vector<std::string>& source, const std::string& language) {
    const fs::path dossier = kestrel / "ACME";
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(dossier)) {
      ++files;
      EXPECT_EQ(e.path().filename().string().rfind("ACME_", 0), 0u) << e.path();
    }
    EXPECT_EQ(files, 34u);  // 16 tables, their indexes and memo, and the report (text and JSON)
    Ran check = run(std::string(M2K_BIN_DIR) + "/kestrel-dump --check " + shellQuoted(dossier.string()));
    EXPECT_EQ(check.status, 0) << check.output;

    auto counts = dbfreadCounts(dossier);
    EXPECT_EQ(counts.size(), 16u);
    EXPECT_GE(counts["ACME_ACF.DBF"], static_cast<long>(source.size()));

    const auto ids = dbfreadRows(dossier / "ACME_PARAM.DBF", {"ID"});
    const auto values = dbfreadRows(dossier / "ACME_PARAM.DBF", {"VALUE"});
    auto param = [&](const std::string& id) {
      auto at = std::find(ids.begin(), ids.end(), id);
      return at == ids.end() ? std::string("(missing)") : values[static_cast<std::size_t>(at - ids.begin())];
    };
    EXPECT_EQ(param("LangCreation"), language);
    EXPECT_EQ(param("Socname"), "Société Démo Marlin 001");
    const std::string picture = param("AccountPicture");
    const auto lengen = picture.find("LENGEN=");
    ASSERT_NE(lengen, std::string::npos) << picture;
    const int length = std::stoi(picture.substr(lengen + 7));
    std::size_t longest = 0;
    for (auto& a : source) longest = std::max(longest, a.size());
    EXPECT_EQ(length, static_cast<int>(std::clamp<std::size_t>(longest, 4, 8)));

    const auto numbers = dbfreadRows(dossier / "ACME_ACF.DBF", {"NUMBER"});
    std::set<std::string> inDossier(numbers.begin(), numbers.end());
    for (auto& a : source)
      EXPECT_TRUE(inDossier.count(convert::NormalizeAccount(a, static_cast<int16_t>(length)))) << a;
  }
};

TEST_F(Marlin2Kestrel, AccessPrefixedLayoutInFrench) {
  Ran r = import("--source-folder " + shellQuoted(sample("access-prefixed")) + " --company 001 --master-only --accounts");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("L'importation s'est déroulée correctement"), std::string::npos);
  EXPECT_NE(r.output.find("Terminated..."), std::string::npos);
  expectDossier(sourceAccounts(sample("access-prefixed") + "/001Soc.MDB", "D_AcctGeneral"), "F");
}

TEST_F(Marlin2Kestrel, BelgianDesktopLocaleDoesNotStopTheImport) {
  const TestLocale& locale = belgianFrenchLocale();
  if (locale.name.empty()) GTEST_SKIP() << "no fr_BE.UTF-8 locale and none can be generated (localedef, Debian package locales)";
  Ran r = import("--source-folder " + shellQuoted(sample("access-prefixed")) + " --company 001 --master-only --accounts",
                 locale.environment());
  ASSERT_EQ(r.status, 0) << r.output;
  expectDossier(sourceAccounts(sample("access-prefixed") + "/001Soc.MDB", "D_AcctGeneral"), "F");
}

TEST_F(Marlin2Kestrel, AccessOlderLayoutInDutch) {
  Ran r = import("--language N --source-folder " + shellQuoted(sample("access-older")) +
                 " --company 001 --master-only --accounts");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Import OK!"), std::string::npos);
  expectDossier(sourceAccounts(sample("access-older") + "/001Soc.MDB", "AcctGeneral"), "N");
}

TEST_F(Marlin2Kestrel, AllMasterDataWithCategoryCodesShortened) {
  Ran r = import("--source-folder " + shellQuoted(sample("access-prefixed")) + " --company 001 --master-only");
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string db = sample("access-prefixed") + "/001Soc.MDB";
  const fs::path dossier = kestrel / "ACME";
  // One row per customer code (type 1) and per supplier code (type 2); a code
  // given twice in the source is taken once.
  std::set<std::string> expected, found;
  for (auto& id : sourceColumn(db, "D_AcctCustomer", "CustID")) expected.insert("1/" + id);
  for (auto& id : sourceColumn(db, "D_AcctSupplier", "SUPPID")) expected.insert("2/" + id);
  const auto csfTypes = dbfreadRows(dossier / "ACME_CSF.DBF", {"TYPE"});
  const auto csfNumbers = dbfreadRows(dossier / "ACME_CSF.DBF", {"NUMBER"});
  for (std::size_t i = 0; i < csfTypes.size() && i < csfNumbers.size(); ++i) found.insert(csfTypes[i] + "/" + csfNumbers[i]);
  EXPECT_EQ(found, expected);
  EXPECT_EQ(csfNumbers.size(), expected.size());
  // Long category codes get a short code of their first four characters and a digit.
  const auto types = dbfreadRows(dossier / "ACME_TABLE.DBF", {"TTYPE"});
  const auto codes = dbfreadRows(dossier / "ACME_TABLE.DBF", {"TID"});
  std::set<std::string> rows;
  for (std::size_t i = 0; i < types.size() && i < codes.size(); ++i) rows.insert(types[i] + "/" + codes[i]);
  for (const char* row : {"CATCUS/GROS0", "CATCUS/GROS1", "CATCUS/PME", "CATSUP/TRAN0", "PAYCODE/CASH1", "PAYCODE/CASH2"})
    EXPECT_TRUE(rows.count(row)) << row;
  // --master-only alone takes the general accounts too.
  expectDossier(sourceAccounts(db, "D_AcctGeneral"), "F");
}

TEST_F(Marlin2Kestrel, ExistingDossierIsRefusedAndLeftAsItWas) {
  const std::string args = "--source-folder " + shellQuoted(sample("access-prefixed")) + " --company 001 --master-only --accounts";
  ASSERT_EQ(import(args).status, 0);
  const fs::path param = kestrel / "ACME" / "ACME_PARAM.DBF";
  const std::string before = readText(param);
  const auto written = fs::last_write_time(param);
  Ran again = import(args);
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.output.find("Le chemin du dossier Kestrel de destination doit être vide, veuillez le supprimer via Kestrel."),
            std::string::npos)
      << again.output;
  EXPECT_EQ(readText(param), before);
  EXPECT_EQ(fs::last_write_time(param), written);
}

TEST_F(Marlin2Kestrel, FailedRunsSayWhyInTheirLanguageLeaveNoTargetAndFailTheExitStatus) {
  const std::string missing = (root / "nowhere").string();
  Ran absentFr = import("--source-folder " + shellQuoted(missing) + " --company 001 --master-only");
  EXPECT_EQ(absentFr.status, 1);
  EXPECT_NE(absentFr.output.find("Le dossier Marlin " + missing + " n'existe pas."), std::string::npos) << absentFr.output;
  Ran absentNl = import("--language N --source-folder " + shellQuoted(missing) + " --company 001 --master-only");
  EXPECT_EQ(absentNl.status, 1);
  EXPECT_NE(absentNl.output.find("De Marlin map " + missing + " bestaat niet."), std::string::npos) << absentNl.output;
  // A folder without Marlin data: no company list, so no import.
  Ran none = import("--language N --source-folder " + shellQuoted(root.string()) + " --company 001 --master-only");
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.output.find("De map " + root.string() + " bevat het bestand Common.mdb van Marlin niet."),
            std::string::npos)
      << none.output;
  // A damaged Common.mdb, in Dutch only, naming the file.
  const fs::path damaged = root / "damaged";
  fs::create_directories(damaged);
  std::ofstream(damaged / "Common.mdb") << "not a database";
  Ran broken = import("--language N --source-folder " + shellQuoted(damaged.string()) + " --company 001");
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.output.find("Het bestand " + (damaged / "Common.mdb").string()), std::string::npos) << broken.output;
  EXPECT_EQ(broken.output.find("Le fichier"), std::string::npos) << broken.output;
  // A company that is not in the list.
  Ran unknown = import("--language N --source-folder " + shellQuoted(sample("access-prefixed")) + " --company 042");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.output.find("Het bedrijf 042 staat niet in de lijst van Marlin bedrijven."), std::string::npos)
      << unknown.output;
  EXPECT_FALSE(fs::exists(kestrel / "ACME"));
}

TEST_F(Marlin2Kestrel, CommandLineMistakesAreExplained) {
  Ran noSource = import("--company 001");
  EXPECT_EQ(noSource.status, 2);
  EXPECT_NE(noSource.output.find("Indiquez la source"), std::string::npos) << noSource.output;
  Ran both = import("--language N --source-folder x --sql-server y --login z --company 001");
  EXPECT_EQ(both.status, 2);
  EXPECT_NE(both.output.find("niet allebei"), std::string::npos) << both.output;
  Ran stray = import("--accounts --source-folder x --company 001");
  EXPECT_EQ(stray.status, 2);
  EXPECT_NE(stray.output.find("vont avec --master-only"), std::string::npos) << stray.output;
  Ran unknown = import("--frobnicate");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.output.find("Option inconnue : --frobnicate"), std::string::npos);
  EXPECT_FALSE(fs::exists(kestrel / "ACME"));
  EXPECT_FALSE(fs::exists(kestrel / "VIDE"));
  // An import needs both the Kestrel folder and the dossier's name.
  for (const char* missing : {"--kestrel-folder", "--dossier"}) {
    std::vector<std::string> args;
    for (const char* option : {"--kestrel-folder", "--dossier"})
      if (std::string(option) != missing) args.insert(args.end(), {option, "x"});
    args.insert(args.end(), {"--source-folder", "x", "--company", "001"});
    app::CliOptions options;
    const auto refused = app::parseCliOptions(args, options);
    ASSERT_TRUE(refused) << missing;
    EXPECT_NE(refused->find("sont obligatoires"), std::string::npos) << *refused;
  }
}

}  // namespace
