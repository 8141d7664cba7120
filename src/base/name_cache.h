// What names asked of a row or a record resolved to, for readers that ask
// the same few names in the same order on every row: the entry after the one
// found last is nearly always the next one asked, so a look-up costs one
// comparison instead of a case-folding search. A name is always compared in
// full: the order only says where to look first.
#pragma once
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
    const size_t n = asked_.size();
    // The same name again (asked whether present, then read), or the next.
    for (size_t i = last_, tries = 0; tries < 2 && tries < n; ++tries, i = i + 1 < n ? i + 1 : 0)
      if (asked_[i].name == name) return asked_[last_ = i].index;
    for (size_t i = 0; i < n; ++i)
      if (asked_[i].name == name) return asked_[last_ = i].index;
    const int index = lookUp(name);
    asked_.push_back({std::string(name), index});
    last_ = n;
    return index;
  }

 private:
  struct Asked {
    std::string name;
    int index;
  };
  std::vector<Asked> asked_;
  size_t last_ = 0;
};

}  // namespace base
