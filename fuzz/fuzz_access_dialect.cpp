// The Jet-dialect translator on arbitrary query texts: translation, the
// turning of literals into parameters and the names a text mentions.
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "run/access_dialect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view jet(reinterpret_cast<const char*>(data), size);
  const std::string sql = run::translateAccessSql(jet);
  const run::ParameterizedSql p = run::parameterizeLiterals(sql);
  for (int slot : p.slots)
    if (slot >= static_cast<int>(p.literals.size())) fuzzing::broken("a parameter points past the literals");
  (void)run::mentionedNames(sql);
  (void)run::mentionedNames(jet);
  return 0;
}
