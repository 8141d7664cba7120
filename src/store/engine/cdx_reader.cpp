// Reads a compound index file back: the tag directory, each tag header and,
// on request, every key, checking each node on the way so that a damaged
// file is reported (tag and page of the first fault) instead of trusted.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "base/bilingual.h"
#include "store/engine/cdx_file.h"
#include "store/engine/cdx_format.h"

namespace store::cdx {
namespace {
using namespace format;

constexpr int kMaxDepth = 40;  // two keys per node at worst: 2^40 keys

struct Fault {
  uint64_t page = 0;
  base::Bilingual text;
};

bool fail(Fault& f, uint64_t page, const std::string& fr, const std::string& nl) {
  f.page = page;
  f.text = base::Bilingual(fr, nl);
  return false;
}

// The file, read a page at a time as the walk reaches it: a damaged header
// may point anywhere and a file of absurd size (a sparse one) must cost no
// more memory than the pages that really form the index. Reads go through
// one window, since a walk meets the pages almost in file order.
class Image {
 public:
  bool open(const std::filesystem::path& file) {
    in_.open(file, std::ios::binary);
    if (!in_) return false;
    in_.seekg(0, std::ios::end);
    const std::streamoff size = in_.tellg();
    if (size < 0) return false;
    size_ = uint64_t(size);
    // Offsets in the file are 32-bit: pages past 4 GiB can never be reached.
    used_.assign(size_t(std::min<uint64_t>(size_, uint64_t(1) << 32) / kPageSize), false);
    return true;
  }
  uint64_t size() const { return size_; }

  // Claims `pages` pages at `offset` for one header or node and copies them
  // to `out`: every page of the file is read at most once.
  bool claim(uint64_t offset, uint32_t pages, unsigned char* out, Fault& f) {
    const uint64_t length = uint64_t(pages) * kPageSize;
    if (offset % kPageSize != 0 || offset + length > size_ || offset + length > used_.size() * kPageSize)
      return fail(f, offset, "adresse de page hors du fichier", "paginaadres buiten het bestand");
    for (uint32_t i = 0; i < pages; ++i) {
      const size_t index = size_t(offset / kPageSize) + i;
      if (used_[index]) return fail(f, offset, "page utilisée deux fois", "pagina twee keer gebruikt");
      used_[index] = true;
    }
    if (!read(offset, size_t(length), out)) return fail(f, offset, "lecture impossible", "lezen mislukt");
    return true;
  }

 private:
  static constexpr size_t kWindow = 64 * 1024;

  bool read(uint64_t offset, size_t length, unsigned char* out) {
    if (offset < windowStart_ || offset + length > windowStart_ + window_.size()) {
      window_.resize(size_t(std::min<uint64_t>(std::max(kWindow, length), size_ - offset)));
      windowStart_ = offset;
      in_.clear();
      in_.seekg(std::streamoff(offset));
      if (!in_.read(window_.data(), std::streamsize(window_.size()))) {
        window_.clear();
        return false;
      }
    }
    std::memcpy(out, window_.data() + (offset - windowStart_), length);
    return true;
  }

  std::ifstream in_;
  uint64_t size_ = 0;
  std::vector<bool> used_;  // per 512-byte page: already claimed by a header or a node
  std::string window_;
  uint64_t windowStart_ = 0;
};

// Walks one B-tree depth first from its root, appending its keys in file
// order and checking node types, counts, sibling links, leaf free space and
// masks, interior keys against their subtrees, and key order. A tag holds at
// most one key per record of its table: `records` caps both the number of
// keys and their record numbers, so that a leaf of compressed keys (up to
// some 76 times its size once expanded) cannot make the walk hold more than
// the table's keys.
class TreeWalker {
 public:
  TreeWalker(Image& image, uint16_t keyLength, char filler, bool unique, uint32_t records, std::string& keys,
             std::vector<uint32_t>& recnos)
      : image_(image), keyLength_(keyLength), filler_(filler), unique_(unique), records_(records), keys_(keys),
        recnos_(recnos) {}

  bool walk(uint32_t root, Fault& f) {
    if (!visit(root, 0, f)) return false;
    for (const Neighbour& n : levels_)
      if (n.right != kNoPage) return fail(f, n.page, "dernier nœud du niveau avec voisin droit", "laatste knoop van het niveau met rechterbuur");
    return true;
  }

 private:
  struct Neighbour {
    uint32_t page = kNoPage;
    uint32_t right = kNoPage;
  };

