// What names asked of a row or a record resolved to, for readers that ask
// the same few names on every row: a small table of the spellings asked,
// hashed on their length and three of their characters, so that finding a
// name again costs one comparison of it instead of a case-folding search.
// A name is always compared in full; the hash only says where to look.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

class NameCache {
 public:
  // The index `name` resolved to the first time it was asked in exactly this
  // spelling, or `lookUp(name)` remembered.
  template <class LookUp>
  int find(std::string_view name, LookUp&& lookUp) {
    if (!slots_.empty())
      for (size_t i = slotOf(name);; i = (i + 1) & (slots_.size() - 1)) {
        const uint32_t at = slots_[i];
        if (at == 0) break;
        if (asked_[at - 1].name == name) return asked_[at - 1].index;
      }
    asked_.push_back({std::string(name), lookUp(name)});
    // At most half full, so that a name not yet asked meets an empty slot soon.
    if (asked_.size() * 2 > slots_.size()) {
      slots_.assign(slots_.empty() ? 64 : slots_.size() * 2, 0);
      for (uint32_t a = 1; a <= asked_.size(); ++a) place(a);
    } else {
      place(static_cast<uint32_t>(asked_.size()));
    }
    return asked_.back().index;
  }

 private:
  struct Asked {
    std::string name;
    int index;
  };
  size_t slotOf(std::string_view name) const {
    uint64_t h = name.size();
    if (!name.empty())
      h = ((h * 131 + static_cast<unsigned char>(name[0])) * 131 + static_cast<unsigned char>(name[name.size() / 2])) *
              131 +
          static_cast<unsigned char>(name.back());
    return static_cast<size_t>((h * 0x9E3779B97F4A7C15ull) >> 40) & (slots_.size() - 1);
  }
  void place(uint32_t at) {
    size_t i = slotOf(asked_[at - 1].name);
    while (slots_[i]) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = at;
  }
  std::vector<Asked> asked_;
  std::vector<uint32_t> slots_;  // 1 + index into asked_, 0 empty
};

}  // namespace base
