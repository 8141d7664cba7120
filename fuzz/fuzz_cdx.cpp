// The compound index reader on arbitrary CDX bytes beside a sound table, and
// the engine's rewrite of that index: the tag definitions (whose expressions
// come from the file) are read, checked against the records, kept current
// through changes and written back; the index written must agree with the
// records.
#include <cstdint>

#include "fuzz_support.h"
#include "store/engine/cdx_file.h"
#include "store/engine/index_check.h"
#include "store/engine/table.h"

namespace {

using store::Table;

// Thirty records with repeated, blank and deleted values, written once.
std::string tableBytes() {
  const auto file = fuzzing::scratch() / "SEED.DBF";
  store::TableLayout layout;
  layout.fields = {{"CODE", 'C', 8, 0, 0},
                   {"AMT", 'N', 10, 2, 0},
                   {"WHEN", 'D', 8, 0, 0},
                   {"OK", 'L', 1, 0, 0},
                   {"NAME", 'C', 20, 0, 0}};
  base::Bilingual error;
  auto t = Table::create(file, layout, error);
  if (!t) fuzzing::broken("creating the table: " + error.french);
  for (int i = 0; i < 30; ++i) {
    t->appendBlank();
    if (i % 7 == 3) continue;  // a blank record
    t->setText(0, "C" + std::to_string(i % 11));
    t->setNumber(1, (i - 15) * 12.5);
    t->setText(2, "2024" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "15");
    t->setLogical(3, i % 2 == 0);
    t->setText(4, i % 5 ? "Dupont" : "Élodie");
    if (i % 9 == 0) t->setDeleted(true);
  }
  if (!t->close(error)) fuzzing::broken("closing the table: " + error.french);
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void walkTags(Table& t) {
  for (size_t tag = 0; tag < t.tagCount(); ++tag) {
    int steps = 0;
    for (uint32_t r = t.firstInOrder(tag); r && steps < 100; r = t.nextInOrder(tag, r), ++steps) {}
    (void)t.seek(tag, t.seekKey(tag, "C1"));
    (void)t.previousInOrder(tag, 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string table = tableBytes();
  const auto dbf = fuzzing::scratch() / "T.DBF";
  const auto cdx = fuzzing::scratch() / "T.CDX";
  fuzzing::writeFile(dbf, table);
  fuzzing::writeFile(cdx, data, size);

  base::Bilingual error;
  std::vector<store::cdx::TagSpec> tagSpecs;
  std::vector<store::cdx::TagKeys> keys;
  (void)store::cdx::readCdxSpecs(cdx, tagSpecs, error);
  (void)store::cdx::readCdxKeys(cdx, keys, error, UINT32_MAX);  // the reader alone, any count
  (void)store::checkIndexes(dbf);

  auto t = Table::open(dbf, error);
  if (!t) return 0;
  walkTags(*t);
  t->go(2);
  t->setText(0, "ZZZ");
  t->setDeleted(false);
  t->appendBlank();
  t->setText(0, "AAA");
  walkTags(*t);
  const size_t tags = t->tagCount();
  if (!t->close(error)) fuzzing::broken("rewriting the index: " + error.french);
  t.reset();

  const auto checks = store::checkIndexes(dbf);
  if (tags > 0 && checks.size() != tags) fuzzing::broken("the rewritten index lost tags");
  for (const store::TagCheck& c : checks)
    if (!c.ok) fuzzing::broken("the rewritten index disagrees: " + c.tag + ": " + c.problem.french);
  return 0;
}
