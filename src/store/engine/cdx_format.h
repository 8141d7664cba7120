// Byte layout of a FoxPro compound index shared by its writer and reader:
// header and node offsets, node attributes, leaf entry bit widths. Internal to the engine.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "store/engine/byte_order.h"
#include "store/engine/cdx_file.h"

namespace store::cdx::format {

constexpr uint32_t kPageSize = 512;
constexpr uint32_t kHeaderSize = 1024;
constexpr uint32_t kNoPage = 0xFFFFFFFFu;
constexpr uint16_t kMaxKeyLength = 240;
constexpr uint16_t kTagNameLength = 10;

// Header fields (tag directory and every tag header).
constexpr size_t kHdrRoot = 0;
constexpr size_t kHdrFreeList = 4;
constexpr size_t kHdrKeyLength = 12;
constexpr size_t kHdrOptions = 14;
constexpr size_t kHdrSignature = 15;
constexpr size_t kHdrDescending = 502;
constexpr size_t kHdrForPoolLength = 506;
constexpr size_t kHdrKeyPoolLength = 510;
constexpr size_t kHdrExprPool = 512;
constexpr size_t kExprPoolSize = kHeaderSize - kHdrExprPool;

constexpr uint8_t kOptUnique = 0x01;
constexpr uint8_t kOptForClause = 0x08;
constexpr uint8_t kOptCompact = 0x20;
constexpr uint8_t kOptCompound = 0x40;
constexpr uint8_t kOptDirectory = 0x80;
constexpr uint8_t kSignature = 0x01;

// Node header fields.
constexpr size_t kNodeAttr = 0;
constexpr size_t kNodeCount = 2;
constexpr size_t kNodeLeft = 4;
constexpr size_t kNodeRight = 8;
constexpr size_t kInteriorEntries = 12;
constexpr size_t kLeafFree = 12;
constexpr size_t kLeafRecMask = 14;
constexpr size_t kLeafDupMask = 18;
constexpr size_t kLeafTrailMask = 19;
constexpr size_t kLeafRecBits = 20;
constexpr size_t kLeafDupBits = 21;
constexpr size_t kLeafTrailBits = 22;
constexpr size_t kLeafEntryBytes = 23;
constexpr size_t kLeafEntries = 24;
constexpr uint32_t kLeafSpace = kPageSize - kLeafEntries;           // 488
constexpr uint32_t kInteriorSpace = kPageSize - kInteriorEntries;   // 500

constexpr uint16_t kAttrInterior = 0;
constexpr uint16_t kAttrRoot = 1;
constexpr uint16_t kAttrLeaf = 2;

// Tag names as FoxPro writes them: 1 to 10 upper-case letters, digits and _.
inline bool validTagName(std::string_view name) {
  if (name.empty() || name.size() > kTagNameLength) return false;
  for (char c : name)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

inline uint32_t interiorCapacity(uint16_t keyLength) { return kInteriorSpace / (keyLength + 8u); }

// Character keys are padded with blanks, binary (numeric, date) keys with
// zero bytes; the trailing count of a leaf entry counts this filler.
inline char fillerFor(KeyType type) { return type == KeyType::Character ? ' ' : '\0'; }

// Per-node widths of a leaf entry: record number in the low bits, then the
// duplicate count, then the trailing count in the top bits; together they
// fill the entry's bytes exactly.
struct LeafWidths {
  uint8_t entryBytes = 0;
  uint8_t recBits = 0;
  uint8_t dupBits = 0;
  uint8_t trailBits = 0;
  uint32_t recMask() const { return recBits >= 32 ? 0xFFFFFFFFu : (1u << recBits) - 1; }
  uint32_t dupMask() const { return (1u << dupBits) - 1; }
  uint32_t trailMask() const { return (1u << trailBits) - 1; }
};

inline uint8_t bitsFor(uint32_t value) { return static_cast<uint8_t>(std::bit_width(value)); }

// Counts need bits for the key length; the record number takes the rest of
// the smallest entry (at least 3 bytes, as the format's writers do) that
// holds the node's largest record number.
inline LeafWidths leafWidths(uint16_t keyLength, uint32_t maxRecno) {
  LeafWidths w;
  const uint8_t countBits = bitsFor(keyLength);
  const uint32_t needed = 2u * countBits + bitsFor(maxRecno);
  w.entryBytes = static_cast<uint8_t>(needed <= 24 ? 3 : (needed + 7) / 8);
  w.dupBits = w.trailBits = countBits;
  uint32_t recBits = w.entryBytes * 8u - 2u * countBits;
  if (recBits > 32) {  // tiny keys with huge record numbers: widen the counts instead
    const uint32_t extra = recBits - 32;
    w.dupBits = static_cast<uint8_t>(w.dupBits + extra / 2);
    w.trailBits = static_cast<uint8_t>(w.trailBits + extra - extra / 2);
    recBits = 32;
  }
  w.recBits = static_cast<uint8_t>(recBits);
  return w;
}

// Byte-wise (unsigned) order of two keys of equal length, then record number.
inline int compareEntries(std::string_view a, uint32_t recA, std::string_view b, uint32_t recB) {
  const int c = std::memcmp(a.data(), b.data(), a.size());
  if (c != 0) return c < 0 ? -1 : 1;
  return recA < recB ? -1 : (recA > recB ? 1 : 0);
}

// Calls visit(i) for each key in the order the file stores it: ascending.
// A descending tag's keys are handed over (and read back) in descending order
// with equal keys by ascending record number, so the file order is reached by
// reversing the order of the runs of equal keys; the same walk turns the file
// order back into the tag's order.
template <class KeyAt, class Visit>
void forEachRunReversed(size_t count, KeyAt keyAt, Visit visit) {
  size_t end = count;
  while (end > 0) {
    size_t begin = end - 1;
    const std::string_view last = keyAt(end - 1);
    while (begin > 0 && keyAt(begin - 1) == last) --begin;
    for (size_t i = begin; i < end; ++i) visit(i);
    end = begin;
  }
}

}  // namespace store::cdx::format
