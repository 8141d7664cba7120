// The wizard window on Qt's offscreen platform, driven through its widgets,
// and the C interface that shows it.
#ifdef M2K_WITH_QT
#include <clocale>
#include <random>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>

#include "app/capi/marlin2kestrel.h"
#include "app/qt/qt_front_end.h"
#include "cli_fixture.h"
#include "host/ini_file.h"

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

  std::unique_ptr<host::objMarlin> marlin(const std::string& language, const fs::path& folder = {}) {
    auto m = std::make_unique<host::objMarlin>(*window, run::defaultServices(), run::defaultSteps(),
                                               (root / "Marlin2KS.ini").string());
    m->Language(language);
    m->KestrelPath((folder.empty() ? kestrel : folder).string());
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
  std::string opened;
  window->openHook = [&opened](const std::string& file) { opened = file; };
  window->folderHook = [](const std::string&) { return std::optional<std::string>(sample("access-prefixed")); };
  // No repaint at all while the run goes: the final box must still open over
  // the end of the run, not over whatever was painted last.
  window->repaintInterval = std::chrono::hours(24 * 365);
  int progressUnderBox = -1;
  std::string captionUnderBox;
  window->messageHook = [&](const std::string& text, base::MsgIcon, const std::string& title) {
    messages.push_back(title + ": " + text);
    progressUnderBox = find<QProgressBar>(*window, "ProgressBar1")->value();
    captionUnderBox = find<QLabel>(*window, "Label8")->text().toStdString();
    return base::MsgResult::Yes;  // the last message offers the report; the person takes the offer
  };
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
  EXPECT_EQ(progressUnderBox, 100);
  EXPECT_EQ(captionUnderBox, "Terminated...");
}

TEST_F(QtWindow, ARunLocksEveryInputAndTheCloseButtonUntilItEnds) {
  auto m = marlin("F");
  window->folderHook = [](const std::string&) { return std::optional<std::string>(sample("access-prefixed")); };
  // Every yield of the run lets the probe below in.
  window->repaintInterval = std::chrono::milliseconds(0);
  QDialog* shown = nullptr;
  int probes = 0;
  bool afterAPassEnabledAgain = false;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    host::frmMain* w = m->mainMarlin();
    if (!w || !w->isRunning()) return;
    ++probes;
    // The end of each book year enables the controls again in the wizard's
    // own state; the person must still find them all out of use.
    if (w->control("cmdOk").enabled) afterAPassEnabledAgain = true;
    for (const char* name : {"cmdOk", "cmdCancel", "Option1", "Option2", "txtPathMarlin", "cmdPathMarlin", "cboCompany",
                             "txtPathKestrel", "txtCompanyName", "OptCompta", "OptSignal"})
      EXPECT_FALSE(window->widget(name)->isEnabled()) << name;
    // Clicks already under way when the buttons went grey reach the wizard.
    emit find<QAbstractButton>(*window, "cmdOk")->clicked(false);
    emit find<QAbstractButton>(*window, "cmdCancel")->clicked(false);
    emit find<QAbstractButton>(*window, "Option2")->clicked(false);
    // The window's close button: nothing is asked, nothing closes.
    EXPECT_FALSE(shown->close());
  });
  window->onShown = [&](QDialog& dialog) {
    shown = &dialog;
    find<QAbstractButton>(*window, "cmdPathMarlin")->click();
    find<QAbstractButton>(*window, "OptCompta")->click();
    probe.start();
    find<QAbstractButton>(*window, "cmdOk")->click();
    probe.stop();
  };
  m->Execute();
  EXPECT_GT(probes, 0);
  EXPECT_TRUE(afterAPassEnabledAgain);
  // One run, to its end, in the language it started in (the sample's
  // documents with several matchings are warned about on the way).
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().find("MarlinToKestrel: L'importation s'est déroulée correctement\r\n\r\nRapport de migration : "),
            0u)
      << messages.back();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), messages.back()), 1);
  for (const auto& message : messages) EXPECT_EQ(message.find("Import OK"), std::string::npos) << message;
  EXPECT_EQ(done, 1);
  Ran check = run(std::string(M2K_BIN_DIR) + "/kestrel-dump --check " + shellQuoted((kestrel / "ACME").string()));
  EXPECT_EQ(check.status, 0) << check.output;
}

TEST_F(QtWindow, ABelgianDesktopLocaleChangesNoAmount) {
  const TestLocale& locale = belgianFrenchLocale();
  if (locale.name.empty()) GTEST_SKIP() << "no fr_BE.UTF-8 locale and none can be generated (localedef, Debian package locales)";
  window->folderHook = [](const std::string&) { return std::optional<std::string>(sample("access-prefixed")); };
  window->onShown = [&](QDialog&) {
    find<QAbstractButton>(*window, "cmdPathMarlin")->click();
    find<QAbstractButton>(*window, "OptCompta")->click();
    find<QAbstractButton>(*window, "cmdOk")->click();
  };
  // Every table of a finished dossier as kestrel-dump reads it.
  auto dump = [this](const fs::path& dossier) {
    std::map<std::string, std::string> tables;
    for (auto& e : fs::directory_iterator(dossier))
      if (e.path().extension() == ".DBF")
        tables[e.path().filename().string()] =
            run(std::string(M2K_BIN_DIR) + "/kestrel-dump " + shellQuoted(e.path().string())).output;
    return tables;
  };
  marlin("F")->Execute();
  ASSERT_EQ(done, 1) << (messages.empty() ? "" : messages.back());
  const auto classic = dump(kestrel / "ACME");

  // What the window toolkit does on a desktop set to Belgian French.
  const fs::path belgian = root / "belgian";
  fs::create_directories(belgian);
  std::string numericAfter;
  {
    testing_support::ProcessLocale desktop(locale);
    ASSERT_TRUE(desktop.set());
    marlin("F", belgian)->Execute();
    numericAfter = std::setlocale(LC_NUMERIC, nullptr);
  }
  ASSERT_EQ(done, 2) << (messages.empty() ? "" : messages.back());
  EXPECT_EQ(dump(belgian / "ACME"), classic);
  EXPECT_EQ(numericAfter, locale.name) << "the host's own setting is given back";
}

