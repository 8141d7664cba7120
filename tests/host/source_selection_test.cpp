// Choosing the source company in both editions.
#include "host/ini_file.h"
#include "wizard_fixture.h"

namespace {

using base::Value;

TEST_F(WizardTest, AccessFolderChoiceLoadsTheCompanyList) {
  societies({{Value::ofInt(7), "Acme"}, {Value::ofInt(12), ""}, {Value::null(), "Nameless"}, {Value::ofInt(42), "Beta"}});
  std::ofstream(root / "COMMON.MDB") << "x";
  std::ofstream(root / "e007soc.mdb") << "x";
  auto& w = load("N");
  ui.folderAnswers.push_back(root.string());
  w.click("cmdPathMarlin");
  EXPECT_EQ(ui.browseTitles, std::vector<std::string>{"Te recupereren signalementgegevens"});
  EXPECT_EQ(w.control("txtPathMarlin").text, root.string());
  EXPECT_EQ(host::readIniValue(ini, "Marlin2Kestrel", "PathMarlin"), root.string());
  EXPECT_EQ(w.control("cboCompany").items, (std::vector<std::string>{"007 - Acme", "042 - Beta"}));
  // The first item is chosen; an "E" database of that code wins.
  EXPECT_EQ(w.control("cboCompany").text, "007 - Acme");
  EXPECT_EQ(w.ctx.companyCode, "E007");
  w.choose("cboCompany", 1);
  EXPECT_EQ(w.ctx.companyCode, "042");

  // Cancelling the browser changes nothing.
  w.click("cmdPathMarlin");
  EXPECT_EQ(w.control("txtPathMarlin").text, root.string());

  // A folder without Common.mdb empties the list and the code.
  ui.folderAnswers.push_back((root / "nothing").string());
  w.click("cmdPathMarlin");
  EXPECT_TRUE(w.control("cboCompany").items.empty());
  EXPECT_EQ(w.ctx.companyCode, "");
}

TEST_F(WizardTest, DamagedCommonDatabaseIsReportedAndLeavesNoChoice) {
  std::ofstream(root / "Common.mdb") << "not a database";
  brokenCommon = true;
  auto& w = load("F");
  ui.folderAnswers.push_back(root.string());
  w.click("cmdPathMarlin");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("not an Access database"), std::string::npos);
  EXPECT_TRUE(w.control("cboCompany").items.empty());
  EXPECT_EQ(w.ctx.companyCode, "");
}

// Whatever a handler lets escape stops at the wizard's event: the window
// toolkit and a host behind the C interface never see it.
TEST_F(WizardTest, AnythingThrownByAHandlerIsShownAndTheWizardGoesOn) {
  societies({{Value::ofInt(7), "Acme"}});
  std::ofstream(root / "Common.mdb") << "x";
  strangeCommon = true;
  auto& w = load("N");
  ui.folderAnswers.push_back(root.string());
  w.click("cmdPathMarlin");
  EXPECT_EQ(ui.texts(), std::vector<std::string>{"Er is een onverwachte fout opgetreden."});
  strangeCommon = false;
  ui.folderAnswers.push_back(root.string());
  w.click("cmdPathMarlin");
  EXPECT_EQ(w.control("cboCompany").items, std::vector<std::string>{"007 - Acme"});
}

TEST_F(WizardTest, ConnectChecksTheFieldsThenLoadsTheServerList) {
  societies({{Value::ofInt(1), "Acme"}, {Value::ofInt(2), "Beta"}});
  auto& w = load("F", true);
  w.click("cmdConnect");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Le nom du serveur est obligatoire");
  EXPECT_EQ(ui.messages[0].icon, base::MsgIcon::None);

  w.type("cboServeur", " srv ");
  w.type("txtPw", "p;w d");
  w.click("cmdConnect");
  EXPECT_EQ(ui.messages.back().text, "Le login est obligatoire");
  EXPECT_TRUE(logins.empty());

  // Neither login nor password: the list is read with an empty login.
  w.type("txtPw", "");
  w.click("cmdConnect");
  ASSERT_EQ(logins, std::vector<std::string>{"srv|||PWCOMMON"});
  EXPECT_EQ(w.control("cboCompanySql").items, (std::vector<std::string>{"001 - Acme", "002 - Beta"}));
  EXPECT_TRUE(w.control("cboCompanySql").enabled);
  EXPECT_FALSE(w.control("cmdConnect").enabled);
  EXPECT_EQ(w.ctx.companyCode, "001");
  w.choose("cboCompanySql", 1);
  EXPECT_EQ(w.ctx.companyCode, "002");
  EXPECT_FALSE(ui.busy);

  // Any change of the connection fields withdraws the list.
  w.type("txtLogin", "sa");
  EXPECT_TRUE(w.control("cmdConnect").enabled);
  EXPECT_FALSE(w.control("cboCompanySql").enabled);
  EXPECT_TRUE(w.control("cboCompanySql").items.empty());
  EXPECT_EQ(w.ctx.companyCode, "");
}

TEST_F(WizardTest, ConnectFailuresAndEmptyLists) {
  auto& w = load("N", true);
  w.type("cboServeur", "srv");
  refuseLogin = true;
  w.click("cmdConnect");
  EXPECT_EQ(ui.messages.back().text, "Connection error : Login failed for user 'sa'.");
  EXPECT_FALSE(ui.busy);

  refuseLogin = false;
  societies({});
  w.click("cmdConnect");
  EXPECT_EQ(ui.messages.back().text, "Geen enkel bedrijf werd bepaald in de Sql server");
  EXPECT_FALSE(w.control("cboCompanySql").enabled);
  EXPECT_TRUE(w.control("cmdConnect").enabled);
}

TEST_F(WizardTest, ServerListIsFilledOnFirstFocus) {
  auto& w = load("N", true);
  ui.servers = {"ALPHA", "BETA"};
  w.focus("cboServeur");
  EXPECT_EQ(w.control("cboServeur").items, (std::vector<std::string>{"(local)", "ALPHA", "BETA"}));
  EXPECT_EQ(w.control("cboServeur").text, "(local)");
  EXPECT_EQ(w.control("Label12").text, "Naam van de server");
  EXPECT_EQ(w.control("Label12").foreColor, 0);
  EXPECT_GT(ui.repaints, 0) << "the searching caption is shown before the search";

  // Without discovery the list stays empty and the person types the name.
  auto& bare = load("F", true);
  ui.servers.clear();
  bare.focus("cboServeur");
  EXPECT_TRUE(bare.control("cboServeur").items.empty());
  EXPECT_EQ(bare.control("Label12").text, "Nom du serveur");
}

}  // namespace
