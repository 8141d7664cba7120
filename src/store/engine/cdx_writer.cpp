// Writes a compound index file: the tag directory, the tag headers and each
// tag's B-tree, built bottom-up from keys that arrive already sorted, one tag
// at a time.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

#include "store/engine/cdx_file.h"
#include "store/engine/cdx_format.h"
#include "store/engine/disk_space.h"

namespace store::cdx {
namespace {
using namespace format;

// Builds one B-tree (a tag's or the tag directory's) from keys in file order
// into whole pages appended to a buffer whose first byte lies at file offset
// `base`. Leaves are filled as far as their compressed entries fit, interior
// nodes to capacity. The root is moved to the tree's first page so that the
// directory's root sits right after the file header, as the format demands.
class TreeBuilder {
 public:
  TreeBuilder(std::string& pages, uint64_t base, uint16_t keyLength, char filler)
      : pages_(pages), base_(base), keyLength_(keyLength), filler_(filler),
        capacity_(interiorCapacity(keyLength)) {
    pages_.clear();
    pages_.append(kPageSize, '\0');  // the root's place
    staged_.reserve(kLeafSpace);
    levels_.reserve(64);  // levels hand out pointers into each other's keys: never reallocate
  }

  void add(const char* key, uint32_t recno) {
    uint16_t trail = 0;
    while (trail < keyLength_ && key[keyLength_ - 1 - trail] == filler_) ++trail;
    uint16_t dup = 0;
    if (!staged_.empty()) {
      // Never share bytes that either key leaves to its trailing filler: some
      // readers rebuild the previous key without its filler.
      const Staged& prev = staged_.back();
      const uint16_t limit = keyLength_ - std::max(trail, prev.trail);
      while (dup < limit && key[dup] == prev.key[dup]) ++dup;
      const LeafWidths w = leafWidths(keyLength_, std::max(stagedMaxRecno_, recno));
      const uint32_t need = uint32_t(staged_.size() + 1) * w.entryBytes + stagedKeyBytes_ + (keyLength_ - dup - trail);
      if (need > kLeafSpace) {
        flushLeaf();
        dup = 0;
      }
    }
    staged_.push_back(Staged{key, recno, dup, trail});
    stagedKeyBytes_ += keyLength_ - dup - trail;
    stagedMaxRecno_ = std::max(stagedMaxRecno_, recno);
  }

  // Returns the root's file offset.
  uint32_t finish() {
    if (!staged_.empty() || levels_.empty()) flushLeaf();
    for (size_t level = 0;; ++level) {
      if (level + 1 == levels_.size()) {
        // Only one node was ever written on this level: it is the root.
        const size_t last = pages_.size() / kPageSize - 1;
        unsigned char* root = page(0);
        std::memcpy(root, page(last), kPageSize);
        pages_.resize(pages_.size() - kPageSize);
        putLE16(root + kNodeAttr, uint16_t(getLE16(root + kNodeAttr) | kAttrRoot));
        return uint32_t(base_);
      }
      pushToParent(level);
      if (levels_[level + 1].count > 0) flushInterior(level + 1);
    }
  }

 private:
  struct Staged {
    const char* key;
    uint32_t recno;
    uint16_t dup;
    uint16_t trail;
  };
  struct Level {
    size_t lastPage = SIZE_MAX;  // page index of the node last written on this level
    std::string lastKey;         // its greatest key and record number, for the parent
    uint32_t lastRecno = 0;
    bool pending = false;        // written but not yet entered in the parent
    uint32_t count = 0;          // entries staged in the open interior node
    std::string entries;         // the open interior node's entries
  };

  unsigned char* page(size_t index) { return reinterpret_cast<unsigned char*>(pages_.data()) + index * kPageSize; }
  uint32_t offsetOf(size_t index) const { return uint32_t(base_ + index * kPageSize); }

  Level& level(size_t index) {
    while (levels_.size() <= index) {
      levels_.emplace_back();
      levels_.back().lastKey.assign(keyLength_, '\0');
      levels_.back().entries.reserve(kInteriorSpace);
    }
    return levels_[index];
  }

