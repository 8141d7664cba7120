#include "store/engine/ordered_keys.h"

#include <cstring>

namespace store {
namespace {
constexpr size_t kBlockEntries = 512;
}

int OrderedKeys::order(std::string_view a, uint32_t ra, std::string_view b, uint32_t rb) const {
  int c = std::memcmp(a.data(), b.data(), keyLen_);
  if (c != 0) return descending_ ? (c < 0 ? 1 : -1) : (c < 0 ? -1 : 1);
  return ra < rb ? -1 : ra > rb ? 1 : 0;
}

void OrderedKeys::load(std::string_view keyBytes, const std::vector<uint32_t>& recnos) {
  blocks_.clear();
  size_ = recnos.size();
  for (size_t i = 0; i < recnos.size(); i += kBlockEntries / 2) {
    size_t n = std::min(kBlockEntries / 2, recnos.size() - i);
    auto b = std::make_unique<Block>();
    b->keys.assign(keyBytes.substr(i * keyLen_, n * keyLen_));
    b->recnos.assign(recnos.begin() + i, recnos.begin() + i + n);
    blocks_.push_back(std::move(b));
  }
}

size_t OrderedKeys::blockFor(std::string_view key, uint32_t recno) const {
  // First block whose last entry is not before the key.
  size_t lo = 0, hi = blocks_.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    const Block& b = *blocks_[mid];
    size_t last = b.recnos.size() - 1;
    if (order(std::string_view(b.keys).substr(last * keyLen_, keyLen_), b.recnos[last], key, recno) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

size_t OrderedKeys::indexIn(const Block& b, std::string_view key, uint32_t recno) const {
  size_t lo = 0, hi = b.recnos.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (order(std::string_view(b.keys).substr(mid * keyLen_, keyLen_), b.recnos[mid], key, recno) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

void OrderedKeys::insert(std::string_view key, uint32_t recno) {
  ++size_;
  if (blocks_.empty()) {
    auto b = std::make_unique<Block>();
    b->keys.assign(key.substr(0, keyLen_));
    b->recnos.push_back(recno);
    blocks_.push_back(std::move(b));
    return;
  }
  size_t bi = blockFor(key, recno);
  if (bi == blocks_.size()) --bi;  // after every entry: the last block takes it
  Block& b = *blocks_[bi];
  size_t i = indexIn(b, key, recno);
  b.keys.insert(i * keyLen_, key.data(), keyLen_);
  b.recnos.insert(b.recnos.begin() + i, recno);
  if (b.recnos.size() >= kBlockEntries) {
    auto half = std::make_unique<Block>();
    size_t keep = b.recnos.size() / 2;
    half->keys.assign(b.keys, keep * keyLen_, std::string::npos);
    half->recnos.assign(b.recnos.begin() + keep, b.recnos.end());
    b.keys.resize(keep * keyLen_);
    b.recnos.resize(keep);
    blocks_.insert(blocks_.begin() + bi + 1, std::move(half));
  }
}

bool OrderedKeys::remove(std::string_view key, uint32_t recno) {
  Pos p = find(key, recno);
  if (atEnd(p)) return false;
  Block& b = *blocks_[p.block];
  b.keys.erase(p.index * keyLen_, keyLen_);
  b.recnos.erase(b.recnos.begin() + p.index);
  if (b.recnos.empty()) blocks_.erase(blocks_.begin() + p.block);
  --size_;
  return true;
}

OrderedKeys::Pos OrderedKeys::find(std::string_view key, uint32_t recno) const {
  size_t bi = blockFor(key, recno);
  if (bi == blocks_.size()) return Pos{blocks_.size(), 0};
  const Block& b = *blocks_[bi];
  size_t i = indexIn(b, key, recno);
  if (i < b.recnos.size() && b.recnos[i] == recno &&
      std::memcmp(b.keys.data() + i * keyLen_, key.data(), keyLen_) == 0)
    return Pos{bi, i};
  return Pos{blocks_.size(), 0};
}

OrderedKeys::Pos OrderedKeys::lowerBound(std::string_view prefix) const {
  size_t n = std::min<size_t>(prefix.size(), keyLen_);
  auto before = [&](const char* k) {
    int c = std::memcmp(k, prefix.data(), n);
    return descending_ ? c > 0 : c < 0;
  };
  size_t lo = 0, hi = blocks_.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    const Block& b = *blocks_[mid];
    if (before(b.keys.data() + (b.recnos.size() - 1) * keyLen_))
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == blocks_.size()) return Pos{lo, 0};
  const Block& b = *blocks_[lo];
  size_t l = 0, h = b.recnos.size();
  while (l < h) {
    size_t mid = (l + h) / 2;
    if (before(b.keys.data() + mid * keyLen_))
      l = mid + 1;
    else
      h = mid;
  }
  return Pos{lo, l};
}

OrderedKeys::Pos OrderedKeys::next(Pos p) const {
  if (atEnd(p)) return p;
  if (++p.index >= blocks_[p.block]->recnos.size()) {
    ++p.block;
    p.index = 0;
  }
  return p;
}

OrderedKeys::Pos OrderedKeys::prev(Pos p) const {
  if (atEnd(p)) return p;
  if (p.index > 0) return Pos{p.block, p.index - 1};
  if (p.block == 0) return end();
  return Pos{p.block - 1, blocks_[p.block - 1]->recnos.size() - 1};
}

std::string_view OrderedKeys::key(const Pos& p) const {
  return std::string_view(blocks_[p.block]->keys).substr(p.index * keyLen_, keyLen_);
}

void OrderedKeys::exportTo(std::string& keyBytes, std::vector<uint32_t>& recnos) const {
  keyBytes.reserve(keyBytes.size() + size_ * keyLen_);
  recnos.reserve(recnos.size() + size_);
  for (const auto& b : blocks_) {
    keyBytes += b->keys;
    recnos.insert(recnos.end(), b->recnos.begin(), b->recnos.end());
  }
}

}  // namespace store
