#include "store/file_operations.h"

#include <gtest/gtest.h>

#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class FileOperations : public ::testing::Test {
 protected:
  ScratchFolder dir;
  // What the store reported, in order.
  std::vector<std::string> reported;
  store::FailureReport report = [this](const std::string& message) { reported.push_back(message); };
  // A trash of our own, so no test touches the user's.
  ScratchFolder data;
  ScopedEnv xdg{"XDG_DATA_HOME", data.path().string()};
};

TEST_F(FileOperations, CopyPatternCreatesFolderCopiesFilesOnlyAndOverwrites) {
  writeText(dir.path() / "VIDE" / "VIDE_ACF.DBF", "acf");
  writeText(dir.path() / "VIDE" / "VIDE_ACF.CDX", "idx");
  writeText(dir.path() / "VIDE" / "README", "no dot");
  writeText(dir.path() / "VIDE" / "sub" / "inner.txt", "not copied");
  writeText(dir.path() / "VIDE01" / "VIDE_ACF.DBF", "old");
  fs::remove_all(dir.path() / "VIDE01");
  writeText(dir.path() / "OTHER" / "VIDE_ACF.DBF", "old");

  // Backslash text and a source folder spelt in another letter case.
  EXPECT_TRUE(store::MyFileCopy(report, dir.text() + "\\vide\\*.*", dir.text() + "\\VIDE01"));
  EXPECT_EQ(namesIn(dir.path() / "VIDE01"), (std::set<std::string>{"README", "VIDE_ACF.CDX", "VIDE_ACF.DBF"}));
  EXPECT_EQ(readText(dir.path() / "VIDE01" / "VIDE_ACF.DBF"), "acf");

  EXPECT_TRUE(store::MyFileCopy(report, dir.text() + "\\VIDE\\*.DBF", dir.text() + "\\OTHER"));
  EXPECT_EQ(readText(dir.path() / "OTHER" / "VIDE_ACF.DBF"), "acf");
  EXPECT_EQ(namesIn(dir.path() / "OTHER"), std::set<std::string>{"VIDE_ACF.DBF"});
  EXPECT_TRUE(reported.empty());
}

TEST_F(FileOperations, CopySingleFileTakesTheNewNameAndOverwrites) {
  writeText(dir.path() / "VIDE02" / "VIDE02_DBK_01.DBF", "journals 2");
  writeText(dir.path() / "VIDE01" / "VIDE01_DBK_02.DBF", "stale");
  EXPECT_TRUE(store::MyFileCopy(report, dir.text() + "\\VIDE02\\VIDE02_DBK_01.DBF", dir.text() + "\\VIDE01\\VIDE01_DBK_02.DBF"));
  EXPECT_EQ(readText(dir.path() / "VIDE01" / "VIDE01_DBK_02.DBF"), "journals 2");
  // Into a folder that does not exist yet.
  EXPECT_TRUE(store::MyFileCopy(report, dir.text() + "\\VIDE02\\VIDE02_DBK_01.DBF", dir.text() + "\\NEW\\X.DBF"));
  EXPECT_EQ(readText(dir.path() / "NEW" / "X.DBF"), "journals 2");
}

TEST_F(FileOperations, FailuresShowTheShellMessageAndChangeNothing) {
  EXPECT_FALSE(store::MyFileCopy(report, dir.text() + "\\MISSING\\*.*", dir.text() + "\\TARGET"));
  EXPECT_FALSE(store::MyFileCopy(report, dir.text() + "\\MISSING.DBF", dir.text() + "\\TARGET"));
  EXPECT_FALSE(store::MyFileDelete(report, dir.text() + "\\MISSING"));
  EXPECT_FALSE(store::MyFileRename(report, dir.text() + "\\MISSING.DBF", dir.text() + "\\B.DBF"));
  EXPECT_FALSE(fs::exists(dir.path() / "TARGET"));
  ASSERT_EQ(reported.size(), 4u);
  for (size_t i = 0; i < reported.size(); ++i) {
    EXPECT_EQ(reported[i], "Erreur API SHFileOperation()");
  }
  // Without a report the failure is only the result.
  EXPECT_FALSE(store::MyFileDelete(nullptr, dir.text() + "\\MISSING"));
}