  // Appends a zeroed page for a node of `lvl`, links it to the level's previous
  // node and enters that node (now known not to be the last) in the parent.
  unsigned char* newNode(size_t lvl, uint16_t attr, uint16_t count) {
    pages_.append(kPageSize, '\0');
    const size_t index = pages_.size() / kPageSize - 1;
    Level& l = level(lvl);
    unsigned char* p = page(index);
    putLE16(p + kNodeAttr, attr);
    putLE16(p + kNodeCount, count);
    putLE32(p + kNodeLeft, l.lastPage == SIZE_MAX ? kNoPage : offsetOf(l.lastPage));
    putLE32(p + kNodeRight, kNoPage);
    if (l.lastPage != SIZE_MAX) {
      putLE32(page(l.lastPage) + kNodeRight, offsetOf(index));
      pushToParent(lvl);
      p = page(index);  // the parent may have grown the buffer
    }
    level(lvl).lastPage = index;
    level(lvl).pending = true;
    return p;
  }

  void pushToParent(size_t lvl) {
    Level& l = levels_[lvl];
    if (!l.pending) return;
    l.pending = false;
    addInterior(lvl + 1, levels_[lvl].lastKey.data(), levels_[lvl].lastRecno, offsetOf(levels_[lvl].lastPage));
  }

  void addInterior(size_t lvl, const char* key, uint32_t recno, uint32_t child) {
    if (level(lvl).count == capacity_) flushInterior(lvl);
    Level& l = levels_[lvl];
    l.entries.append(key, keyLength_);
    unsigned char tail[8];
    putBE32(tail, recno);
    putBE32(tail + 4, child);
    l.entries.append(reinterpret_cast<const char*>(tail), 8);
    ++l.count;
  }

  void flushInterior(size_t lvl) {
    const uint32_t count = levels_[lvl].count;
    unsigned char* p = newNode(lvl, kAttrInterior, uint16_t(count));
    Level& l = levels_[lvl];
    std::memcpy(p + kInteriorEntries, l.entries.data(), l.entries.size());
    const char* last = l.entries.data() + (count - 1) * (keyLength_ + 8u);
    l.lastKey.assign(last, keyLength_);
    l.lastRecno = getBE32(reinterpret_cast<const unsigned char*>(last) + keyLength_);
    l.entries.clear();
    l.count = 0;
  }

  void flushLeaf() {
    const LeafWidths w = leafWidths(keyLength_, stagedMaxRecno_);
    unsigned char* p = newNode(0, kAttrLeaf, uint16_t(staged_.size()));
    putLE16(p + kLeafFree, uint16_t(kLeafSpace - staged_.size() * w.entryBytes - stagedKeyBytes_));
    putLE32(p + kLeafRecMask, w.recMask());
    p[kLeafDupMask] = uint8_t(w.dupMask());
    p[kLeafTrailMask] = uint8_t(w.trailMask());
    p[kLeafRecBits] = w.recBits;
    p[kLeafDupBits] = w.dupBits;
    p[kLeafTrailBits] = w.trailBits;
    p[kLeafEntryBytes] = w.entryBytes;
    unsigned char* info = p + kLeafEntries;
    size_t keyPos = kPageSize;
    for (const Staged& s : staged_) {
      const uint64_t bits = uint64_t(s.recno) | (uint64_t(s.dup) << w.recBits) |
                            (uint64_t(s.trail) << (w.recBits + w.dupBits));
      for (int b = 0; b < w.entryBytes; ++b) info[b] = static_cast<unsigned char>(bits >> (8 * b));
      info += w.entryBytes;
      const size_t stored = keyLength_ - s.dup - s.trail;
      keyPos -= stored;
      std::memcpy(p + keyPos, s.key + s.dup, stored);
    }
    if (!staged_.empty()) {
      Level& l = levels_[0];
      l.lastKey.assign(staged_.back().key, keyLength_);
      l.lastRecno = staged_.back().recno;
    }
    staged_.clear();
    stagedKeyBytes_ = 0;
    stagedMaxRecno_ = 0;
  }

