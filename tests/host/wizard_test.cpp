// The wizard's start, languages, layout and small handlers.
#include <fstream>
#include <sstream>

#include "host/ini_file.h"
#include "host/obj_marlin.h"
#include "wizard_fixture.h"

namespace {

TEST_F(WizardTest, CaptionsInFrenchAndDutch) {
  auto& fr = load("F");
  EXPECT_EQ(fr.caption, "Kestrel - Importation d'un dossier Marlin 5.01");
  EXPECT_EQ(fr.control("Label1").text,
            "Déterminez le chemin de Marlin, puis sélectionnez le dossier à importer. Cliquez sur 'Import' pour "
            "démarrer l'importation.");
  EXPECT_EQ(fr.control("Label7").text, "Entrez ici le chemin des données Kestrel ex: 'c:\\Kestrel\\data'");
  EXPECT_EQ(fr.control("cmdCancel").text, "Quitter");
  EXPECT_EQ(fr.control("OptCompta").text, "Signalétiques et l'historique des 2 derniers exercices courants");
  EXPECT_TRUE(fr.control("Option1").value);
  EXPECT_FALSE(fr.control("Option2").value);

  // Every code other than "F" gives Dutch.
  for (const char* code : {"N", "", "E"}) {
    auto& nl = load(code);
    EXPECT_EQ(nl.ctx.language, "N");
    EXPECT_TRUE(nl.control("Option2").value);
    EXPECT_EQ(nl.caption, "Kestrel - Import van een Marlin Dossier");
    EXPECT_EQ(nl.control("Label1").text, "Bepaal het pad naar Marlin en selecteer dan het te importeren dossier. Klik op ");
    EXPECT_EQ(nl.control("Label14").text, "Watchwoord");
    EXPECT_EQ(nl.control("chkGeneralLegders").text, "Algemene rekeningen");
  }
  auto& sql = load("F", true);
  EXPECT_EQ(sql.caption, "Kestrel - Importation d'un dossier Marlin Sql");
  EXPECT_EQ(sql.control("FrameSql").text, "Dossier Marlin Sql à importer");
}

TEST_F(WizardTest, LanguageButtonsSwitchCaptionsAndMessages) {
  auto& w = load("F");
  w.click("OptCompta");
  w.click("Option2");
  EXPECT_FALSE(w.control("Option1").value);
  EXPECT_TRUE(w.control("OptCompta").value) << "the language buttons are a group of their own";
  EXPECT_EQ(w.ctx.language, "N");
  EXPECT_EQ(w.control("Frame2").text, "Bestemming dossier in Kestrel");
  EXPECT_EQ(w.caption, "Kestrel - Import van een Marlin Dossier");
  w.click("Option1");
  EXPECT_EQ(w.ctx.language, "F");
  EXPECT_EQ(w.control("Frame2").text, "Chemin du dossier");
}

TEST_F(WizardTest, LoadReadsTheKestrelFolderFromTheIniFileOnly) {
  auto& none = load("F");
  EXPECT_EQ(none.control("txtPathKestrel").text, "");
  EXPECT_TRUE(ui.messages.empty()) << "a missing INI file is silent";

  host::writeIniValue(ini, "Marlin2Kestrel", "PathDataKestrel", "/data/kestrel");
  host::writeIniValue(ini, "Marlin2Kestrel", "PathMarlin", "/data/marlin");
  auto& w = load("F");
  EXPECT_EQ(w.control("txtPathKestrel").text, "/data/kestrel");
  EXPECT_EQ(w.control("txtPathMarlin").text, "") << "the Marlin folder is remembered but never read back";

  // Typing writes the key at each change.
  w.type("txtPathKestrel", "/other");
  EXPECT_EQ(host::readIniValue(ini, "marlin2kestrel", "PATHDATAKESTREL"), "/other");
  EXPECT_EQ(host::readIniValue(ini, "Marlin2Kestrel", "PathMarlin"), "/data/marlin");
}

TEST_F(WizardTest, IniFileKeepsOtherContentAndFailsSilently) {
  {
    std::ofstream f(ini);
    f << "; comment\n[Bare]\n\n[Other]\nPathDataKestrel=elsewhere\n[Marlin2Kestrel]\nPathMarlin = \"C:\\Marlin\"\nEmpty=\"\"\n";
  }
  EXPECT_EQ(host::readIniValue(ini, "Marlin2Kestrel", "PathMarlin"), "C:\\Marlin");
  EXPECT_EQ(host::readIniValue(ini, "Marlin2Kestrel", "Empty"), "");
  EXPECT_EQ(host::readIniValue(ini, "Marlin2Kestrel", "PathDataKestrel"), "");
  ASSERT_TRUE(host::writeIniValue(ini, "Marlin2Kestrel", "PathDataKestrel", "D:\\Data"));
  EXPECT_EQ(host::readIniValue(ini, "Marlin2Kestrel", "PathDataKestrel"), "D:\\Data");
  EXPECT_EQ(host::readIniValue(ini, "Other", "PathDataKestrel"), "elsewhere");
  // A section without keys gets its first right under its header.
  ASSERT_TRUE(host::writeIniValue(ini, "Bare", "Key", "v"));
  EXPECT_EQ(host::readIniValue(ini, "Bare", "Key"), "v");
  std::stringstream all;
  all << std::ifstream(ini).rdbuf();
  EXPECT_NE(all.str().find("; comment"), std::string::npos);
  // A value is cut to what the caller's buffer holds.
  host::writeIniValue(ini, "Marlin2Kestrel", "Long", std::string(300, 'x'));
  EXPECT_EQ(host::readIniValue(ini, "Marlin2Kestrel", "Long").size(), 254u);

  const std::string unwritable = (root / "missing" / "dir" / "Marlin2KS.ini").string();
  EXPECT_FALSE(host::writeIniValue(unwritable, "Marlin2Kestrel", "PathDataKestrel", "x"));
  EXPECT_EQ(host::readIniValue(unwritable, "Marlin2Kestrel", "PathDataKestrel"), "");
}

TEST_F(WizardTest, WrongDecimalSeparatorEndsTheWizard) {
  separator = ",";
  auto& w = load("F");
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "Le séparateur décimal doit être '.' et le séparateur des milliers doit être ','");
  EXPECT_EQ(ui.messages[0].icon, base::MsgIcon::Critical);
  EXPECT_EQ(ui.messages[0].title, "Marlin2Kestrel");
  EXPECT_EQ(ui.messages[1].icon, base::MsgIcon::Information);
  EXPECT_TRUE(w.isUnloaded());

