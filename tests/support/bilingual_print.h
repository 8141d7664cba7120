// Test messages show both languages of a reason (the program itself always
// picks one).
#pragma once
#include <ostream>

#include "base/bilingual.h"

namespace base {

inline std::ostream& operator<<(std::ostream& out, const Bilingual& text) {
  return out << text.french << " | " << text.dutch;
}

}  // namespace base
