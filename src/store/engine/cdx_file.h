// The FoxPro compound index file (.CDX) as bytes: writing a whole file from the
// keys of its tags, and reading it back (tag definitions only, or every key
// with a structural check of every node). The table engine decides which keys
// a tag holds; this file knows only the format.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/bilingual.h"

namespace store::cdx {

enum class KeyType { Character, Numeric, Date, Logical };

struct TagSpec {
  std::string name;       // upper case, at most 10 characters
  std::string keyExpr;    // the key expression text as stored
  std::string forExpr;    // empty: no FOR condition
  bool unique = false;
  bool descending = false;
  KeyType keyType = KeyType::Character;
  uint16_t keyLength = 0;  // bytes per key (8 for numeric and date keys)
};

// Keys of one tag in the order the index stores them (ascending byte order, or
// descending for a descending tag; equal keys by ascending record number;
// unique tags already hold only the first record of each key). Keys are packed
// back to back, keyLength bytes each, so a million keys cost no allocations.
// (On disk a descending tag is kept ascending, as every FoxPro reader expects,
// and only flagged descending; writeCdx and readCdxKeys convert.)
struct TagKeys {
  TagSpec info;
  std::string keyBytes;            // count * info.keyLength bytes
  std::vector<uint32_t> recnos;    // one per key
  size_t count() const { return recnos.size(); }
  std::string_view key(size_t i) const {
    return std::string_view(keyBytes).substr(i * info.keyLength, info.keyLength);
  }
};

// Writes the whole file (tags in the given order). False with a reason on failure.
bool writeCdx(const std::filesystem::path& file, const std::vector<TagKeys>& tags, base::Bilingual& error);

// The same file written tag by tag, so that only the keys of the tag being
// added are held: begin with every tag's definition in file order, add each
// tag's keys in that order (its info as given to begin), then finish. The
// file is in place only after finish; a failure, or a writer dropped before
// finish, leaves any previous index as it was. After a failure the writer
// must begin again.
class CdxWriter {
 public:
  CdxWriter();
  ~CdxWriter();
  CdxWriter(const CdxWriter&) = delete;
  CdxWriter& operator=(const CdxWriter&) = delete;
  bool begin(const std::filesystem::path& file, const std::vector<TagSpec>& tags, base::Bilingual& error);
  bool add(const TagKeys& tag, base::Bilingual& error);
  bool finish(base::Bilingual& error);

 private:
  struct State;
  void abandon();
  bool fail(const base::Bilingual& why, base::Bilingual& error);
  std::unique_ptr<State> state_;
};

// Reads the tag directory and every tag header. False with a reason when the
// file does not parse as a compound index.
bool readCdxSpecs(const std::filesystem::path& file, std::vector<TagSpec>& tags, base::Bilingual& error);

// Reads every key of every tag by walking each tag from its root, checking
// node structure (types, counts, sibling links, free-space and mask fields,
// key order). False with a reason naming the tag and page of the first fault.
// The file does not record key types and the blank or zero padding of a key
// depends on it: tags are read as character keys (and readCdxSpecs reports
// them so) unless `keyTypes` holds a tag of the same name with another type.
// A tag holds at most one key per record: more keys than the table's
// `records`, or a key of a record past them, is a fault.
bool readCdxKeys(const std::filesystem::path& file, std::vector<TagKeys>& tags, base::Bilingual& error, uint32_t records,
                 const std::vector<TagSpec>& keyTypes = {});
// The same walk handing each tag to `each` as soon as it is read, in file
// order, so that only one tag's keys are held at a time. A fault stops the
// walk with its reason, after the tags before it were handed over.
bool readCdxKeys(const std::filesystem::path& file, uint32_t records, const std::vector<TagSpec>& keyTypes,
                 const std::function<void(TagKeys& tag)>& each, base::Bilingual& error);

// 8-byte keys that sort byte by byte in the order of the value.
std::string encodeNumericKey(double value);
std::string encodeDateKey(int32_t julianDay);
double decodeNumericKey(std::string_view key);

}  // namespace store::cdx
