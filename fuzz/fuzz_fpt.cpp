// The memo reader and writer on arbitrary FPT bytes beside a sound table:
// every memo reads (empty when its reference is damaged), and a memo the
// engine has written reads back as written.
#include <cstdint>

#include "fuzz_support.h"
#include "store/engine/table.h"

namespace {

using store::Table;

// A table of five records whose memo field NOTE points at blocks 1, 2, 3,
// 8 and at one no file can hold.
std::string tableBytes() {
  const char* refs[] = {"         1", "         2", "         3", "         8", "9999999999"};
  std::string h(32 + 2 * 32 + 2, '\0');
  h[0] = char(0xF5);
  h[4] = 5;
  h[8] = char(h.size());
  h[10] = 1 + 10 + 10;
  h.replace(32, 4, "NAME");
  h[32 + 11] = 'C';
  h[32 + 16] = 10;
  h.replace(64, 4, "NOTE");
  h[64 + 11] = 'M';
  h[64 + 16] = 10;
  h[96] = 0x0D;
  for (const char* ref : refs) h += std::string(" ") + "record    " + ref;
  return h + '\x1A';
}

std::string memoOf(Table& t, uint32_t recno) {
  t.go(recno);
  return t.text(t.fieldIndex("NOTE"));
}

// Writes `text` into one record's memo, closes, and reads it back.
void writeAndReadBack(const std::filesystem::path& dbf, uint32_t recno, const std::string& text) {
  base::Bilingual error;
  auto t = Table::open(dbf, error);
  if (!t) fuzzing::broken("the table opened before does not open again: " + error.french);
  if (recno > t->recordCount()) recno = t->appendBlank();
  t->go(recno);
  const bool written = t->setText(t->fieldIndex("NOTE"), text);
  if (!t->close(error)) fuzzing::broken("closing: " + error.french);
  t.reset();
  if (!written) return;
  auto again = Table::open(dbf, error, Table::OpenMode::ReadOnly);
  if (!again) fuzzing::broken("the table does not open after a memo was written: " + error.french);
  if (memoOf(*again, recno) != text) fuzzing::broken("record " + std::to_string(recno) + ": memo not read back");
}

// The table must open beside a sound memo file, or no input gets past the opening.
std::string checkedTableBytes() {
  const std::string table = tableBytes();
  std::string fpt(512, '\0');
  fpt[3] = 1;
  fpt[6] = 4;  // 1024-byte blocks
  const auto dbf = fuzzing::scratch() / "M.DBF";
  fuzzing::writeFile(dbf, table);
  fuzzing::writeFile(fuzzing::scratch() / "M.FPT", fpt);
  base::Bilingual error;
  if (!Table::open(dbf, error, Table::OpenMode::ReadOnly)) fuzzing::broken("the harness's own table: " + error.french);
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string table = checkedTableBytes();
  const auto dbf = fuzzing::scratch() / "M.DBF";
  fuzzing::writeFile(dbf, table);
  fuzzing::writeFile(fuzzing::scratch() / "M.FPT", data, size);
  base::Bilingual error;
  {
    auto t = Table::open(dbf, error, Table::OpenMode::ReadOnly);
    if (!t) return 0;
    for (uint32_t r = 1; r <= t->recordCount(); ++r) (void)memoOf(*t, r);
  }
  writeAndReadBack(dbf, 1, "short");
  writeAndReadBack(dbf, 2, std::string(3000, 'x'));
  writeAndReadBack(dbf, 6, "a new record");
  return 0;
}
