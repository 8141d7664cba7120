// kestrel-dump run as a person supporting a migration runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "store/engine/table.h"
#include "support/scratch_folder.h"
#include "support/bilingual_print.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {

class KestrelDump : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = scratch.path();
  }

  // Runs the tool; its exit status, with stdout and stderr in `output`.
  int run(const std::string& args) {
    const fs::path out = dir / "out.txt";
    std::string command = "\"" + std::string(M2K_BIN_DIR) + "/kestrel-dump\" " + args + " > \"" + out.string() + "\" 2>&1";
    int status = std::system(command.c_str());
    std::ifstream in(out, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    output = s.str();
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  }

  testing_support::ScratchFolder scratch;
  fs::path dir;
  std::string output;
};

size_t countOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(KestrelDump, TemplateDossierPassesTheIndexCheck) {
  ASSERT_EQ(run("--template \"" + dir.string() + "\" --language N"), 0) << output;
  ASSERT_EQ(run("--check \"" + (dir / "VIDE").string() + "\""), 0) << output;
  EXPECT_EQ(countOf(output, " keys OK\n"), 48u) << output;
  EXPECT_NE(output.find("VIDE_PARAM ID 41 keys OK\n"), std::string::npos);
  EXPECT_NE(output.find("VIDE_COUNTRY ID 245 keys OK\n"), std::string::npos);
  EXPECT_EQ(output.find("VIDE_DIC "), std::string::npos);
}

TEST_F(KestrelDump, IndexThatDisagreesWithItsRecordsFailsTheCheck) {
  ASSERT_EQ(run("--template \"" + dir.string() + "\" --language F"), 0) << output;
  // Change a code behind the index's back.
  const fs::path table = dir / "VIDE" / "VIDE_TABLE.DBF";
  std::fstream io(table, std::ios::binary | std::ios::in | std::ios::out);
  const size_t header = 32 + 32 * 3 + 2;
  io.seekp(header + 1 + 10);  // first record, TID
  io.write("X", 1);
  io.close();
  EXPECT_EQ(run("--check \"" + (dir / "VIDE").string() + "\" --language N"), 1);
  EXPECT_NE(output.find("VIDE_ZIPCODE NAME1 2903 keys OK\n"), std::string::npos);
  EXPECT_EQ(output.find("VIDE_TABLE IDCAT 27 keys OK"), std::string::npos) << output;
  // The fault in Dutch only.
  EXPECT_NE(output.find("VIDE_TABLE IDCAT ingang "), std::string::npos) << output;
  EXPECT_EQ(output.find("entrée"), std::string::npos) << output;
}

TEST_F(KestrelDump, TableAsCsvWithDeletedRecordsQuotingLineBreaksAndAccents) {
  store::TableLayout layout;
  layout.fields = {{"CODE", 'C', 4, 0, 0}, {"NAME", 'C', 12, 0, 0}, {"AMOUNT", 'N', 8, 2, 0},
                   {"DAY", 'D', 8, 0, 0}, {"OK", 'L', 1, 0, 0}};
  base::Bilingual error;
  auto t = store::Table::create(dir / "T.DBF", layout, error);
  ASSERT_TRUE(t) << error;
  t->appendBlank();
  t->setText(0, "A1");
  t->setText(1, "Cl\xC3\xB4ture, \"x\"");
  t->setNumber(2, -12.5);
  t->setDate(3, store::julianDay(2009, 1, 5));
  t->setLogical(4, true);
  t->appendBlank();
  t->setText(0, "B2");
  t->setText(1, "deux\r\nlignes");
  t->setDeleted(true);
  ASSERT_TRUE(t->close(error)) << error;

  ASSERT_EQ(run("\"" + (dir / "t.dbf").string() + "\""), 0) << output;
  EXPECT_EQ(output,
            "_deleted,CODE,NAME,AMOUNT,DAY,OK\n"
            ",A1  ,\"Cl\xC3\xB4ture, \"\"x\"\"\",  -12.50,20090105,T\n"
            "*,B2  ,\"deux\r\nlignes\",        ,        , \n");
}

TEST_F(KestrelDump, BadInputGetsAMessageAndWritesNothing) {
  EXPECT_EQ(run("--template \"" + dir.string() + "\" --language X"), 2);
  EXPECT_NE(output.find("Usage / Gebruik"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "VIDE"));
  // Reasons in one language: French unless Dutch is asked for.
  EXPECT_EQ(run("\"" + (dir / "MISSING.DBF").string() + "\""), 1);
  EXPECT_EQ(output, "Le fichier " + (dir / "MISSING.DBF").string() + " n'existe pas\n");
  EXPECT_EQ(run("--language N \"" + (dir / "MISSING.DBF").string() + "\""), 1);
  EXPECT_EQ(output, "Het bestand " + (dir / "MISSING.DBF").string() + " bestaat niet\n");
  EXPECT_EQ(run("--check \"" + (dir / "NOFOLDER").string() + "\""), 1);
  EXPECT_EQ(output, "Le dossier " + (dir / "NOFOLDER").string() + " n'existe pas\n");
}

}  // namespace