TEST_F(QtWindow, APastedMarlinPathLoadsTheListWhenThePersonLeavesTheBox) {
  auto m = marlin("N");
  const fs::path damaged = root / "damaged";
  fs::create_directories(damaged);
  std::ofstream(damaged / "Common.mdb") << "not a database";
  auto leave = [](QWidget* box) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
  };
  auto enter = [](QWidget* box) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &press);
  };
  std::vector<int> counts;
  window->onShown = [&](QDialog& dialog) {
    auto* path = find<QLineEdit>(*window, "txtPathMarlin");
    auto* companies = find<QComboBox>(*window, "cboCompany");
    QGuiApplication::clipboard()->setText(QString::fromStdString(sample("access-prefixed")));
    path->paste();
    counts.push_back(companies->count());  // nothing read while the path is being typed
    leave(path);
    counts.push_back(companies->count());
    EXPECT_EQ(companies->currentText().toStdString().substr(0, 6), "001 - ");
    EXPECT_EQ(m->mainMarlin()->ctx.companyCode, "001");

    // Enter reads a changed path and does not start the import; a damaged
    // Common.mdb is told once, not again when the box is left.
    path->selectAll();
    QGuiApplication::clipboard()->setText(QString::fromStdString(damaged.string()));
    path->paste();
    enter(path);
    leave(path);
    enter(path);
    counts.push_back(companies->count());
    EXPECT_TRUE(dialog.isVisible());

    // A folder without Common.mdb leaves no list of another folder behind.
    path->selectAll();
    QGuiApplication::clipboard()->setText(QString::fromStdString(sample("access-prefixed")));
    path->paste();
    leave(path);
    path->selectAll();
    path->insert(QString::fromStdString(root.string()));
    leave(path);
    counts.push_back(companies->count());
    EXPECT_EQ(m->mainMarlin()->ctx.companyCode, "");
    dialog.reject();
  };
  m->Execute();
  ASSERT_EQ(counts.size(), 4u);
  EXPECT_EQ(counts[0], 0);
  EXPECT_GE(counts[1], 1);
  EXPECT_EQ(counts[2], 0);
  EXPECT_EQ(counts[3], 0);
  ASSERT_EQ(messages.size(), 1u) << messages.back();
  EXPECT_EQ(messages[0].rfind("MarlinToKestrel: Het bestand " + (damaged / "Common.mdb").string(), 0), 0u) << messages[0];
  EXPECT_EQ(messages[0].find("Le fichier"), std::string::npos) << "Dutch only: " << messages[0];
  // Remembered as a folder chosen with the dialog is.
  EXPECT_EQ(host::readIniValue((root / "Marlin2KS.ini").string(), "Marlin2Kestrel", "PathMarlin"),
            sample("access-prefixed"));
  EXPECT_EQ(done, 0);
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

// A host finds its own object again through the data it registered with the
// callback: an import that ends well hands it back.
TEST(CInterface, ExecutionDoneHandsTheHostItsDataBack) {
  application();
  const fs::path kestrel = fs::temp_directory_path() / ("m2k_capi_" + std::to_string(std::random_device{}()));
  fs::create_directories(kestrel);
  m2k_marlin* m = m2k_create();
  ASSERT_NE(m, nullptr);
  m2k_set_language(m, "F");
  m2k_set_kestrel_path(m, kestrel.string().c_str());
  m2k_set_kestrel_dossier_name(m, "ACME");
  int calls = 0;
  m2k_on_execution_done(m, [](void* user) { ++*static_cast<int*>(user); }, &calls);
  std::vector<std::string> boxes;
  QTimer answer;  // every message box of the run is answered at once
  QObject::connect(&answer, &QTimer::timeout, [&boxes] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxes.push_back(box->text().toStdString());
      box->accept();
    }
  });
  answer.start(20);
  QTimer::singleShot(0, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    QTimer::singleShot(120000, dialog, [dialog] { dialog->findChild<QAbstractButton*>("cmdCancel")->click(); });
    auto* path = dialog->findChild<QLineEdit*>("txtPathMarlin");
    ASSERT_NE(path, nullptr);
    QGuiApplication::clipboard()->setText(QString::fromStdString(std::string(M2K_BUILD_DIR) + "/samples/access-prefixed"));
    path->paste();
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(path, &out);
    for (const char* name : {"chkClients", "chkSuppliers", "cmdOk"}) dialog->findChild<QAbstractButton*>(name)->click();
  });
  m2k_execute(m);
  answer.stop();
  EXPECT_EQ(calls, 1) << ::testing::PrintToString(boxes);
  EXPECT_TRUE(fs::exists(kestrel / "ACME" / "ACME_ACF.DBF"));
  m2k_destroy(m);
  fs::remove_all(kestrel);
}

}  // namespace
#endif
