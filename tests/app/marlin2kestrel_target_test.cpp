// marlin2kestrel against a Kestrel data folder that goes wrong: a disk that
// fills, a folder that cannot be written, a process killed while it places the
// dossier, a second import at the same time, names that cannot be dossiers,
// files in the way. Success means a complete dossier that passes the index
// check; anything else means a failed exit status and the folder as it was.
#include <algorithm>
#include <set>

#include "cli_fixture.h"

namespace {

class KestrelFolder : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    fs::create_directories(root / "data" / "Trash");
    // The trash the run's deletions go to is the test's own.
    environment = "XDG_DATA_HOME=" + shellQuoted((root / "data").string());
  }

  std::string command(const fs::path& folder, const std::string& dossier,
                      const std::string& source = sample("access-prefixed")) const {
    return std::string(M2K_BIN_DIR) + "/marlin2kestrel --kestrel-folder " + shellQuoted(folder.string()) +
           " --dossier " + shellQuoted(dossier) + " --source-folder " + shellQuoted(source) + " --company 001";
  }
  Ran importInto(const fs::path& folder, const std::string& dossier = "ACME") {
    return run(command(folder, dossier), environment);
  }

  // The command inside a mount namespace of its own, so that the file systems
  // it mounts vanish with it however the test ends. False when mounting is
  // not allowed here.
  static bool canMount() {
    return std::system("unshare -m --propagation private sh -c 'mount -t tmpfs -o size=64k tmpfs /mnt' 2>/dev/null") == 0;
  }
  Ran withMount(const std::string& mount, const std::string& then) {
    return run("unshare -m --propagation private sh -c " + shellQuoted(mount + " && " + then));
  }
  static bool immutable(const fs::path& p, bool on) {
    return std::system(("chattr " + std::string(on ? "+i " : "-i ") + shellQuoted(p.string()) + " 2>/dev/null").c_str()) == 0;
  }

  static std::set<std::string> names(const fs::path& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
    return out;
  }
  static std::set<std::string> dossierFiles(const std::string& name) {
    std::set<std::string> files;
    for (const char* t : {"ACF", "ACT", "BPAYBENEF", "CODENAE", "CODEVAT", "CODFOR", "COUNTRY", "CSF", "CURRENCY",
                          "DBK_01", "DBK_02", "DICTREE", "MEMO", "PARAM", "TABLE", "ZIPCODE"})
      files.insert({name + "_" + t + ".DBF", name + "_" + t + ".CDX"});
    files.insert({name + "_DIC.DBF", name + "_MEMO.FPT", name + "_MIGRATION.txt", name + "_MIGRATION.json"});
    return files;
  }
  // A finished two-year dossier: its files and nothing else, every index sound.
  void expectComplete(const fs::path& dossier, const std::string& name) {
    std::set<std::string> found;
    for (const std::string& n : names(dossier))
      if (n.rfind(name + "_", 0) == 0) found.insert(n);
    EXPECT_EQ(found, dossierFiles(name)) << dossier;
    Ran check = run(std::string(M2K_BIN_DIR) + "/kestrel-dump --check " + shellQuoted(dossier.string()));
    EXPECT_EQ(check.status, 0) << check.output;
  }

  std::string environment;
};

