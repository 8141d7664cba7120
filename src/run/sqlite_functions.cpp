#include "run/sqlite_functions.h"

#include <sqlite3.h>

#include <ctype.h>
#include <string>

namespace run {
namespace {

// First()/Last() keep the value of the first/last row of the group, null included.
struct Kept {
  sqlite3_value* value;
  bool set;
};

void firstStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
  if (k && !k->set) {
    k->value = sqlite3_value_dup(argv[0]);
    k->set = true;
  }
}

void lastStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
  if (!k) return;
  sqlite3_value_free(k->value);
  k->value = sqlite3_value_dup(argv[0]);
  k->set = true;
}

void keptFinal(sqlite3_context* ctx) {
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, 0));
  if (k && k->set && k->value) {
    sqlite3_result_value(ctx, k->value);
    sqlite3_value_free(k->value);
  } else {
    sqlite3_result_null(ctx);
  }
}

// Len() counts characters of the value's text (a number counts its digits).
void lenFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const unsigned char* s = sqlite3_value_text(argv[0]);
  long n = 0;
  for (; s && *s; ++s)
    if ((*s & 0xC0) != 0x80) ++n;
  sqlite3_result_int64(ctx, n);
}

void nzFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
  if (argc > 1) return sqlite3_result_value(ctx, argv[1]);
  sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

template <int (*Map)(int)>
void caseFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string s(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x80) c = static_cast<char>(Map(static_cast<unsigned char>(c)));
  sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

}  // namespace

void registerAccessFunctions(sqlite3* db) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  sqlite3_create_function(db, "first", 1, SQLITE_UTF8, nullptr, nullptr, firstStep, keptFinal);
  sqlite3_create_function(db, "last", 1, SQLITE_UTF8, nullptr, nullptr, lastStep, keptFinal);
  sqlite3_create_function(db, "len", 1, flags, nullptr, lenFunc, nullptr, nullptr);
  sqlite3_create_function(db, "nz", 1, flags, nullptr, nzFunc, nullptr, nullptr);
  sqlite3_create_function(db, "nz", 2, flags, nullptr, nzFunc, nullptr, nullptr);
  sqlite3_create_function(db, "ucase", 1, flags, nullptr, caseFunc<::toupper>, nullptr, nullptr);
  sqlite3_create_function(db, "lcase", 1, flags, nullptr, caseFunc<::tolower>, nullptr, nullptr);
}

}  // namespace run