  bool visit(uint32_t offset, int depth, Fault& f) {
    if (depth > kMaxDepth) return fail(f, offset, "arbre trop profond", "boom te diep");
    unsigned char p[kPageSize];  // each level of the walk keeps its own node
    if (!image_.claim(offset, 1, p, f)) return false;
    const uint16_t attr = getLE16(p + kNodeAttr);
    const uint16_t count = getLE16(p + kNodeCount);
    const bool root = depth == 0;
    if ((attr & ~(kAttrRoot | kAttrLeaf)) != 0 || ((attr & kAttrRoot) != 0) != root)
      return fail(f, offset, "type de nœud " + std::to_string(attr) + " invalide",
                  "ongeldig knooptype " + std::to_string(attr));
    const bool leaf = (attr & kAttrLeaf) != 0;
    if (leaf) {
      if (leafDepth_ < 0) leafDepth_ = depth;
      if (leafDepth_ != depth) return fail(f, offset, "feuilles à des profondeurs différentes", "bladeren op verschillende diepte");
    } else if (leafDepth_ >= 0 && depth >= leafDepth_) {
      return fail(f, offset, "nœud intérieur au niveau des feuilles", "binnenknoop op bladniveau");
    }
    if (count == 0 && !(root && leaf)) return fail(f, offset, "nœud sans clé", "knoop zonder sleutel");

    if (levels_.size() <= size_t(depth)) levels_.resize(depth + 1);
    Neighbour& n = levels_[depth];
    const uint32_t left = getLE32(p + kNodeLeft);
    if (n.page == kNoPage ? left != kNoPage : (left != n.page || n.right != offset))
      return fail(f, offset, "chaînage des voisins rompu", "burenketen verbroken");
    n.page = offset;
    n.right = getLE32(p + kNodeRight);
    return leaf ? readLeaf(offset, p, count, f) : readInterior(offset, p, count, depth, f);
  }

  bool readInterior(uint32_t offset, const unsigned char* p, uint16_t count, int depth, Fault& f) {
    if (count > interiorCapacity(keyLength_))
      return fail(f, offset, "trop de clés pour un nœud intérieur", "te veel sleutels voor een binnenknoop");
    for (uint16_t i = 0; i < count; ++i) {
      const unsigned char* e = p + kInteriorEntries + size_t(i) * (keyLength_ + 8u);
      if (!visit(getBE32(e + keyLength_ + 4), depth + 1, f)) return false;
      // Each entry repeats the greatest key (and its record) of its subtree.
      const std::string_view last(keys_.data() + keys_.size() - keyLength_, keyLength_);
      if (last != std::string_view(reinterpret_cast<const char*>(e), keyLength_) || recnos_.back() != getBE32(e + keyLength_))
        return fail(f, offset, "clé intérieure " + std::to_string(i) + " différente de la dernière clé du sous-arbre",
                    "binnensleutel " + std::to_string(i) + " verschilt van de laatste sleutel van de deelboom");
    }
    return true;
  }

  bool readLeaf(uint32_t offset, const unsigned char* p, uint16_t count, Fault& f) {
    LeafWidths w;
    w.entryBytes = p[kLeafEntryBytes];
    w.recBits = p[kLeafRecBits];
    w.dupBits = p[kLeafDupBits];
    w.trailBits = p[kLeafTrailBits];
    if (w.entryBytes == 0 || w.entryBytes > 8 || w.recBits > 32 || w.dupBits > 16 || w.trailBits > 16 ||
        w.recBits + w.dupBits + w.trailBits != w.entryBytes * 8)
      return fail(f, offset, "largeurs de bits incohérentes", "bitbreedtes kloppen niet");
    if (getLE32(p + kLeafRecMask) != w.recMask() || p[kLeafDupMask] != (w.dupMask() & 0xFF) ||
        p[kLeafTrailMask] != (w.trailMask() & 0xFF))
      return fail(f, offset, "masques différents des largeurs de bits", "maskers verschillen van de bitbreedtes");
    const size_t infoEnd = kLeafEntries + size_t(count) * w.entryBytes;
    if (infoEnd > kPageSize) return fail(f, offset, "trop de clés pour une feuille", "te veel sleutels voor een blad");

    size_t keyPos = kPageSize;
    for (uint16_t i = 0; i < count; ++i) {
      uint64_t bits = 0;
      for (int b = 0; b < w.entryBytes; ++b) bits |= uint64_t(p[kLeafEntries + size_t(i) * w.entryBytes + b]) << (8 * b);
      const uint32_t recno = uint32_t(bits & w.recMask());
      const uint32_t dup = i == 0 ? 0 : uint32_t((bits >> w.recBits) & w.dupMask());
      const uint32_t trail = uint32_t((bits >> (w.recBits + w.dupBits)) & w.trailMask());
      if (dup + trail > keyLength_)
        return fail(f, offset, "compteurs de la clé " + std::to_string(i) + " trop grands",
                    "tellers van sleutel " + std::to_string(i) + " te groot");
      if (recnos_.size() >= records_)
        return fail(f, offset, "plus de clés que la table n'a d'enregistrements", "meer sleutels dan de tabel records heeft");
      if (recno > records_)
        return fail(f, offset, "clé " + std::to_string(i) + " d'un enregistrement au-delà de la table",
                    "sleutel " + std::to_string(i) + " van een record voorbij de tabel");
      const size_t stored = keyLength_ - dup - trail;
      if (keyPos < infoEnd + stored)
        return fail(f, offset, "clés compressées débordant sur les entrées", "gecomprimeerde sleutels overlappen de ingangen");
      keyPos -= stored;
      const size_t start = keys_.size();
      keys_.resize(start + keyLength_);
      char* key = keys_.data() + start;
      if (dup > 0) std::memcpy(key, key - keyLength_, dup);
      std::memcpy(key + dup, p + keyPos, stored);
      std::memset(key + dup + stored, filler_, trail);
      recnos_.push_back(recno);
      if (recno == 0) return fail(f, offset, "numéro d'enregistrement nul", "recordnummer nul");
      if (recnos_.size() > 1) {
        const std::string_view prev(key - keyLength_, keyLength_), cur(key, keyLength_);
        const int c = compareEntries(prev, recnos_[recnos_.size() - 2], cur, recno);
        if (c >= 0 || (unique_ && prev == cur))
          return fail(f, offset, "clé " + std::to_string(i) + " hors d'ordre ou en double",
                      "sleutel " + std::to_string(i) + " buiten volgorde of dubbel");
      }
    }
    if (getLE16(p + kLeafFree) != keyPos - infoEnd)
      return fail(f, offset, "espace libre annoncé faux", "opgegeven vrije ruimte klopt niet");
    return true;
  }

