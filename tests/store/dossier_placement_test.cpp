// The finished dossier on its way into the Kestrel data folder: complete and
// sound or not at all, and a failed or interrupted move leaves the target as
// it was.
#include "store/dossier_placement.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "store/dossier_template.h"
#include "store/engine/sx.h"
#include "store/run_folder.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class DossierPlacement : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(data.path() / "Trash");
    store::FileError error;
    run = store::RunFolder::create(kestrel.text(), error);
    ASSERT_TRUE(run) << error.file;
    ASSERT_TRUE(store::createTemplateDossier(report, run->path(), "F"));
    ASSERT_TRUE(store::prepareWorkingDossier(report, run->path(), 0, "F"));
    built = fs::path(run->path()) / "VIDE00";
  }
  void TearDown() override { store::sx_CloseAll(); }

  bool place(const std::string& name = "ACME") {
    return store::placeDossier(report, store::Placement{run->path(), 0, false, kestrel.text(), name, "F"});
  }
  std::set<std::string> acmeFiles() const {
    auto names = store::dossierFileNames("ACME", false);
    return {names.begin(), names.end()};
  }
  // chattr +i stops even root from renaming; false where the file system or
  // the user cannot set it.
  static bool immutable(const fs::path& p, bool on) {
    return std::system(("chattr " + std::string(on ? "+i " : "-i ") + "'" + p.string() + "' 2>/dev/null").c_str()) == 0;
  }

  ScratchFolder kestrel, data;
  ScopedEnv xdg{"XDG_DATA_HOME", data.path().string()};
  std::vector<std::string> reported;
  store::FailureReport report = [this](const std::string& message) { reported.push_back(message); };
  std::unique_ptr<store::RunFolder> run;
  fs::path built;
};

TEST_F(DossierPlacement, WholeDossierMovesInByOneRenameOfItsFolder) {
  ASSERT_TRUE(place()) << reported.front();
  EXPECT_EQ(namesIn(kestrel.path() / "ACME"), acmeFiles());
  EXPECT_FALSE(fs::exists(built)) << "moved, not copied";
  EXPECT_TRUE(reported.empty());

  // An empty folder of that name takes the dossier the same way.
  fs::create_directories(kestrel.path() / "EMPTY");
  ASSERT_TRUE(store::prepareWorkingDossier(report, run->path(), 0, "F"));
  ASSERT_TRUE(place("EMPTY"));
  EXPECT_EQ(namesIn(kestrel.path() / "EMPTY").size(), acmeFiles().size());
}

TEST_F(DossierPlacement, FolderWithFilesOfItsOwnKeepsThemAndGetsTheDossierBeside) {
  writeText(kestrel.path() / "ACME" / "notes.txt", "the accountant's");
  writeText(kestrel.path() / "ACME" / "ACME_ACF (2).DBF", "an old copy, not a file of the dossier");
  ASSERT_TRUE(place()) << reported.front();
  std::set<std::string> expected = acmeFiles();
  expected.insert({"notes.txt", "ACME_ACF (2).DBF"});
  EXPECT_EQ(namesIn(kestrel.path() / "ACME"), expected);
  EXPECT_EQ(readText(kestrel.path() / "ACME" / "notes.txt"), "the accountant's");
  EXPECT_EQ(namesIn(run->path()), (std::set<std::string>{"VIDE", "VIDE00"})) << "journal removed";
}

TEST_F(DossierPlacement, IncompleteOrDamagedDossierNeverReachesTheTarget) {
  fs::remove(built / "VIDE00_MEMO.FPT");
  EXPECT_FALSE(place());
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "Le dossier terminé est incomplet : le fichier ACME_MEMO.FPT manque.");

  // A leftover of a step is no part of the dossier.
  ASSERT_TRUE(store::prepareWorkingDossier(report, run->path(), 0, "F"));
  writeText(built / "VIDE00_ACFTEMP.DBF", "x");
  EXPECT_FALSE(place());
  EXPECT_EQ(reported.back(), "Le dossier terminé contient un fichier qui n'en fait pas partie : ACME_ACFTEMP.DBF.");

  // A table cut short, and an index that no longer matches its table.
  ASSERT_TRUE(store::prepareWorkingDossier(report, run->path(), 0, "F"));
  fs::resize_file(built / "VIDE00_COUNTRY.DBF", fs::file_size(built / "VIDE00_COUNTRY.DBF") - 100);
  EXPECT_FALSE(place());
  EXPECT_EQ(reported.back(), "Le fichier ACME_COUNTRY.DBF du dossier terminé est illisible ou incomplet.");
  ASSERT_TRUE(store::prepareWorkingDossier(report, run->path(), 0, "F"));
  fs::copy_file(built / "VIDE00_CURRENCY.CDX", built / "VIDE00_COUNTRY.CDX", fs::copy_options::overwrite_existing);
  EXPECT_FALSE(place());
  EXPECT_NE(reported.back().find("du fichier ACME_COUNTRY.DBF du dossier terminé ne correspond pas à la table."),
            std::string::npos)
      << reported.back();

  EXPECT_EQ(namesIn(kestrel.path()).size(), 1u) << "only the run folder";
}

TEST_F(DossierPlacement, TargetIsCheckedAgainJustBeforeTheMove) {
  // Another run placed a dossier of that name while this one worked.
  writeText(kestrel.path() / "ACME" / "acme_param.dbf", "theirs");
  EXPECT_FALSE(place());
  EXPECT_EQ(reported.back(), "Le chemin du dossier Kestrel de destination doit être vide, veuillez le supprimer via Kestrel.");
  EXPECT_EQ(namesIn(kestrel.path() / "ACME"), std::set<std::string>{"acme_param.dbf"});
}

