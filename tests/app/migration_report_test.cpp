// The migration report of real runs on the generated sample dossiers: what it
// lists, where it is written, that its JSON follows the schema, that a clean
// dossier reconciles and that a fault in the written books is found.
#include <algorithm>
#include <functional>
#include <sstream>

#include "app/cli/cli_options.h"
#include "app/cli/exit_status.h"
#include "app/cli/windowless_front_end.h"
#include "base/text.h"
#include "cli_fixture.h"
#include "host/obj_marlin.h"
#include "store/dossier_template.h"
#include "store/engine/sx.h"

namespace {

class MigrationReport : public CliTest {
 protected:
  Ran importSample(const std::string& form, const std::string& more = "") {
    return import("--source-folder " + shellQuoted(sample(form)) + " --company 001 " + more,
                  "XDG_STATE_HOME=" + shellQuoted((root / "state").string()));
  }
  fs::path dossierReport(const char* extension) const {
    return kestrel / "ACME" / (std::string("ACME_MIGRATION.") + extension);
  }
};

// The sample holds every kind of change and drop on purpose (see
// tools/marlin-sample): each is listed with its source key and values.
TEST_F(MigrationReport, SeededChangesAndDropsAreListedWithTheirKeysAndValues) {
  Ran r = importSample("access-prefixed");
  ASSERT_EQ(r.status, 0) << r.output;
  const auto lines = reportLines({dossierReport("json")});
  for (const char* line :
       {"outcome|import|succeeded|0",
        "change|customers|clipped|CSF.NAME1|C00007|Établissements Vandenberghe-Van Den Bossche et Associés|"
        "Établissements Vandenberghe-Van Den Boss",
        "change|customers|dropped|CSF.BNKACCNT|C00002|123456789003|",
        "skip|customers|duplicate-number|C00001|Doublon de Boulangerie Dupré & Fils",
        "change|categories|shortened|TABLE.TID|GROSSISTES|GROSSISTES|GROS1",
        "change|journals|renamed|DBK.DBKID|NCVEN|NCVEN|NCVEN1", "repeat|several-matching-entries|"})
    EXPECT_TRUE(hasLine(lines, line)) << line;
  // Each step counts the records it added: customers and suppliers both add to CSF.
  long csf = 0;
  for (const std::string step : {"customers", "suppliers"}) {
    const std::string start = "written|" + step + "|CSF|";
    const auto at = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    ASSERT_NE(at, lines.end()) << step;
    csf += std::stol(at->substr(start.size()));
  }
  EXPECT_EQ(csf, dbfreadCounts(dossierReport("json").parent_path() / "ACME_CSF.DBF").at("ACME_CSF.DBF"));
  // The merge brings the newer year into the older year's dossier: the journals
  // of the second book year are all its records.
  const std::string merged = "written|merge|DBK_02|";
  const auto m = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(merged, 0) == 0; });
  ASSERT_NE(m, lines.end());
  EXPECT_EQ(std::stol(m->substr(merged.size())),
            dbfreadCounts(dossierReport("json").parent_path() / "ACME_DBK_02.DBF").at("ACME_DBK_02.DBF"));
  // Both passes convert the general accounts; the dossier holds them once.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "change|general-accounts|lengthened|ACF.NUMBER|4400|4400|440000"), 1);
  // The text report names the same cases for people.
  const std::string text = readText(dossierReport("txt"));
  for (const char* piece : {"[C00007]", "[C00001]", "\"GROSSISTES\" -> \"GROS1\"", "NCVEN1", "0 différence(s)"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece;
  // The last message names the report inside the dossier.
  EXPECT_NE(r.output.find("Rapport de migration : " + dossierReport("txt").string()), std::string::npos) << r.output;
}

TEST_F(MigrationReport, CleanDossierReconcilesInBothAccessLayouts) {
  for (const char* form : {"access-prefixed", "access-older"}) {
    fs::remove_all(kestrel / "ACME");
    Ran r = importSample(form, "--language N");
    ASSERT_EQ(r.status, 0) << form << r.output;
    EXPECT_NE(r.output.find("Import OK!"), std::string::npos);
    const auto lines = reportLines({dossierReport("json")});
    EXPECT_NE(std::find(lines.begin(), lines.end(), "outcome|import|succeeded|0"), lines.end()) << form;
    EXPECT_FALSE(hasLine(lines, "difference|")) << form;
    // Every section compared something: accounts, parties, journals.
    const auto balance = std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.rfind("balance|", 0) == 0; });
    ASSERT_NE(balance, lines.end());
    std::stringstream counts(balance->substr(8));
    for (std::string n; std::getline(counts, n, '|');) EXPECT_GT(std::stol(n), 0) << form << " " << *balance;
  }
}