TEST_F(FileOperations, DeleteSendsFoldersAndFilesToTheTrashUnderFreeNames) {
  fs::create_directories(data.path() / "Trash");
  writeText(dir.path() / "VIDE02" / "VIDE02_ACF.DBF", "one");
  writeText(dir.path() / "VIDE02" / "sub" / "deep.txt", "two");
  EXPECT_TRUE(store::MyFileDelete(report, dir.text() + "\\VIDE02"));
  EXPECT_FALSE(fs::exists(dir.path() / "VIDE02"));
  const fs::path files = data.path() / "Trash" / "files", info = data.path() / "Trash" / "info";
  EXPECT_EQ(readText(files / "VIDE02" / "sub" / "deep.txt"), "two");
  std::string trashInfo = readText(info / "VIDE02.trashinfo");
  EXPECT_EQ(trashInfo.rfind("[Trash Info]\nPath=/", 0), 0u) << trashInfo;
  EXPECT_NE(trashInfo.find("/VIDE02\nDeletionDate=20"), std::string::npos) << trashInfo;

  // The same name again keeps both in the trash.
  writeText(dir.path() / "VIDE02" / "VIDE02_ACF.DBF", "again");
  EXPECT_TRUE(store::MyFileDelete(report, dir.text() + "\\VIDE02"));
  EXPECT_EQ(readText(files / "VIDE02.2" / "VIDE02_ACF.DBF"), "again");
  EXPECT_TRUE(fs::exists(info / "VIDE02.2.trashinfo"));
  EXPECT_TRUE(reported.empty());
}

TEST_F(FileOperations, DeleteWithoutTrashRemovesAndPatternsKeepFolders) {
  writeText(dir.path() / "VIDE" / "VIDE_ACF.DBF", "x");
  writeText(dir.path() / "VIDE" / "FOREIGN.TXT", "x");
  writeText(dir.path() / "VIDE" / "keep" / "inner.txt", "x");
  EXPECT_TRUE(store::MyFileDelete(report, dir.text() + "\\VIDE\\*.*"));
  EXPECT_EQ(namesIn(dir.path() / "VIDE"), std::set<std::string>{"keep"});
  EXPECT_TRUE(fs::exists(dir.path() / "VIDE" / "keep" / "inner.txt"));
  EXPECT_TRUE(store::MyFileDelete(report, dir.text() + "\\VIDE"));
  EXPECT_FALSE(fs::exists(dir.path() / "VIDE"));
  EXPECT_FALSE(fs::exists(data.path() / "Trash"));
}

TEST_F(FileOperations, RenameOntoAnExistingNameTakesAFreeName) {
  writeText(dir.path() / "A.DBF", "a");
  writeText(dir.path() / "B.DBF", "b");
  writeText(dir.path() / "B (2).DBF", "b2");
  EXPECT_TRUE(store::MyFileRename(report, dir.text() + "\\A.DBF", dir.text() + "\\B.DBF"));
  EXPECT_EQ(readText(dir.path() / "B.DBF"), "b");
  EXPECT_EQ(readText(dir.path() / "B (3).DBF"), "a");
  EXPECT_FALSE(fs::exists(dir.path() / "A.DBF"));
  // A change of letter case only is a rename in place.
  EXPECT_TRUE(store::MyFileRename(report, dir.text() + "\\B.DBF", dir.text() + "\\b.dbf"));
  EXPECT_EQ(readText(dir.path() / "b.dbf"), "b");
  EXPECT_TRUE(reported.empty());
}

TEST_F(FileOperations, PrefixRenameRenamesEveryMatchingFileOnce) {
  for (const char* n : {"VIDE_ACF.DBF", "VIDE_ACF.CDX", "VIDE_MEMO.FPT", "OTHER_VIDE_X.DBF"})
    writeText(dir.path() / n, n);
  store::PwhFileRename(report, dir.text() + "\\", "VIDE_", "VIDE03_");
  EXPECT_EQ(namesIn(dir.path()),
            (std::set<std::string>{"OTHER_VIDE_X.DBF", "VIDE03_ACF.CDX", "VIDE03_ACF.DBF", "VIDE03_MEMO.FPT"}));
  EXPECT_EQ(readText(dir.path() / "VIDE03_ACF.DBF"), "VIDE_ACF.DBF");

  // A new prefix that contains the old one would match again on every pass.
  store::PwhFileRename(report, dir.text() + "\\", "VIDE03", "VIDE03X");
  EXPECT_EQ(namesIn(dir.path()),
            (std::set<std::string>{"OTHER_VIDE_X.DBF", "VIDE03X_ACF.CDX", "VIDE03X_ACF.DBF", "VIDE03X_MEMO.FPT"}));
  EXPECT_TRUE(reported.empty());
}

TEST_F(FileOperations, PrefixRenameStopsWhenAPassChangesNothing) {
  // matches the pattern regardless of case but holds no exact occurrence.
  writeText(dir.path() / "vide_acf.dbf", "lower");
  store::PwhFileRename(report, dir.text() + "\\", "VIDE_", "ACME_");
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"vide_acf.dbf"});

  // No match at all: nothing happens.
  store::PwhFileRename(report, dir.text() + "\\", "NONE_", "ACME_");
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"vide_acf.dbf"});

  // The target name exists: the renamed file gets a free name, and the loop ends.
  writeText(dir.path() / "VIDE_X.DBF", "x");
  writeText(dir.path() / "ACME_X.DBF", "existing");
  store::PwhFileRename(report, dir.text() + "\\", "VIDE_", "ACME_");
  EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"ACME_X (2).DBF", "ACME_X.DBF", "vide_acf.dbf"}));
  EXPECT_TRUE(reported.empty());
}

}  // namespace