TEST_F(DossierPlacement, WhatIsInTheWayIsListed) {
  EXPECT_EQ(store::targetRefusal(kestrel.text(), "ACME", "F"), "");
  writeText(kestrel.path() / "ACME" / "notes.txt", "x");
  writeText(kestrel.path() / "ACME" / "OTHER_ACF.DBF", "x");
  writeText(kestrel.path() / "ACME" / "ACME_ACF (2).DBF", "x");
  EXPECT_EQ(store::targetRefusal(kestrel.text(), "ACME", "F"), "");
  // Files of the dossier in any letter case, and companions that would be
  // opened with its tables.
  writeText(kestrel.path() / "ACME" / "acme_act.cdx", "x");
  writeText(kestrel.path() / "ACME" / "ACME_DBK_02.DBF", "x");
  writeText(kestrel.path() / "ACME" / "ACME_DIC.CDX", "x");
  const std::string target = (kestrel.path() / "ACME").string();
  EXPECT_EQ(store::targetRefusal(kestrel.text(), "ACME", "N"),
            "De map " + target + " bevat al bestanden die het nieuwe dossier zou schrijven: ACME_DBK_02.DBF, "
            "ACME_DIC.CDX, acme_act.cdx. Verplaats of verwijder ze en probeer opnieuw.");
  writeText(kestrel.path() / "FILE", "x");
  EXPECT_EQ(store::targetRefusal(kestrel.text(), "FILE", "F"),
            "Un fichier " + (kestrel.path() / "FILE").string() + " occupe la place du dossier Kestrel de destination.");
}

TEST_F(DossierPlacement, FailedMovesAreTakenBack) {
  // Into a folder of its own: the folder of the run cannot let the dossier go.
  if (!immutable(run->path(), true)) GTEST_SKIP() << "chattr +i is not available here";
  EXPECT_FALSE(place());
  immutable(run->path(), false);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "Impossible de mettre le dossier en place dans " + (kestrel.path() / "ACME").string() +
                             " : l'accès est refusé.");
  EXPECT_FALSE(fs::exists(kestrel.path() / "ACME"));

  // File by file: one file that cannot move sends the others back.
  writeText(kestrel.path() / "ACME" / "notes.txt", "x");
  ASSERT_TRUE(immutable(built / "ACME_ZIPCODE.DBF", true));
  EXPECT_FALSE(place());
  immutable(built / "ACME_ZIPCODE.DBF", false);
  EXPECT_EQ(reported.back(), "Impossible de mettre le dossier en place dans " +
                                 (kestrel.path() / "ACME" / "ACME_ZIPCODE.DBF").string() + " : l'accès est refusé.");
  EXPECT_EQ(namesIn(kestrel.path() / "ACME"), std::set<std::string>{"notes.txt"});
  EXPECT_EQ(namesIn(built), acmeFiles());
}

TEST_F(DossierPlacement, NextRunTakesBackWhatAKilledRunHadBegunToMove) {
  // A run folder no process holds, killed after moving two files of three.
  const fs::path stale = kestrel.path() / ".marlin2kestrel-00112233445566aa";
  writeText(stale / "VIDE00" / "ACME_PARAM.DBF", "param");
  writeText(kestrel.path() / "ACME" / "notes.txt", "x");
  writeText(kestrel.path() / "ACME" / "ACME_ACF.DBF", "acf");
  writeText(kestrel.path() / "ACME" / "ACME_ACT.DBF", "act");
  writeText(stale / "PLACING.TXT", "VIDE00\n" + (kestrel.path() / "ACME").string() +
                                       "\nACME_ACF.DBF\nACME_ACT.DBF\nACME_PARAM.DBF\n");
  // And one that finished its move before it was killed.
  const fs::path done = kestrel.path() / ".marlin2kestrel-00112233445566bb";
  writeText(done / "VIDE00" / "unused", "");
  writeText(kestrel.path() / "DONE" / "DONE_ACF.DBF", "acf");
  writeText(kestrel.path() / "DONE" / "DONE_PARAM.DBF", "param");
  writeText(done / "PLACING.TXT", "VIDE00\n" + (kestrel.path() / "DONE").string() + "\nDONE_ACF.DBF\nDONE_PARAM.DBF\n");

  store::sweepStaleRunFolders(kestrel.text());
  EXPECT_EQ(namesIn(kestrel.path() / "ACME"), std::set<std::string>{"notes.txt"});
  EXPECT_EQ(namesIn(kestrel.path() / "DONE"), (std::set<std::string>{"DONE_ACF.DBF", "DONE_PARAM.DBF"}));
  // Both went to the trash, the files taken back with the first; this run's
  // own folder is held and stays.
  const fs::path trash = data.path() / "Trash" / "files";
  EXPECT_EQ(namesIn(trash / stale.filename() / "VIDE00"),
            (std::set<std::string>{"ACME_ACF.DBF", "ACME_ACT.DBF", "ACME_PARAM.DBF"}));
  EXPECT_TRUE(fs::exists(trash / done.filename()));
  EXPECT_EQ(namesIn(kestrel.path()), (std::set<std::string>{"ACME", "DONE", fs::path(run->path()).filename().string()}));
}

}  // namespace