TEST_F(KestrelFolder, DiskThatFillsGivesAFailedRunAndAnEmptyFolder) {
  if (!canMount()) GTEST_SKIP() << "no tmpfs can be mounted here (needs root with the right to mount)";
  // From too small for the template to just large enough: each fills at
  // another stage of the run (template, working dossiers, tables, indexes).
  int failed = 0, succeeded = 0;
  for (const char* size : {"300k", "1200k", "2200k", "2800k", "3300k", "3500k", "3600k", "8m"}) {
    SCOPED_TRACE(size);
    const fs::path folder = root / "small";
    fs::create_directories(folder);
    const fs::path listing = root / "listing.txt";
    Ran r = withMount("mount -t tmpfs -o size=" + std::string(size) + " tmpfs " + shellQuoted(folder.string()),
                      environment + " " + command(folder, "ACME") + "; status=$?; ls -A " +
                          shellQuoted(folder.string()) + " > " + shellQuoted(listing.string()) +
                          "; [ $status -ne 0 ] || " + std::string(M2K_BIN_DIR) + "/kestrel-dump --check " +
                          shellQuoted((folder / "ACME").string()) + " > /dev/null || echo CHECK FAILED; exit $status");
    const std::string left = readText(listing);
    if (r.status == 0) {
      ++succeeded;
      EXPECT_EQ(left, "ACME\n");
      EXPECT_EQ(r.output.find("CHECK FAILED"), std::string::npos) << r.output;
    } else {
      ++failed;
      EXPECT_EQ(r.status, 1) << r.output;
      EXPECT_EQ(left, "") << "the Kestrel folder as it was";
      EXPECT_NE(r.output.find("disque est plein"), std::string::npos) << r.output;
      EXPECT_EQ(r.output.find("correctement"), std::string::npos) << r.output;
    }
  }
  EXPECT_GE(failed, 5);
  EXPECT_GE(succeeded, 1);
}

TEST_F(KestrelFolder, ReadOnlyFoldersGiveAFailedRunThatSaysWhy) {
  // The whole Kestrel data folder on a read-only file system.
  if (canMount()) {
    const fs::path folder = root / "readonly";
    fs::create_directories(folder);
    Ran r = withMount("mount -t tmpfs -o ro tmpfs " + shellQuoted(folder.string()),
                      environment + " " + command(folder, "ACME") + " --language N");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("Er kan geen werkmap aangemaakt worden in " + folder.string() + ": de schijf is alleen-lezen."),
              std::string::npos)
        << r.output;
    EXPECT_TRUE(fs::is_empty(folder));
  } else {
    std::cout << "[ SKIPPED  ] read-only file system: no tmpfs can be mounted here\n";
  }

  // An existing, empty target folder that cannot be changed (root too is
  // held back by the immutable flag).
  const fs::path target = kestrel / "ACME";
  fs::create_directories(target);
  if (!immutable(target, true)) GTEST_SKIP() << "chattr +i is not available here";
  Ran r = importInto(kestrel);
  immutable(target, false);
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("Impossible de mettre le dossier en place dans " + target.string() + " : l'accès est refusé."),
            std::string::npos)
      << r.output;
  EXPECT_EQ(names(kestrel), std::set<std::string>{"ACME"});
  EXPECT_TRUE(fs::is_empty(target));
}

TEST_F(KestrelFolder, KilledRunLeavesNoDossierOrAWholeOneAndTheNextRunClearsUp) {
  // Moments of the placement; "moving" is inside a file-by-file move into a
  // folder that holds a file of its own.
  for (const std::string moment : {"naming", "checked", "locked", "moving", "placed"}) {
    SCOPED_TRACE(moment);
    fs::remove_all(kestrel);
    fs::remove_all(root / "data" / "Trash" / "files");
    fs::create_directories(kestrel);
    if (moment == "moving") {
      fs::create_directories(kestrel / "ACME");
      std::ofstream(kestrel / "ACME" / "notes.txt") << "kept";
    }
    // A file of its own per moment: the shell looks into it before the
    // process has opened it.
    const fs::path out = root / ("killed-" + moment + ".txt");
    Ran killed = run("(MARLIN2KESTREL_TEST_PAUSE_AT=" + moment + " " + environment + " " + command(kestrel, "ACME") +
                     " > " + shellQuoted(out.string()) + " 2>&1 & pid=$!; i=0; until grep -q 'paused at' " +
                     shellQuoted(out.string()) + " || [ $i -gt 600 ]; do sleep 0.05; i=$((i+1)); done; kill -9 $pid; wait $pid)");
    EXPECT_EQ(killed.status, 128 + 9) << readText(out);
    ASSERT_NE(readText(out).find("paused at " + moment), std::string::npos) << readText(out);

    const bool whole = moment == "placed";
    if (whole) {
      expectComplete(kestrel / "ACME", "ACME");
    } else {
      EXPECT_FALSE(fs::exists(kestrel / "ACME" / "ACME_PARAM.DBF"));
      if (moment != "moving") EXPECT_FALSE(fs::exists(kestrel / "ACME"));
    }

    // The next run clears the killed one's folder (to the trash) and takes
    // back what it had begun to move; then it imports, or refuses to replace
    // the whole dossier.
    Ran next = importInto(kestrel);
    EXPECT_EQ(next.status, whole ? 1 : 0) << next.output;
    EXPECT_EQ(names(kestrel), std::set<std::string>{"ACME"});
    expectComplete(kestrel / "ACME", "ACME");
    if (moment == "moving") EXPECT_EQ(readText(kestrel / "ACME" / "notes.txt"), "kept");
    EXPECT_FALSE(fs::is_empty(root / "data" / "Trash" / "files"));
  }
}