TEST_F(MigrationReport, FailedRunWritesItsReportWhereTheKestrelFolderStaysUntouched) {
  // An existing dossier is refused; the report goes to the folder of --report.
  fs::create_directories(kestrel / "ACME");
  std::ofstream(kestrel / "ACME" / "ACME_PARAM.DBF") << "x";
  Ran refused = importSample("access-prefixed", "--report " + shellQuoted((root / "reports").string()));
  EXPECT_EQ(refused.status, 1);
  std::vector<fs::path> written;
  for (auto& e : fs::directory_iterator(root / "reports")) written.push_back(e.path());
  ASSERT_EQ(written.size(), 2u);
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written[0].extension(), ".json");
  EXPECT_EQ(written[0].filename().string().rfind("ACME_MIGRATION_", 0), 0u);
  EXPECT_NE(refused.output.find("Rapport de migration : " + written[1].string()), std::string::npos) << refused.output;
  EXPECT_TRUE(hasLine(reportLines({written[0]}), "outcome|import|failed|"));
  EXPECT_EQ(fs::directory_iterator(kestrel / "ACME")->path().filename(), "ACME_PARAM.DBF");

  // Without --report: the user's state folder.
  Ran again = importSample("access-prefixed");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.output.find("Rapport de migration : " + (root / "state" / "marlin2kestrel").string()),
            std::string::npos)
      << again.output;
}

// A fault injected after the conversion, before the reconciliation, through
// the run's table of steps: the merge is followed by a change of one written
// amount (then by the loss of one line); the difference is listed and the
// exit status is 3.
TEST_F(MigrationReport, AFaultInTheWrittenBooksIsFoundAndGivesStatus3) {
  struct Fault {
    bool dropLine;
    std::string account, document;  // the line's account and document, as written
  };
  for (Fault fault : {Fault{false, "", ""}, Fault{true, "", ""}}) {
    fs::remove_all(kestrel);
    fs::create_directories(kestrel);
    run::Steps steps = run::defaultSteps();
    const auto merge = steps.mergeYears;
    steps.mergeYears = [&](base::RunContext& ctx, const std::string& folder, int older, int newer) {
      if (!merge(ctx, folder, older, newer)) return false;
      store::sx_Use(store::workingDossier(folder, older).prefix + "_ACT.DBF", "ACT");
      for (store::sx_GoTop(); !store::sx_Eof(); store::sx_Skip(1)) {
        const std::string gl = base::Trim(store::sx_GetString("ACCOUNTGL"));
        if (gl.empty() || base::Trim(store::sx_GetString("DOCTYPE")) != "3" || store::sx_GetString("BOOKYEAR") != "2")
          continue;
        fault.account = gl;
        fault.document = base::Trim(store::sx_GetString("DBKCODE")) + " " + store::sx_GetString("PERIOD") + " " +
                         base::Trim(store::sx_GetString("DOCNUMBER"));
        if (fault.dropLine)
          store::sx_Delete();
        else
          store::sx_Replace("AMOUNTEUR", store::SX_DOUBLE, store::sx_GetDouble("AMOUNTEUR") + 1.0);
        break;
      }
      store::sx_CloseAll();
      return true;
    };
    app::CliOptions options;
    ASSERT_FALSE(app::parseCliOptions({"--kestrel-folder", kestrel.string(), "--dossier", "ACME", "--source-folder",
                                       sample("access-prefixed"), "--company", "001"},
                                      options));
    std::ostringstream out;
    app::WindowlessFrontEnd front(options, "", out, false);
    host::objMarlin marlin(front, run::defaultServices(), steps, (root / "Marlin2KS.ini").string());
    marlin.Language("F");
    marlin.KestrelPath(kestrel.string());
    marlin.KestrelDossierName("ACME");
    marlin.Execute();
    ASSERT_FALSE(fault.account.empty());
    const base::RunReport& report = marlin.mainMarlin()->ctx.report;
    EXPECT_EQ(app::exitStatus(report), 3) << out.str();
    std::vector<std::string> found;
    for (const base::Difference& d : report.reconciliation.differences)
      found.push_back(d.section + " " + std::to_string(d.bookYear) + " " + d.key);
    EXPECT_NE(std::find(found.begin(), found.end(), "account 2 " + fault.account), found.end())
        << ::testing::PrintToString(found);
    EXPECT_NE(std::find(found.begin(), found.end(), "unbalanced 2 " + fault.document), found.end())
        << ::testing::PrintToString(found);
    if (fault.dropLine)
      EXPECT_TRUE(std::any_of(found.begin(), found.end(), [](auto& f) { return f.rfind("journal 2 ", 0) == 0; }));
    EXPECT_NE(out.str().find("la réconciliation a trouvé " + std::to_string(found.size()) + " différences"),
              std::string::npos)
        << out.str();
    // The dossier is written, with its report, which says on which side the document does not balance.
    const auto lines = reportLines({dossierReport("json")});
    EXPECT_TRUE(hasLine(lines, "outcome|import|succeeded|" + std::to_string(found.size())));
    EXPECT_TRUE(hasLine(lines, "unbalanced|target|2|" + fault.document + "|EUR"));
  }
}

