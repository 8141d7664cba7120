// The expression compiler and evaluator on arbitrary text (up to the first
// NUL byte) and an arbitrary record (the bytes after it).
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "store/engine/expression.h"

namespace {

const std::vector<store::FieldDef>& fields() {
  static const std::vector<store::FieldDef> f = {{"CODE", 'C', 6, 0, 1},  {"AMT", 'N', 10, 2, 7},
                                                 {"D", 'D', 8, 0, 17},    {"FLAG", 'L', 1, 0, 25},
                                                 {"NOTE", 'M', 10, 0, 26}, {"RATE", 'F', 8, 3, 36},
                                                 {"NAME", 'C', 20, 0, 44}};
  return f;
}
constexpr size_t kRecordLength = 64;

void evaluate(const store::Expression& e, const store::RecordRef& r) {
  std::string out;
  e.evalText(r, out);
  switch (e.type()) {
    case store::ValueType::Numeric: (void)e.evalNumber(r); break;
    case store::ValueType::Date: (void)e.evalDate(r); break;
    case store::ValueType::Logical: (void)e.evalLogical(r); break;
    case store::ValueType::Character: break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const size_t textLength = strnlen(text, size);
  base::Bilingual error;
  auto e = store::Expression::compile(std::string_view(text, textLength), fields(), error);
  if (!e) {
    if (error.empty()) fuzzing::broken("refused without a reason");
    return 0;
  }
  (void)e->width();
  std::string record(kRecordLength, ' ');
  const size_t rest = textLength < size ? size - textLength - 1 : 0;
  std::memcpy(record.data(), data + size - rest, std::min(rest, kRecordLength));
  evaluate(*e, store::RecordRef{record.data(), 1});
  static const std::string sound = std::string(" ") + "AB    " + "    -12.50" + "20240131" + "T" + "         1" +
                                   "   1.500" + "Dupont              ";
  evaluate(*e, store::RecordRef{sound.data(), 4000000000u});
  return 0;
}
