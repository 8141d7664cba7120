// A text told in French and in Dutch. A person reads the one of the wizard's
// language only; a tool shows one of them, French unless told otherwise.
#pragma once
#include <string>
#include <string_view>
#include <utility>

namespace base {

struct Bilingual {
  std::string french, dutch;

  Bilingual() = default;
  Bilingual(std::string fr, std::string nl) : french(std::move(fr)), dutch(std::move(nl)) {}
  // A text that reads the same in both languages (a name, a path, a number).
  static Bilingual same(std::string text) { return Bilingual(text, text); }

  const std::string& in(bool inFrench) const { return inFrench ? french : dutch; }
  bool empty() const { return french.empty() && dutch.empty(); }

  // Each language continues with its own text, or both with the same one.
  Bilingual& operator+=(const Bilingual& more) {
    french += more.french;
    dutch += more.dutch;
    return *this;
  }
  Bilingual& operator+=(std::string_view same) {
    french += same;
    dutch += same;
    return *this;
  }
};

inline Bilingual operator+(Bilingual text, const Bilingual& more) { return text += more; }
inline Bilingual operator+(Bilingual text, std::string_view same) { return text += same; }
inline Bilingual operator+(std::string_view same, const Bilingual& text) {
  return Bilingual(std::string(same) + text.french, std::string(same) + text.dutch);
}

}  // namespace base