// A source check fails on anything the import would lose, a value cut short
// as much as a dropped row; a value that only changes its form passes.
TEST(ExitStatus, SourceCheckFailsOnEachKindOfLoss) {
  auto status = [](const std::function<void(base::RunReport&)>& record) {
    base::RunReport r;
    r.begin(base::RunReport::Kind::SourceCheck, "F");
    r.beginStep("customers", 0);
    record(r);
    r.endStep(0, true);
    r.finish(true);
    return app::exitStatus(r);
  };
  using K = base::ChangeKind;
  EXPECT_EQ(status([](auto& r) { r.changed(K::Reformatted, "CSF.VATNUMBER", "C1", "0123456789", "123.456.789"); }), 0);
  EXPECT_EQ(status([](auto& r) { r.changed(K::Clipped, "CSF.NAME1", "C1", "Brasserie", "Bras"); }), 3);
  EXPECT_EQ(status([](auto& r) { r.skipped(base::SkipReason::DuplicateNumber, "C1"); }), 3);
}

// --check-source needs no Kestrel folder and leaves nothing but the report.
TEST_F(MigrationReport, SourceCheckOfCleanSeededAndUnimportableSources) {
  const fs::path tmp = root / "tmp", reports = root / "reports";
  fs::create_directories(tmp);
  auto generate = [&](const std::string& variant) {
    const fs::path out = root / variant;
    Ran g = run(std::string(M2K_BIN_DIR) + "/marlin-sample --form access-prefixed --out " + shellQuoted(out.string()) +
                " --company 001 --lines 300 --variant " + variant);
    EXPECT_EQ(g.status, 0) << g.output;
    return out;
  };
  auto check = [&](const fs::path& source) {
    fs::remove_all(reports);
    Ran r = run(std::string(M2K_BIN_DIR) + "/marlin2kestrel --check-source --source-folder " +
                    shellQuoted(source.string()) + " --company 001 --report " + shellQuoted(reports.string()),
                "TMPDIR=" + shellQuoted(tmp.string()) + " XDG_STATE_HOME=" + shellQuoted((root / "state").string()));
    // Nothing but the report: no private folder left, no Kestrel folder, no state folder.
    EXPECT_TRUE(fs::is_empty(tmp)) << fs::directory_iterator(tmp)->path();
    EXPECT_TRUE(fs::is_empty(kestrel));
    EXPECT_FALSE(fs::exists(root / "state"));
    std::vector<fs::path> json;
    for (auto& e : fs::directory_iterator(reports))
      if (e.path().extension() == ".json") json.push_back(e.path());
    EXPECT_EQ(json.size(), 1u);
    return std::make_pair(r, json.empty() ? std::vector<std::string>() : reportLines(json));
  };

  const fs::path clean = generate("clean");
  const auto sourceTime = fs::last_write_time(clean / "001Soc.MDB");
  auto [cleanRun, cleanLines] = check(clean);
  EXPECT_EQ(cleanRun.status, 0) << cleanRun.output;
  EXPECT_TRUE(hasLine(cleanLines, "outcome|source-check|succeeded|0")) << cleanRun.output;
  EXPECT_EQ(fs::last_write_time(clean / "001Soc.MDB"), sourceTime);

  auto [seededRun, seededLines] = check(sample("access-prefixed"));
  EXPECT_EQ(seededRun.status, 3) << seededRun.output;
  EXPECT_TRUE(hasLine(seededLines, "outcome|source-check|succeeded|0"));
  EXPECT_TRUE(hasLine(seededLines, "change|customers|clipped|CSF.NAME1|C00007|"));
  EXPECT_TRUE(hasLine(seededLines, "skip|customers|duplicate-number|C00001|"));

  auto [failedRun, failedLines] = check(generate("number-too-long"));
  EXPECT_EQ(failedRun.status, 1) << failedRun.output;
  EXPECT_TRUE(hasLine(failedLines, "outcome|source-check|failed|"));
  EXPECT_TRUE(hasLine(failedLines, "skip|customers|number-too-long|C0000000001|"));
}

}  // namespace
