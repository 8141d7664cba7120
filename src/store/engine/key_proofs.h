// Keys this process computed from a table's records and wrote into its index,
// remembered by digest: checking the written file then reads its keys back and
// compares digests, instead of computing a million keys a second time. Only
// keys read back from the file and records read back from the disk are ever
// compared with what was remembered, so a file cut short or changed since is
// still found out (and then checked key by key, for the message).
#pragma once
#include <compare>
#include <cstddef>
#include <cstdint>

#include "store/engine/cdx_file.h"

namespace store {

// 128 bits of XXH3: enough to tell apart what was written from what an
// accident (a short write, a file changed behind the run) leaves, at several
// gigabytes a second, which a cryptographic digest of a million-record table
// would not give. Nobody is assumed to forge keys.
struct Digest {
  uint64_t low = 0, high = 0;
  auto operator<=>(const Digest&) const = default;
};

class Hasher {
 public:
  Hasher();
  ~Hasher();
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;
  void update(const void* data, size_t size);
  Digest digest() const;

 private:
  void* state_;
};

// A tag's definition as the file stores it, its keys and their records.
Digest tagKeysDigest(const cdx::TagKeys& keys);

// That the keys of `tag` are the ones records of digest `records` give.
void rememberKeys(const Digest& records, const Digest& tag);
// Whether any tag's keys are remembered for such records.
bool keysRemembered(const Digest& records);
bool keysProven(const Digest& records, const Digest& tag);

}  // namespace store
