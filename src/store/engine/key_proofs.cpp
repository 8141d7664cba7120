#include "store/engine/key_proofs.h"

#include <deque>
#include <mutex>
#include <new>
#include <set>
#include <utility>

#include <xxhash.h>

namespace store {
namespace {

using Proof = std::pair<Digest, Digest>;

// A host that imports dossier after dossier keeps the latest proofs only: a
// proof forgotten costs a full check, never a wrong one.
constexpr size_t kKept = 4096;

std::mutex gMutex;
std::set<Proof>& proofs() {
  static std::set<Proof> all;
  return all;
}
std::deque<Proof>& arrival() {
  static std::deque<Proof> order;
  return order;
}

void hashNumber(Hasher& h, uint64_t n) {
  unsigned char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(n >> (8 * i));
  h.update(b, sizeof b);
}

void hashText(Hasher& h, const std::string& text) {
  hashNumber(h, text.size());
  h.update(text.data(), text.size());
}

}  // namespace

Hasher::Hasher() : state_(XXH3_createState()) {
  if (!state_) throw std::bad_alloc();
  XXH3_128bits_reset(static_cast<XXH3_state_t*>(state_));
}

Hasher::~Hasher() { XXH3_freeState(static_cast<XXH3_state_t*>(state_)); }

void Hasher::update(const void* data, size_t size) {
  if (size) XXH3_128bits_update(static_cast<XXH3_state_t*>(state_), data, size);
}

Digest Hasher::digest() const {
  const XXH128_hash_t h = XXH3_128bits_digest(static_cast<const XXH3_state_t*>(state_));
  return Digest{h.low64, h.high64};
}

Digest tagKeysDigest(const cdx::TagKeys& keys) {
  Hasher h;
  const cdx::TagSpec& s = keys.info;
  hashText(h, s.name);
  hashText(h, s.keyExpr);
  hashText(h, s.forExpr);
  hashNumber(h, uint64_t(s.unique) | uint64_t(s.descending) << 1 | uint64_t(s.keyType) << 8 |
                    uint64_t(s.keyLength) << 16);
  hashNumber(h, keys.count());
  h.update(keys.keyBytes.data(), keys.keyBytes.size());
  h.update(keys.recnos.data(), keys.recnos.size() * sizeof(uint32_t));
  return h.digest();
}

void rememberKeys(const Digest& records, const Digest& tag) {
  std::lock_guard<std::mutex> hold(gMutex);
  if (!proofs().insert({records, tag}).second) return;
  arrival().push_back({records, tag});
  if (arrival().size() <= kKept) return;
  proofs().erase(arrival().front());
  arrival().pop_front();
}

bool keysRemembered(const Digest& records) {
  std::lock_guard<std::mutex> hold(gMutex);
  auto it = proofs().lower_bound({records, Digest{}});
  return it != proofs().end() && it->first == records;
}

bool keysProven(const Digest& records, const Digest& tag) {
  std::lock_guard<std::mutex> hold(gMutex);
  return proofs().count({records, tag}) > 0;
}

}  // namespace store