TEST_F(KestrelFolder, TwoImportsAtOnceEachGiveWhatALoneRunGives) {
  const fs::path second = root / "company2";
  Ran made = run(std::string(M2K_BIN_DIR) + "/marlin-sample --form access-prefixed --company 001 --seed 7 --out " +
                 shellQuoted(second.string()));
  ASSERT_EQ(made.status, 0) << made.output;
  const fs::path lone = root / "lone";
  fs::create_directories(lone);
  ASSERT_EQ(run(command(lone, "FIRST"), environment).status, 0);
  ASSERT_EQ(run(command(lone, "SECOND", second.string()), environment).status, 0);

  auto sameFiles = [&](const fs::path& a, const fs::path& b) {
    ASSERT_EQ(names(a), names(b));
    for (const std::string& n : names(a)) {
      // The report holds the run's own times and folders.
      if (n.find("_MIGRATION.") != std::string::npos) continue;
      EXPECT_TRUE(readText(a / n) == readText(b / n)) << b / n;
    }
  };
  const fs::path log1 = root / "first.txt", log2 = root / "second.txt";
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    fs::remove_all(kestrel);
    fs::create_directories(kestrel);
    Ran both = run("(" + environment + " " + command(kestrel, "FIRST") + " > " + shellQuoted(log1.string()) +
                   " 2>&1 & " + environment + " " + command(kestrel, "SECOND", second.string()) + " > " +
                   shellQuoted(log2.string()) + " 2>&1 & wait)");
    ASSERT_EQ(both.status, 0);
    ASSERT_EQ(names(kestrel), (std::set<std::string>{"FIRST", "SECOND"})) << readText(log1) << readText(log2);
    sameFiles(lone / "FIRST", kestrel / "FIRST");
    sameFiles(lone / "SECOND", kestrel / "SECOND");
  }

  // Two imports of one name: one dossier, the other run refused.
  fs::remove_all(kestrel);
  fs::create_directories(kestrel);
  Ran same = run("(" + environment + " " + command(kestrel, "FIRST") + " > " + shellQuoted(log1.string()) +
                 " 2>&1; echo $? >> " + shellQuoted(log1.string()) + ") & (" + environment + " " +
                 command(kestrel, "FIRST", second.string()) + " > " + shellQuoted(log2.string()) + " 2>&1; echo $? >> " +
                 shellQuoted(log2.string()) + ") & wait");
  const std::string out1 = readText(log1), out2 = readText(log2);
  const bool firstWon = out1.size() >= 2 && out1.compare(out1.size() - 2, 2, "0\n") == 0;
  const std::string& loser = firstWon ? out2 : out1;
  EXPECT_EQ(loser.substr(loser.size() - 2), "1\n") << out1 << out2;
  EXPECT_TRUE(loser.find("doit être vide") != std::string::npos || loser.find("écrirait") != std::string::npos) << loser;
  EXPECT_EQ(names(kestrel), std::set<std::string>{"FIRST"});
  expectComplete(kestrel / "FIRST", "FIRST");
}

