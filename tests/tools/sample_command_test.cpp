// The marlin-sample command: what it prints, and bad input refused without
// writing anything.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/mdb_cli.h"
#include "sample_support.h"

using namespace sample_test;

namespace {

std::string tool() { return std::string(M2K_BIN_DIR) + "/marlin-sample"; }

}  // namespace

TEST(SampleCommand, PrintsEveryFileAndTableItWrote) {
  const testing_support::ScratchFolder scratch;
  const fs::path dir = scratch.path() / "out";
  const std::string out = mdbcli::run(tool() + " --form access-older --out '" + dir.string() +
                                      "' --company 005 --years 2 --lines 40 --seed 3");
  for (const char* piece : {"Common.mdb", "005Soc.MDB", "005A00.mdb", "005A01.mdb", "AcctGeneral", "Historic"})
    EXPECT_NE(out.find(piece), std::string::npos) << piece << "\n" << out;
  EXPECT_NE(out.find("40 rows"), std::string::npos) << out;
  EXPECT_EQ(mdbcli::tables((dir / "005A01.mdb").string()),
            (std::vector<std::string>{"Period", "journal", "VATCode", "Historic", "Checking"}));
}

TEST(SampleCommand, BadInputIsRefusedAndWritesNothing) {
  const testing_support::ScratchFolder scratch;
  const fs::path dir = scratch.path() / "out";
  for (const std::string args : {"--form access-prefixed --company 01", "--form xls --company 001",
                                 "--form sql --company 001 --lines 3", "--form sql --company 001 --years x",
                                 "--form sql --company 001 --bogus 1", "--form sql"}) {
    const int rc = std::system((tool() + " " + args + " --out '" + dir.string() + "' >/dev/null 2>&1").c_str());
    EXPECT_NE(rc, 0) << args;
    EXPECT_FALSE(fs::exists(dir)) << args;
  }
}
