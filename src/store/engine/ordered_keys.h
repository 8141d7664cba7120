// The keys of one index tag kept in order while records change: a list of
// sorted blocks of fixed-length keys, so an insert, a removal or a seek costs
// a binary search and a short move, and a million keys cost no allocation each.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace store {

class OrderedKeys {
 public:
  struct Pos {
    size_t block = 0;
    size_t index = 0;
  };

  OrderedKeys(uint16_t keyLength, bool descending) : keyLen_(keyLength), descending_(descending) {}

  // Replaces the content with keys already in tag order.
  void load(std::string_view keyBytes, const std::vector<uint32_t>& recnos);
  void insert(std::string_view key, uint32_t recno);
  bool remove(std::string_view key, uint32_t recno);
  size_t size() const { return size_; }

  // First entry whose key, cut to the length of `prefix`, is not before
  // `prefix` in tag order.
  Pos lowerBound(std::string_view prefix) const;
  // The entry of exactly this key and record; end() when absent.
  Pos find(std::string_view key, uint32_t recno) const;
  Pos begin() const { return Pos{}; }
  Pos end() const { return Pos{blocks_.size(), 0}; }
  bool atEnd(const Pos& p) const { return p.block >= blocks_.size(); }
  Pos next(Pos p) const;
  Pos prev(Pos p) const;  // end() before the first entry
  std::string_view key(const Pos& p) const;
  uint32_t recno(const Pos& p) const { return blocks_[p.block]->recnos[p.index]; }

  // Appends every entry in order (for writing the index file).
  void exportTo(std::string& keyBytes, std::vector<uint32_t>& recnos) const;

 private:
  struct Block {
    std::string keys;
    std::vector<uint32_t> recnos;
  };
  int order(std::string_view a, uint32_t ra, std::string_view b, uint32_t rb) const;
  size_t blockFor(std::string_view key, uint32_t recno) const;
  size_t indexIn(const Block& b, std::string_view key, uint32_t recno) const;

  uint16_t keyLen_;
  bool descending_;
  size_t size_ = 0;
  std::vector<std::unique_ptr<Block>> blocks_;
};

}  // namespace store
