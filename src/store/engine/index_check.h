// Checks a table's CDX against its records: every tag is read back from the
// file (walking each B-tree from its root) and compared, key by key, with the
// keys the live records give (or, for keys this process wrote itself from the
// same records, with their digest).
#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "base/bilingual.h"

namespace store {

struct TagCheck {
  std::string tag;       // empty when the file as a whole fails
  size_t keyCount = 0;   // keys found in the file
  bool ok = false;
  base::Bilingual problem;  // empty when ok
  // The keys were known from this process's own write of them (their digest
  // and the records' digest matched), so they were not computed again.
  bool fromWrite = false;
};

// One result per tag of the table's structural CDX (none for a table without one).
std::vector<TagCheck> checkIndexes(const std::filesystem::path& dbfPath);

}  // namespace store