  Image& image_;
  const uint16_t keyLength_;
  const char filler_;
  const bool unique_;
  const uint32_t records_;
  std::string& keys_;
  std::vector<uint32_t>& recnos_;
  std::vector<Neighbour> levels_;
  int leafDepth_ = -1;
};

// Text of a NUL-terminated expression starting at `pos` inside the header's pool.
std::string poolText(const unsigned char* header, size_t pos) {
  if (pos >= kExprPoolSize) return {};
  const char* s = reinterpret_cast<const char*>(header + kHdrExprPool + pos);
  size_t len = 0;
  while (pos + len < kExprPoolSize && s[len] != '\0') ++len;
  return std::string(s, len);
}

struct TagPlace {
  TagSpec info;
  uint32_t header = 0;
  uint32_t root = 0;
};

class IndexReader {
 public:
  explicit IndexReader(const std::filesystem::path& file) : file_(file) {}

  // Loads the file and reads the directory and every tag header, in the order
  // the tags were written.
  bool readSpecs(std::vector<TagPlace>& places, base::Bilingual& error) {
    if (!image_.open(file_)) return report("fichier introuvable ou illisible", "bestand niet gevonden of onleesbaar", error);
    if (image_.size() < kHeaderSize + kPageSize || image_.size() % kPageSize != 0)
      return report("taille de fichier invalide (tronqué ?)", "ongeldige bestandsgrootte (afgekapt?)", error);
    unsigned char h[kHeaderSize];
    Fault f;
    if (!image_.claim(0, kHeaderSize / kPageSize, h, f)) return report("lecture impossible", "lezen mislukt", error);
    if (getLE16(h + kHdrKeyLength) != kTagNameLength || (h[kHdrOptions] & (kOptCompact | kOptCompound)) != (kOptCompact | kOptCompound))
      return report("pas un index composé FoxPro", "geen samengestelde FoxPro-index", error);

    const base::Bilingual directory("(répertoire)", "(overzicht)");
    std::string names;
    std::vector<uint32_t> headers;
    // The directory's "records" are the places of the tag headers.
    TreeWalker dir(image_, kTagNameLength, ' ', true, UINT32_MAX, names, headers);
    if (!dir.walk(getLE32(h + kHdrRoot), f)) return reportAt(directory, f, error);

    for (size_t i = 0; i < headers.size(); ++i) {
      TagPlace place;
      std::string name = names.substr(i * kTagNameLength, kTagNameLength);
      while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
      if (!validTagName(name)) {
        fail(f, headers[i], "nom de tag invalide", "ongeldige tagnaam");
        return reportAt(directory, f, error);
      }
      place.info.name = name;
      place.header = headers[i];
      unsigned char header[kHeaderSize];
      if (!image_.claim(headers[i], kHeaderSize / kPageSize, header, f)) return reportAt(base::Bilingual::same(name), f, error);
      if (!readHeader(place, header, f)) return reportAt(base::Bilingual::same(name), f, error);
      places.push_back(std::move(place));
    }
    std::sort(places.begin(), places.end(), [](const TagPlace& a, const TagPlace& b) { return a.header < b.header; });
    return true;
  }

