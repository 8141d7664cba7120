// The whole import, run as a person runs it, on the company database of a
// generated Marlin dossier damaged the way old office PCs damage files: one
// byte changed where Jet keeps a table's structure (found by reading the
// file's pages), the file cut short, a page of zeros. Every outcome is either
// the dossier of the intact file, table by table, or a message and no dossier:
// never a crash, a hang, libmdb's own warnings, or rows silently missing.
//
// A column's type byte and the letters of names are left alone: Jet keeps no
// second copy of them, so a Double read as a date, or a text read as bytes,
// cannot be told from the real thing by any reader.
#include <algorithm>
#include <iterator>
#include <random>
#include <set>

#include "cli_fixture.h"
#include "support/jet_places.h"

namespace {

std::vector<unsigned char> readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& p, const std::vector<unsigned char>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class DamagedSource : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    source = root / "marlin";
    fs::create_directories(source);
    for (const auto& e : fs::directory_iterator(sample("access-prefixed")))
      fs::copy_file(e.path(), source / e.path().filename());
    company = source / "001Soc.MDB";
    intact = readBytes(company);
    Ran r = importSource();
    ASSERT_EQ(r.status, 0) << r.output;
    reference = root / "reference";
    fs::rename(kestrel / "ACME", reference);
  }

  Ran importSource() {
    fs::remove_all(kestrel);
    fs::create_directories(kestrel);
    // A hang would show as the status of timeout.
    return import("--source-folder " + shellQuoted(source.string()) + " --company 001", "timeout 120");
  }

  std::string dump(const fs::path& table) {
    return run(std::string(M2K_BIN_DIR) + "/kestrel-dump " + shellQuoted(table.string())).output;
  }

  // The finished dossier against the one of the intact file: the same files,
  // and every table the same by kestrel-dump (compared byte for byte first,
  // which is enough when nothing differs).
  void expectReferenceDossier(const std::string& what) {
    const fs::path dossier = kestrel / "ACME";
    std::set<std::string> made, expected;
    for (const auto& e : fs::directory_iterator(dossier)) made.insert(e.path().filename().string());
    for (const auto& e : fs::directory_iterator(reference)) expected.insert(e.path().filename().string());
    ASSERT_EQ(made, expected) << what;
    bool same = true;
    for (const auto& name : made) same = same && readBytes(dossier / name) == readBytes(reference / name);
    if (same) return;
    for (const auto& name : made)
      if (name.size() > 4 && name.substr(name.size() - 4) == ".DBF")
        EXPECT_EQ(dump(dossier / name), dump(reference / name)) << what << ": " << name << " differs";
  }

  // Imports with the company database holding `bytes`.
  void expectWholeOrRefused(const std::string& what, const std::vector<unsigned char>& bytes) {
    writeBytes(company, bytes);
    Ran r = importSource();
    for (const char* noise : {"Warning", "warning:", "rror:", "Oops", "mdb_", "beyond EOF", "Unhandled", "Unable to", "Couldn't"})
      EXPECT_EQ(r.output.find(noise), std::string::npos) << what << ": libmdb spoke\n" << r.output;
    if (r.status == 0) {
      expectReferenceDossier(what);
      return;
    }
    ++refused;
    EXPECT_EQ(r.status, 1) << what << "\n" << r.output;
    EXPECT_TRUE(r.output.rfind("! ", 0) == 0 || r.output.find("\n! ") != std::string::npos) << what << ": no message\n" << r.output;
    EXPECT_FALSE(fs::exists(kestrel / "ACME")) << what;
  }

  // Up to `count` of the changes, drawn the same way every run: together the
  // families stay within a minute, and every kind of change is still met.
  void expectEachWholeOrRefused(std::vector<jet_places::Change> changes, size_t count) {
    ASSERT_GT(changes.size(), 10u);
    std::mt19937 draw(20261206);
    for (size_t i = 0; i + 1 < changes.size(); ++i) std::swap(changes[i], changes[i + draw() % (changes.size() - i)]);
    changes.resize(std::min(count, changes.size()));
    for (const auto& c : changes) {
      std::vector<unsigned char> bytes = intact;
      bytes.at(c.offset) = c.value;
      expectWholeOrRefused(c.what, bytes);
    }
    // Damage that changes nothing read would make this family prove nothing.
    EXPECT_GT(refused, 0);
  }

  jet_places::JetFile file() const { return jet_places::JetFile(intact); }

  fs::path source, company, reference;
  std::vector<unsigned char> intact;
  int refused = 0;
};

TEST_F(DamagedSource, TableDefinitionCountsAndPointers) {
  const auto jet = file();
  // Every table of the prefixed form lives in this file, its rows on pages of its own.
  ASSERT_GE(jet.tables().size(), 15u);
  for (const auto& t : jet.tables()) EXPECT_GT(t.mapEnd, t.mapStart) << t.definition;
  expectEachWholeOrRefused(jet.definitionCounts(), 60);
}

TEST_F(DamagedSource, ColumnEntries) { expectEachWholeOrRefused(file().columnEntries(), 60); }

TEST_F(DamagedSource, DataPageHeaders) { expectEachWholeOrRefused(file().dataPageHeaders(), 50); }

TEST_F(DamagedSource, UsageMaps) { expectEachWholeOrRefused(file().usageMaps(), 30); }

TEST_F(DamagedSource, PagesOfZeros) {
  // Every other page: definitions, data, usage maps and long values all take turns.
  for (size_t p = 0; p < intact.size() / jet_places::kPageSize; p += 2) {
    std::vector<unsigned char> bytes = intact;
    std::fill(bytes.begin() + static_cast<long>(p * jet_places::kPageSize),
              bytes.begin() + static_cast<long>((p + 1) * jet_places::kPageSize), 0);
    expectWholeOrRefused("page " + std::to_string(p) + " zeroed", bytes);
  }
  EXPECT_GT(refused, 0);
}

TEST_F(DamagedSource, FilesCutShort) {
  const size_t pages = intact.size() / jet_places::kPageSize;
  std::vector<size_t> sizes;
  for (size_t k = 0; k < 8; ++k) sizes.push_back(pages * k / 8 * jet_places::kPageSize);
  sizes.push_back((pages - 1) * jet_places::kPageSize);
  sizes.push_back(intact.size() - 100);
  sizes.push_back(intact.size() - 1);
  for (size_t size : sizes)
    expectWholeOrRefused("cut to " + std::to_string(size) + " bytes",
                         std::vector<unsigned char>(intact.begin(), intact.begin() + static_cast<long>(size)));
  EXPECT_GT(refused, 0);
}

}  // namespace
