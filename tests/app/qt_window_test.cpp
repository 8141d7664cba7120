// The wizard window on Qt's offscreen platform, driven through its widgets,
// and the C interface that shows it.
#ifdef M2K_WITH_QT
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include "app/capi/marlin2kestrel.h"
#include "app/qt/qt_front_end.h"
#include "cli_fixture.h"

namespace {

// One application for every window test of this program.
QApplication& application() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

template <class W>
W* find(app::QtFrontEnd& window, const char* name) {
  auto* w = qobject_cast<W*>(window.widget(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

class QtWindow : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    application();
    window = std::make_unique<app::QtFrontEnd>();
    window->messageHook = [this](const std::string& text, base::MsgIcon, const std::string& title) {
      messages.push_back(title + ": " + text);
      return base::MsgResult::Ok;
    };
  }

  std::unique_ptr<host::objMarlin> marlin(const std::string& language) {
    auto m = std::make_unique<host::objMarlin>(*window, run::defaultServices(), run::defaultSteps(),
                                               (root / "Marlin2KS.ini").string());
    m->Language(language);
    m->KestrelPath(kestrel.string());
    m->KestrelDossierName("ACME");
    m->ExecutionDone = [this] { ++done; };
    return m;
  }

  std::unique_ptr<app::QtFrontEnd> window;
  std::vector<std::string> messages;
  int done = 0;
};

TEST_F(QtWindow, ShowsTheWizardAndSwitchesLanguage) {
  auto m = marlin("F");
  std::vector<std::string> seen;
  window->onShown = [&](QDialog& dialog) {
    seen.push_back(dialog.windowTitle().toStdString());
    seen.push_back(find<QLabel>(*window, "LabelLng")->text().toStdString());
    seen.push_back(find<QGroupBox>(*window, "Frame2")->title().toStdString());
    EXPECT_TRUE(dialog.isModal());
    EXPECT_TRUE(find<QGroupBox>(*window, "Frame1")->isVisible());
    EXPECT_FALSE(find<QGroupBox>(*window, "FrameSql")->isVisible());
    find<QAbstractButton>(*window, "Option2")->click();
    seen.push_back(dialog.windowTitle().toStdString());
    seen.push_back(find<QLabel>(*window, "LabelLng")->text().toStdString());
    seen.push_back(find<QAbstractButton>(*window, "cmdCancel")->text().toStdString());
    EXPECT_FALSE(find<QAbstractButton>(*window, "Option1")->isChecked());
    // The Dutch captions are longer than the French ones: none of the
    // one-line labels may be cut off by its box.
    for (const char* name : {"Label2", "Label3", "Label4", "Label5", "Label10", "Label12", "Label14"}) {
      auto* label = find<QLabel>(*window, name);
      EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width()) << name;
    }
    find<QAbstractButton>(*window, "OptCompta")->click();
    EXPECT_FALSE(find<QAbstractButton>(*window, "chkClients")->isEnabled());
    EXPECT_TRUE(find<QAbstractButton>(*window, "chkClients")->isChecked());
    find<QAbstractButton>(*window, "cmdCancel")->click();
  };
  m->Execute();
  EXPECT_EQ(seen, (std::vector<std::string>{"Kestrel - Importation d'un dossier Marlin 5.01", "Langue du dossier",
                                            "Chemin du dossier", "Kestrel - Import van een Marlin Dossier",
                                            "Taal van het dossier", "Verlaten"}));
  EXPECT_EQ(done, 0);
  EXPECT_TRUE(messages.empty());
}

TEST_F(QtWindow, MasterDataImportThroughClicksAndItsReportOpened) {
  auto m = marlin("N");
  // The last message offers the report; the person takes the offer.
  window->messageHook = [this](const std::string& text, base::MsgIcon, const std::string& title) {
    messages.push_back(title + ": " + text);
    return base::MsgResult::Yes;
  };
  std::string opened;
  window->openHook = [&opened](const std::string& file) { opened = file; };
  window->folderHook = [](const std::string&) { return std::optional<std::string>(sample("access-prefixed")); };
  window->onShown = [&](QDialog&) {
    find<QAbstractButton>(*window, "cmdPathMarlin")->click();
    auto* companies = find<QComboBox>(*window, "cboCompany");
    ASSERT_GE(companies->count(), 1);
    EXPECT_EQ(companies->currentText().toStdString().substr(0, 6), "001 - ");
    find<QAbstractButton>(*window, "chkClients")->click();
    find<QAbstractButton>(*window, "chkSuppliers")->click();
    find<QAbstractButton>(*window, "cmdOk")->click();
  };
  m->Execute();
  const fs::path report = kestrel / "ACME" / "ACME_MIGRATION.txt";
  EXPECT_EQ(messages, std::vector<std::string>{"MarlinToKestrel: Import OK!\r\n\r\nMigratierapport: " + report.string()});
  EXPECT_EQ(opened, report.string());
  EXPECT_TRUE(fs::exists(report));
  EXPECT_EQ(done, 1);
  EXPECT_TRUE(fs::exists(kestrel / "ACME" / "ACME_ACF.DBF"));
  EXPECT_EQ(m->mainMarlin()->control("ProgressBar1").progress, 100);
}

TEST_F(QtWindow, FailedRunKeepsTheWindowOpenWithItsInputs) {
  auto m = marlin("F");
  window->onShown = [&](QDialog& dialog) {
    // No source chosen.
    find<QAbstractButton>(*window, "cmdOk")->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(find<QAbstractButton>(*window, "cmdOk")->isEnabled());
    dialog.reject();  // closing the window is the Quit button
  };
  m->Execute();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].find("Kestrel - Importation d'un dossier Marlin 5.01: Le fichier Marlin à récupérer doit être "
                             "spécifié.\r\n\r\nRapport de migration : "),
            0u)
      << messages[0];
  EXPECT_EQ(done, 0);
  EXPECT_FALSE(fs::exists(kestrel / "ACME"));
}

// --- The C interface ------------------------------------------------------------

TEST(CInterface, PropertiesAndAWizardClosedWithoutImport) {
  application();
  m2k_marlin* m = m2k_create();
  ASSERT_NE(m, nullptr);
  m2k_set_language(m, "N");
  m2k_set_is_version_sql(m, 1);
  m2k_set_kestrel_path(m, "/data/kestrel");
  m2k_set_kestrel_dossier_name(m, "ACME");
  EXPECT_STREQ(m2k_get_language(m), "N");
  EXPECT_EQ(m2k_get_is_version_sql(m), 1);
  EXPECT_STREQ(m2k_get_kestrel_path(m), "/data/kestrel");
  EXPECT_STREQ(m2k_get_kestrel_dossier_name(m), "ACME");
  int calls = 0;
  m2k_on_execution_done(m, [](void* user) { ++*static_cast<int*>(user); }, &calls);
  std::string title;
  QTimer::singleShot(0, [&title] {
    QWidget* shown = QApplication::activeModalWidget();
    ASSERT_NE(shown, nullptr);
    title = shown->windowTitle().toStdString();
    static_cast<QDialog*>(shown)->reject();
  });
  m2k_execute(m);
  EXPECT_EQ(title, "Kestrel - Import van een Marlin Sql Dossier");
  EXPECT_EQ(calls, 0);
  m2k_destroy(m);
}

}  // namespace
#endif
