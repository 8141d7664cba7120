#include "sample_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sample_test {

namespace {

const char* kNullText = "<null>";

}  // namespace

std::string canonical(const jet4::Value& v) {
  char buf[40];
  switch (v.index()) {
    case 0: return kNullText;
    case 1: return std::get<bool>(v) ? "1" : "0";
    case 2: return std::to_string(std::get<int64_t>(v));
    case 3: std::snprintf(buf, sizeof buf, "%.17g", std::get<double>(v)); return buf;
    case 4: return std::to_string(std::get<jet4::Currency>(v).units);
    case 5: return jet4::isoText(std::get<jet4::DateTime>(v));
    default: {
      const std::string& s = std::get<std::string>(v);
      return s.empty() ? kNullText : s;
    }
  }
}

std::string canonical(const base::Value& v, jet4::Type type) {
  using K = base::Value::Kind;
  if (!v.present()) return type == jet4::Type::Boolean ? "0" : kNullText;
  char buf[40];
  switch (type) {
    case jet4::Type::Boolean: return v.asBool() ? "1" : "0";
    case jet4::Type::Byte:
    case jet4::Type::Integer:
    case jet4::Type::Long: return std::to_string(v.asInt());
    case jet4::Type::Double: std::snprintf(buf, sizeof buf, "%.17g", v.asDouble()); return buf;
    case jet4::Type::Currency: return std::to_string(std::llround(v.asDouble() * 10000));
    case jet4::Type::DateTime:
      if (v.kind != K::DateTime) return "not a date: " + v.asText();
      return jet4::isoText({v.date.year, v.date.month, v.date.day, v.date.hour, v.date.minute, v.date.second});
    default: return v.kind == K::Text ? v.text : "not a text: " + v.asText();
  }
}

void expectSourceTable(base::Source& source, const std::string& name, const marlin::TableData& want, bool ordered) {
  std::vector<std::vector<std::string>> got, expected;
  for (const auto& r : want.rows) {
    expected.emplace_back();
    for (const auto& v : r) expected.back().push_back(canonical(v));
  }
  auto rows = source.query("SELECT * FROM " + name);
  for (; !rows->eof(); rows->moveNext()) {
    got.emplace_back();
    for (const auto& c : want.columns) got.back().push_back(canonical(rows->field(c.name), c.type));
  }
  if (!ordered) {
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
  }
  ASSERT_EQ(got.size(), expected.size()) << name;
  for (size_t r = 0; r < got.size(); ++r)
    for (size_t c = 0; c < want.columns.size(); ++c)
      ASSERT_EQ(got[r][c], expected[r][c]) << name << " row " << r << " column " << want.columns[c].name;
}

std::optional<std::string> exportText(const jet4::Value& v) {
  char buf[64];
  switch (v.index()) {
    case 0: return std::nullopt;
    case 1: return std::get<bool>(v) ? "1" : "0";
    case 2: return std::to_string(std::get<int64_t>(v));
    case 3: std::snprintf(buf, sizeof buf, "%.16g", std::get<double>(v)); return buf;
    case 4: return jet4::decimalText(std::get<jet4::Currency>(v));
    case 5: return jet4::isoText(std::get<jet4::DateTime>(v));
    default: {
      const std::string& s = std::get<std::string>(v);
      if (s.empty()) return std::nullopt;  // mdbtools reads empty text as null
      return s;
    }
  }
}

}  // namespace sample_test