  bool readKeys(const TagPlace& place, uint32_t records, TagKeys& tag, base::Bilingual& error) {
    tag.info = place.info;
    tag.keyBytes.clear();
    tag.recnos.clear();
    std::string keys;
    std::vector<uint32_t> recnos;
    Fault f;
    TreeWalker walker(image_, tag.info.keyLength, fillerFor(tag.info.keyType), tag.info.unique, records, keys, recnos);
    if (!walker.walk(place.root, f)) return reportAt(base::Bilingual::same(tag.info.name), f, error);
    if (!tag.info.descending) {
      tag.keyBytes = std::move(keys);
      tag.recnos = std::move(recnos);
      return true;
    }
    const uint16_t len = tag.info.keyLength;
    tag.keyBytes.reserve(keys.size());
    tag.recnos.reserve(recnos.size());
    forEachRunReversed(
        recnos.size(), [&](size_t i) { return std::string_view(keys).substr(i * len, len); },
        [&](size_t i) {
          tag.keyBytes.append(keys, i * len, len);
          tag.recnos.push_back(recnos[i]);
        });
    return true;
  }

 private:
  bool readHeader(TagPlace& place, const unsigned char* h, Fault& f) {
    TagSpec& s = place.info;
    s.keyLength = getLE16(h + kHdrKeyLength);
    if (s.keyLength == 0 || s.keyLength > kMaxKeyLength)
      return fail(f, place.header, "longueur de clé invalide", "ongeldige sleutellengte");
    const uint8_t options = h[kHdrOptions];
    if ((options & (kOptCompact | kOptCompound | kOptDirectory)) != (kOptCompact | kOptCompound))
      return fail(f, place.header, "options d'index invalides", "ongeldige indexopties");
    s.unique = (options & kOptUnique) != 0;
    const uint16_t order = getLE16(h + kHdrDescending);
    if (order > 1) return fail(f, place.header, "ordre de tri invalide", "ongeldige sorteervolgorde");
    s.descending = order == 1;
    const uint16_t keyPool = getLE16(h + kHdrKeyPoolLength);
    uint16_t forPos = getLE16(h + kHdrForPoolLength - 2);
    if (forPos == 0) forPos = keyPool;  // older writers leave the position out
    if (keyPool == 0 || keyPool > kExprPoolSize || forPos > kExprPoolSize)
      return fail(f, place.header, "expressions hors de l'en-tête", "expressies buiten de kop");
    s.keyExpr = poolText(h, 0);
    if (s.keyExpr.empty()) return fail(f, place.header, "expression de clé vide", "lege sleutelexpressie");
    s.forExpr = (options & kOptForClause) ? poolText(h, forPos) : std::string();
    s.keyType = KeyType::Character;
    place.root = getLE32(h + kHdrRoot);
    return true;
  }

  bool report(const std::string& fr, const std::string& nl, base::Bilingual& error) {
    error = "Index " + file_.string() + ": " + base::Bilingual(fr, nl);
    return false;
  }
  bool reportAt(const base::Bilingual& tag, const Fault& f, base::Bilingual& error) {
    const std::string page = ", page " + std::to_string(f.page) + ": ";
    error = base::Bilingual("Index " + file_.string() + " endommagé, tag ", "Index " + file_.string() + " beschadigd, tag ") +
            tag + page + f.text;
    return false;
  }

  std::filesystem::path file_;
  Image image_;
};

}  // namespace

bool readCdxSpecs(const std::filesystem::path& file, std::vector<TagSpec>& tags, base::Bilingual& error) {
  IndexReader reader(file);
  std::vector<TagPlace> places;
  if (!reader.readSpecs(places, error)) return false;
  tags.clear();
  for (TagPlace& p : places) tags.push_back(std::move(p.info));
  return true;
}

bool readCdxKeys(const std::filesystem::path& file, uint32_t records, const std::vector<TagSpec>& keyTypes,
                 const std::function<void(TagKeys& tag)>& each, base::Bilingual& error) {
  IndexReader reader(file);
  std::vector<TagPlace> places;
  if (!reader.readSpecs(places, error)) return false;
  for (TagPlace& place : places) {
    for (const TagSpec& typed : keyTypes)
      if (typed.name == place.info.name) place.info.keyType = typed.keyType;
    TagKeys tag;
    if (!reader.readKeys(place, records, tag, error)) return false;
    each(tag);
  }
  return true;
}

bool readCdxKeys(const std::filesystem::path& file, std::vector<TagKeys>& tags, base::Bilingual& error, uint32_t records,
                 const std::vector<TagSpec>& keyTypes) {
  std::vector<TagKeys> result;
  if (!readCdxKeys(file, records, keyTypes, [&](TagKeys& tag) { result.push_back(std::move(tag)); }, error))
    return false;
  tags = std::move(result);
  return true;
}

}  // namespace store::cdx