  ui.messages.clear();
  load("N");
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "The decimal seprator must be '.' and the thousand separator must be ','");
  EXPECT_EQ(ui.messages[1].text, "Please modify your reginal setting via the control pannel");
}

TEST_F(WizardTest, SqlEditionLayout) {
  auto& access = load("F");
  const int accessHeight = access.height;
  const int frame2 = access.control("Frame2").top, ok = access.control("cmdOk").top;
  EXPECT_TRUE(access.control("Frame1").visible);
  EXPECT_FALSE(access.control("FrameSql").visible);

  auto& sql = load("F", true);
  EXPECT_FALSE(sql.control("Frame1").visible);
  EXPECT_TRUE(sql.control("FrameSql").visible);
  // The taller server frame pushes the options and buttons down by as much as
  // the window grows, and overlaps nothing below it.
  const int grown = sql.height - accessHeight;
  EXPECT_GT(grown, 0);
  EXPECT_EQ(sql.control("Frame2").top, frame2 + grown);
  EXPECT_EQ(sql.control("cmdOk").top, ok + grown);
  const host::Control& server = sql.control("FrameSql");
  EXPECT_LE(server.top + server.height, sql.control("Frame2").top);
  EXPECT_LE(server.left + server.width, sql.width);
  EXPECT_FALSE(sql.control("cboCompanySql").enabled);
}

TEST_F(WizardTest, DataOptionsAndEnabling) {
  auto& w = load("F");
  w.click("chkSuppliers");  // untick one
  w.click("OptCompta");
  EXPECT_FALSE(w.control("OptSignal").value);
  EXPECT_FALSE(w.control("chkClients").enabled);
  EXPECT_FALSE(w.control("chkGeneralLegders").enabled);
  EXPECT_TRUE(w.control("chkClients").value) << "greyed boxes keep their ticks";
  EXPECT_FALSE(w.control("chkSuppliers").value);
  w.click("OptSignal");
  EXPECT_TRUE(w.control("chkSuppliers").enabled);

  w.EnableWizardControls(false);
  for (const char* name : {"cmdOk", "cmdCancel", "cmdPathMarlin", "cboCompany", "cboServeur", "txtLogin", "txtPw",
                           "cboCompanySql", "cmdConnect", "chkClients", "chkSuppliers", "chkGeneralLegders"})
    EXPECT_FALSE(w.control(name).enabled) << name;
  EXPECT_TRUE(w.control("txtPathKestrel").enabled);
  w.click("cmdOk");  // a disabled button does nothing
  EXPECT_TRUE(ui.messages.empty());
}

// --- The host object ------------------------------------------------------------

class ScriptedFrontEnd : public host::FrontEnd {
 public:
  explicit ScriptedFrontEnd(base::RecordingUi& ui) : ui_(ui) {}
  base::Ui& ui() override { return ui_; }
  void showModal(host::frmMain& wizard) override {
    ++shown;
    seenPath = wizard.control("txtPathKestrel").text;
    seenName = wizard.control("txtCompanyName").text;
    if (action) action(wizard);
  }
  std::function<void(host::frmMain&)> action;
  int shown = 0;
  std::string seenPath, seenName;

 private:
  base::RecordingUi& ui_;
};

TEST_F(WizardTest, ExecuteShowsTheHostValuesAndPassesExecutionDoneOn) {
  host::writeIniValue(ini, "Marlin2Kestrel", "PathDataKestrel", "/from/ini");
  ScriptedFrontEnd front(ui);
  host::objMarlin marlin(front, services(), run::Steps{}, ini);
  marlin.Language("N");
  marlin.IsVersionSql(true);
  marlin.KestrelPath("/from/host");
  marlin.KestrelDossierName("ACME");
  EXPECT_EQ(marlin.Language(), "N");
  int done = 0;
  bool hiddenWhenRaised = false;
  marlin.ExecutionDone = [&] {
    ++done;
    hiddenWhenRaised = !marlin.mainMarlin()->visible;
  };
  // Command1 is hidden from people; raise its handler as the form would.
  front.action = [](host::frmMain& w) { w.Command1_Click(); };
  marlin.Execute();
  EXPECT_EQ(front.shown, 1);
  EXPECT_EQ(front.seenPath, "/from/host");
  EXPECT_EQ(host::readIniValue(ini, "Marlin2Kestrel", "PathDataKestrel"), "/from/host");
  EXPECT_EQ(front.seenName, "ACME");
  EXPECT_EQ(marlin.mainMarlin()->ctx.language, "N");
  EXPECT_TRUE(marlin.mainMarlin()->ctx.isVersionSql);
  EXPECT_EQ(done, 1);
  EXPECT_TRUE(hiddenWhenRaised);

  // Quit closes without the event.
  front.action = [](host::frmMain& w) { w.click("cmdCancel"); };
  marlin.Execute();
  EXPECT_EQ(done, 1);
  EXPECT_TRUE(marlin.mainMarlin()->isUnloaded());
}

}  // namespace
