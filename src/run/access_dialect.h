// The one place where Access (Jet) query texts are turned into the dialect of
// the embedded query engine, so the conversion steps run their texts unchanged.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace run {

// Rewrites a Jet query text: "[SELECT ...]. AS x" derived tables become
// "(SELECT ...) AS x", [bracketed names] and double-quoted texts take the
// engine's quoting, "&" concatenates and #m/d/yyyy# dates become date texts.
// Everything else (Is Null, First(), Len(), GROUP BY ... HAVING) is left as
// written: the engine understands it or has the functions registered.
std::string translateAccessSql(std::string_view jet);

// A translated text with the literals compared against ("= 'VEN'", "= 12",
// "<> 0") turned into parameters, so texts that differ only in those values
// share one prepared statement. `slots` gives, for each "?" of `text` in
// order, the index of its literal in `literals`, or -1 for a "?" the caller
// wrote (bound from the caller's values in order).
struct ParameterizedSql {
  struct Literal {
    bool isText = false;
    bool isInteger = false;
    std::string text;  // the text, or the number as written
  };
  std::string text;
  std::vector<int> slots;
  std::vector<Literal> literals;
};
ParameterizedSql parameterizeLiterals(std::string_view sql);

// The names a translated text mentions (bare or quoted identifiers, outside
// text literals), as written: the tables a query may need loaded.
std::vector<std::string> mentionedNames(std::string_view sql);

}  // namespace run
