// Names looked up once and found again whatever order they are asked in.
#include "base/name_cache.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

TEST(NameCache, AnswersAsTheLookUpInAnyOrderOfAsking) {
  const std::map<std::string, int, std::less<>> columns{{"DOC", 0}, {"JrnlID", 1}, {"doc", 2}, {"AmntBase", 3}};
  int lookUps = 0;
  const auto lookUp = [&](std::string_view name) {
    ++lookUps;
    const auto it = columns.find(name);
    return it == columns.end() ? -1 : it->second;
  };
  base::NameCache cache;
  // Rows asked in one order, then names skipped, repeated, reversed, and
  // spellings that differ only in case, are missing, or are alike in length
  // and in their first, middle and last characters (JrnlID, JrnlXD).
  const std::vector<std::vector<std::string>> rows{{"DOC", "JrnlID", "AmntBase"},
                                                   {"DOC", "DOC", "JrnlXD", "JrnlID", "AmntBase"},
                                                   {"AmntBase", "JrnlID", "DOC"},
                                                   {"JrnlID", "doc", "Missing", "DOC", "Missing", "JrnlXD"},
                                                   {"DOC", "AmntBase"}};
  for (const auto& row : rows)
    for (const std::string& name : row) {
      const auto it = columns.find(name);
      EXPECT_EQ(cache.find(name, lookUp), it == columns.end() ? -1 : it->second) << name;
    }
  EXPECT_EQ(lookUps, 6);  // each spelling once, the missing ones included
}

}  // namespace