  std::string& pages_;
  const uint64_t base_;
  const uint16_t keyLength_;
  const char filler_;
  const uint32_t capacity_;
  std::vector<Staged> staged_;
  uint32_t stagedKeyBytes_ = 0;
  uint32_t stagedMaxRecno_ = 0;
  std::vector<Level> levels_;
};

// Feeds a tag's keys to the builder in file order.
void buildTag(TreeBuilder& builder, const TagKeys& tag) {
  const auto keyAt = [&](size_t i) { return tag.key(i); };
  const auto visit = [&](size_t i) { builder.add(tag.keyBytes.data() + i * tag.info.keyLength, tag.recnos[i]); };
  if (tag.info.descending)
    forEachRunReversed(tag.count(), keyAt, visit);
  else
    for (size_t i = 0; i < tag.count(); ++i) visit(i);
}

void writeHeader(unsigned char* h, uint32_t root, uint16_t keyLength, uint8_t options, bool descending,
                 const std::string& keyExpr, const std::string& forExpr) {
  std::memset(h, 0, kHeaderSize);
  putLE32(h + kHdrRoot, root);
  putLE16(h + kHdrKeyLength, keyLength);
  h[kHdrOptions] = options;
  h[kHdrSignature] = kSignature;
  putLE16(h + kHdrDescending, descending ? 1 : 0);
  // Pool: key expression, NUL, FOR expression, NUL; the FOR expression's
  // position within the pool goes in the field before its length.
  putLE16(h + kHdrForPoolLength - 2, uint16_t(keyExpr.size() + 1));
  putLE16(h + kHdrForPoolLength, uint16_t(forExpr.size() + 1));
  putLE16(h + kHdrKeyPoolLength, uint16_t(keyExpr.size() + 1));
  std::memcpy(h + kHdrExprPool, keyExpr.data(), keyExpr.size());
  std::memcpy(h + kHdrExprPool + keyExpr.size() + 1, forExpr.data(), forExpr.size());
}

base::Bilingual checkSpec(const TagSpec& s) {
  using base::Bilingual;
  const std::string who = "tag '" + s.name + "': ";
  if (!validTagName(s.name))
    return who + Bilingual("nom de 1 à 10 majuscules, chiffres et _ requis", "naam van 1 tot 10 hoofdletters, cijfers en _ vereist");
  if (s.keyLength == 0 || s.keyLength > kMaxKeyLength)
    return who + Bilingual("longueur de clé hors de 1 à 240", "sleutellengte buiten 1 tot 240");
  if ((s.keyType == KeyType::Numeric || s.keyType == KeyType::Date) && s.keyLength != 8)
    return who + Bilingual("une clé numérique ou date fait 8 octets", "een numerieke of datumsleutel telt 8 bytes");
  if (s.keyType == KeyType::Logical && s.keyLength != 1)
    return who + Bilingual("une clé logique fait 1 octet", "een logische sleutel telt 1 byte");
  if (s.keyExpr.empty() || s.keyExpr.find('\0') != std::string::npos || s.forExpr.find('\0') != std::string::npos)
    return who + Bilingual("expression de clé vide ou invalide", "lege of ongeldige sleutelexpressie");
  if (s.keyExpr.size() + s.forExpr.size() + 2 > kExprPoolSize)
    return who + Bilingual("expressions trop longues", "expressies te lang");
  return {};
}

base::Bilingual checkKeys(const TagKeys& tag) {
  using base::Bilingual;
  const TagSpec& s = tag.info;
  const std::string who = "tag '" + s.name + "': ";
  if (tag.keyBytes.size() != tag.count() * s.keyLength)
    return who + Bilingual("nombre d'octets de clé incohérent", "aantal sleutelbytes klopt niet");
  if (tag.count() > 0xFFFFFFFFull) return who + Bilingual("trop de clés", "te veel sleutels");
  for (size_t i = 0; i < tag.count(); ++i) {
    const std::string at = std::to_string(i);
    if (tag.recnos[i] == 0)
      return who + Bilingual("numéro d'enregistrement 0 à la clé " + at, "recordnummer 0 bij sleutel " + at);
    if (i == 0) continue;
    int c = std::memcmp(tag.key(i - 1).data(), tag.key(i).data(), s.keyLength);
    if (s.descending) c = -c;
    const bool ordered = c < 0 || (c == 0 && !s.unique && tag.recnos[i - 1] < tag.recnos[i]);
    if (!ordered)
      return who + Bilingual("clés non triées ou doublon à la clé " + at, "sleutels niet gesorteerd of dubbel bij sleutel " + at);
  }
  return {};
}

bool sameTagDefinition(const TagSpec& a, const TagSpec& b) {
  return a.name == b.name && a.keyExpr == b.keyExpr && a.forExpr == b.forExpr && a.unique == b.unique &&
         a.descending == b.descending && a.keyType == b.keyType && a.keyLength == b.keyLength;
}

}  // namespace

struct CdxWriter::State {
  std::filesystem::path file, temp;
  std::string where;  // "Index FILE: ", the start of every reason
  std::vector<TagSpec> tagSpecs;
  size_t next = 0;          // the tag whose keys come next
  std::string prefix;       // file header, directory and tag headers, written again on finish
  uint64_t headersAt = 0;   // offset of the first tag header
  uint64_t offset = 0;      // where the next tag's pages go
  std::string pages;        // one tag's pages, the buffer kept from tag to tag
  std::ofstream out;
};

CdxWriter::CdxWriter() = default;

CdxWriter::~CdxWriter() { abandon(); }

void CdxWriter::abandon() {
  if (!state_) return;
  if (state_->out.is_open()) state_->out.close();
  std::error_code ec;
  std::filesystem::remove(state_->temp, ec);
  state_.reset();
}

bool CdxWriter::fail(const base::Bilingual& why, base::Bilingual& error) {
  error = state_ ? state_->where + why : why;
  abandon();
  return false;
}

bool CdxWriter::begin(const std::filesystem::path& file, const std::vector<TagSpec>& tags, base::Bilingual& error) {
  abandon();
  state_ = std::make_unique<State>();
  State& st = *state_;
  st.file = file;
  st.where = "Index " + file.string() + ": ";
  for (size_t i = 0; i < tags.size(); ++i) {
    if (base::Bilingual why = checkSpec(tags[i]); !why.empty()) return fail(why, error);
    for (size_t j = 0; j < i; ++j)
      if (tags[j].name == tags[i].name)
        return fail("tag '" + tags[i].name + "' " + base::Bilingual("en double", "dubbel"), error);
  }
  st.tagSpecs = tags;

  // The directory maps blank-padded tag names, in name order, to the offsets of
  // the tag headers, which follow the directory's own pages in the given order.
  std::vector<size_t> byName(tags.size());
  for (size_t i = 0; i < tags.size(); ++i) byName[i] = i;
  std::sort(byName.begin(), byName.end(), [&](size_t a, size_t b) { return tags[a].name < tags[b].name; });
  std::string names(tags.size() * kTagNameLength, ' ');
  for (size_t i = 0; i < tags.size(); ++i) tags[byName[i]].name.copy(names.data() + i * kTagNameLength, kTagNameLength);

  std::string dirPages;
  size_t dirPageCount = 1;
  for (int attempt = 0;; ++attempt) {
    const uint64_t firstTagHeader = kHeaderSize + dirPageCount * kPageSize;
    TreeBuilder dir(dirPages, kHeaderSize, kTagNameLength, ' ');
    for (size_t i = 0; i < tags.size(); ++i)
      dir.add(names.data() + i * kTagNameLength, uint32_t(firstTagHeader + byName[i] * kHeaderSize));
    dir.finish();
    const size_t built = dirPages.size() / kPageSize;
    if (built == dirPageCount) break;
    dirPageCount = built;
    if (attempt > 8) return fail(base::Bilingual("répertoire des tags instable", "tagoverzicht onstabiel"), error);
  }

  st.headersAt = kHeaderSize + dirPages.size();
  st.prefix.assign(st.headersAt + tags.size() * kHeaderSize, '\0');
  auto* bytes = reinterpret_cast<unsigned char*>(st.prefix.data());
  writeHeader(bytes, kHeaderSize, kTagNameLength, kOptDirectory | kOptCompound | kOptCompact, false, "", "");
  std::memcpy(bytes + kHeaderSize, dirPages.data(), dirPages.size());

  // Written beside the target and renamed over it at the end, so a failure
  // leaves any previous index untouched.
  st.temp = file;
  st.temp += ".tmp~";
  st.out.open(st.temp, std::ios::binary | std::ios::trunc);
  if (!st.out) return fail(base::Bilingual("création impossible", "kan niet aangemaakt worden"), error);
  // The tag headers are known only when each tree is built: this first copy
  // of the prefix holds the place they are written to on finish.
  st.out.write(st.prefix.data(), std::streamsize(st.prefix.size()));
  st.offset = st.prefix.size();
  return true;
}

bool CdxWriter::add(const TagKeys& tag, base::Bilingual& error) {
  if (!state_) {
    error = base::Bilingual("index non commencé", "index niet begonnen");
    return false;
  }
  State& st = *state_;
  if (st.next >= st.tagSpecs.size() || !sameTagDefinition(tag.info, st.tagSpecs[st.next]))
    return fail("tag '" + tag.info.name + "': " + base::Bilingual("inattendu à cette place", "onverwacht op deze plaats"),
                error);
  if (base::Bilingual why = checkKeys(tag); !why.empty()) return fail(why, error);
  const TagSpec& s = tag.info;
  st.pages.reserve(std::min<size_t>(tag.keyBytes.size() + tag.count() * 4 + (1u << 20), size_t(1) << 30));
  TreeBuilder tree(st.pages, st.offset, s.keyLength, fillerFor(s.keyType));
  buildTag(tree, tag);
  const uint32_t root = tree.finish();
  if (st.offset + st.pages.size() > 0xFFFFFFFFull)
    return fail(base::Bilingual("fichier d'index de plus de 4 Go", "indexbestand groter dan 4 GB"), error);
  uint8_t options = kOptCompact | kOptCompound;
  if (s.unique) options |= kOptUnique;
  if (!s.forExpr.empty()) options |= kOptForClause;
  auto* bytes = reinterpret_cast<unsigned char*>(st.prefix.data());
  writeHeader(bytes + st.headersAt + st.next * kHeaderSize, root, s.keyLength, options, s.descending, s.keyExpr,
              s.forExpr);
  st.out.write(st.pages.data(), std::streamsize(st.pages.size()));
  if (!st.out) {
    noteFailedWrite(st.temp);
    return fail(base::Bilingual("écriture impossible", "schrijven mislukt"), error);
  }
  st.offset += st.pages.size();
  ++st.next;
  return true;
}

bool CdxWriter::finish(base::Bilingual& error) {
  if (!state_) {
    error = base::Bilingual("index non commencé", "index niet begonnen");
    return false;
  }
  State& st = *state_;
  if (st.next != st.tagSpecs.size())
    return fail("tag '" + st.tagSpecs[st.next].name + "': " + base::Bilingual("clés manquantes", "sleutels ontbreken"), error);
  st.out.seekp(0);
  st.out.write(st.prefix.data(), std::streamsize(st.prefix.size()));
  st.out.close();
  if (!st.out) {
    noteFailedWrite(st.temp);
    return fail(base::Bilingual("écriture impossible", "schrijven mislukt"), error);
  }
  std::error_code ec;
  std::filesystem::rename(st.temp, st.file, ec);
  if (ec) return fail(base::Bilingual("remplacement impossible", "vervangen mislukt"), error);
  state_.reset();
  return true;
}

bool writeCdx(const std::filesystem::path& file, const std::vector<TagKeys>& tags, base::Bilingual& error) {
  std::vector<TagSpec> tagSpecs;
  tagSpecs.reserve(tags.size());
  for (const TagKeys& t : tags) tagSpecs.push_back(t.info);
  CdxWriter writer;
  if (!writer.begin(file, tagSpecs, error)) return false;
  for (const TagKeys& t : tags)
    if (!writer.add(t, error)) return false;
  return writer.finish(error);
}

}  // namespace store::cdx