TEST_F(KestrelFolder, NamesThatCannotBeDossiersAreRefused) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"   ", "doit être spécifié"},
      {".", "désigne le dossier Kestrel lui-même"},
      {"..", "désigne le dossier Kestrel lui-même"},
      {"../OUTSIDE", "ne peut contenir aucun des caractères"},
      {"A/B", "ne peut contenir aucun des caractères"},
      {"A\\B", "ne peut contenir aucun des caractères"},
      {"C:ACME", "ne peut contenir aucun des caractères"},
      {"A*", "ne peut contenir aucun des caractères"},
      {"A?", "ne peut contenir aucun des caractères"},
      {"A\"B", "ne peut contenir aucun des caractères"},
      {"<A>", "ne peut contenir aucun des caractères"},
      {"A|B", "ne peut contenir aucun des caractères"},
      {"A\tB", "ne peut contenir aucun des caractères"},
      {"ACME.", "point final"},
      {"CON", "périphérique"},
      {"lpt1", "périphérique"},
      {"Nul.txt", "périphérique"},
      {"VIDE", "dossiers de travail"},
      {"vide", "dossiers de travail"},
      {"VIDE00", "dossiers de travail"},
      {"Vide42", "dossiers de travail"},
      {"VIDE99", "dossiers de travail"},
      {".marlin2kestrel-0123456789abcdef", "dossiers de travail"},
      {std::string(300, 'A'), "caractères, la limite de Windows"},
  };
  for (const auto& [name, why] : refused) {
    SCOPED_TRACE(name);
    Ran r = importInto(kestrel, name);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find(why), std::string::npos) << r.output;
    EXPECT_TRUE(fs::is_empty(kestrel));
  }
  EXPECT_EQ(names(root), (std::set<std::string>{"data", "kestrel", "out.txt"})) << "nothing beside the Kestrel folder";

  // The longest name the folder allows: the dossier's longest file path,
  // {folder}/{NAME}/{NAME}_BPAYBENEF.CDX, within Windows' 259 characters.
  const size_t longest = (259 - (kestrel.string().size() + 1) - 1 - 14) / 2;
  Ran tooLong = importInto(kestrel, std::string(longest + 1, 'L'));
  EXPECT_NE(tooLong.output.find("plus de " + std::to_string(longest) + " caractères"), std::string::npos) << tooLong.output;
  const std::string name(longest, 'L');
  ASSERT_EQ(importInto(kestrel, name).status, 0);
  EXPECT_TRUE(fs::exists(kestrel / name / (name + "_BPAYBENEF.CDX")));
  // A name other runs never refused still works, blanks around it trimmed.
  ASSERT_EQ(importInto(kestrel, "  Société 2024 (bis)  ").status, 0);
  expectComplete(kestrel / "Société 2024 (bis)", "Société 2024 (bis)");
}

TEST_F(KestrelFolder, FilesOfTheDossierInTheTargetStopTheRunBeforeAnyWork) {
  const fs::path target = kestrel / "ACME";
  fs::create_directories(target);
  std::ofstream(target / "notes.txt") << "the accountant's";
  std::ofstream(target / "acme_act.cdx") << "stale";
  Ran r = importInto(kestrel);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("contient déjà des fichiers que le nouveau dossier écrirait : acme_act.cdx."), std::string::npos)
      << r.output;
  EXPECT_EQ(names(kestrel), std::set<std::string>{"ACME"});
  EXPECT_EQ(names(target), (std::set<std::string>{"acme_act.cdx", "notes.txt"}));
  EXPECT_EQ(readText(target / "acme_act.cdx"), "stale");

  // Without it the dossier joins the accountant's file, and no file of the
  // run ever takes a "(2)" name.
  fs::remove(target / "acme_act.cdx");
  ASSERT_EQ(importInto(kestrel).status, 0);
  expectComplete(target, "ACME");
  EXPECT_EQ(names(target).size(), dossierFiles("ACME").size() + 1);
  EXPECT_EQ(readText(target / "notes.txt"), "the accountant's");
}

}  // namespace
