// The table reader on arbitrary DBF bytes: read every value, change records,
// write them back; a table the engine has written must open again.
#include <cstdint>

#include "fuzz_support.h"
#include "store/engine/table.h"

namespace {

using store::Table;

// A memo file with one text memo in block 8 (block size 64), for tables
// whose memo fields point there.
std::string memoFile() {
  std::string fpt(512 + 64, '\0');
  fpt[3] = 9;     // next free block
  fpt[7] = 64;    // block size
  fpt[512 + 3] = 1;  // text
  fpt[512 + 7] = 9;  // its length
  fpt.replace(512 + 8, 9, "memo text");
  return fpt;
}

void readEverything(Table& t) {
  const uint32_t last = std::min<uint32_t>(t.recordCount(), 2000);
  for (uint32_t r = 1; r <= last; ++r) {
    t.go(r);
    (void)t.deleted();
    for (int f = 0; f < static_cast<int>(t.fields().size()); ++f) {
      (void)t.raw(f);
      (void)t.text(f);
      (void)t.number(f);
      (void)t.date(f);
      (void)t.logical(f);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto dbf = fuzzing::scratch() / "T.DBF";
  fuzzing::writeFile(dbf, data, size);
  fuzzing::writeFile(fuzzing::scratch() / "T.FPT", memoFile());
  base::Bilingual error;
  if (auto t = Table::open(dbf, error, Table::OpenMode::ReadOnly)) readEverything(*t);

  auto t = Table::open(dbf, error);
  if (!t) return 0;
  readEverything(*t);
  const uint32_t count = t->recordCount();
  const int fields = static_cast<int>(t->fields().size());
  if (count > 0) {
    t->go(1);
    for (int f = 0; f < fields; ++f) t->setText(f, "12");
    t->setDeleted(true);
  }
  t->appendBlank();
  for (int f = 0; f < fields; ++f) t->setText(f, "20240131");
  if (!t->close(error)) fuzzing::broken("closing a table that opened: " + error.french);
  t.reset();

  auto again = Table::open(dbf, error, Table::OpenMode::ReadOnly);
  if (!again) fuzzing::broken("a table the engine wrote does not open again: " + error.french);
  if (again->recordCount() != count + 1) fuzzing::broken("the appended record is missing");
  readEverything(*again);
  return 0;
}
