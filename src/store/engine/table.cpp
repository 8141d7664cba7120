#include "store/engine/table.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "base/text.h"
#include "store/engine/byte_order.h"
#include "store/engine/cdx_format.h"
#include "store/engine/codepage.h"
#include "store/engine/dbf_format.h"
#include "store/engine/disk_space.h"
#include "store/engine/file_lock.h"
#include "store/engine/key_proofs.h"
#include "store/engine/ordered_keys.h"
#include "store/engine/path_case.h"

namespace store {
namespace fs = std::filesystem;
using namespace dbf::format;

namespace {

constexpr uint32_t kChunkRecords = 4096;

void todayYmd(unsigned char* out) {
  std::time_t now = std::time(nullptr);
  std::tm tm = *std::localtime(&now);
  out[0] = static_cast<unsigned char>(tm.tm_year);  // years since 1900
  out[1] = static_cast<unsigned char>(tm.tm_mon + 1);
  out[2] = static_cast<unsigned char>(tm.tm_mday);
}

// A sibling file with another extension, in the letter case of the table's own.
fs::path sibling(const fs::path& table, const char* upperExt) {
  std::string ext = table.extension().string();
  bool lower = !ext.empty() && std::islower(static_cast<unsigned char>(ext.back()));
  std::string e = upperExt;
  if (lower)
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  fs::path p = table;
  p.replace_extension(e);
  return resolveCase(p);
}

base::Bilingual damaged(const std::string& fr, const std::string& nl, const fs::path& file) {
  return base::Bilingual("Table endommagée (" + fr + ") : ", "Beschadigde tabel (" + nl + "): ") + file.string();
}

// The block number a memo field holds, right-aligned digits; 0 when blank or
// when a damaged field holds no block number at all.
uint32_t memoBlock(std::string_view field) {
  size_t i = field.find_first_not_of(' ');
  uint64_t block = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    block = block * 10 + uint64_t(field[i] - '0');
    if (block > UINT32_MAX) return 0;
  }
  return static_cast<uint32_t>(block);
}

// Tables whose index waits for writeDeferredIndex, by path, each with
// whether a close has left its index behind its records.
std::mutex gDeferredMutex;
std::map<std::string, bool>& deferredIndexes() {
  static std::map<std::string, bool> files;
  return files;
}

// True when the table's index waits; a close that skips writing it calls
// this with `skipped`, so that the index is known to be owed.
bool indexDeferred(const fs::path& table, bool skipped) {
  std::lock_guard<std::mutex> hold(gDeferredMutex);
  auto it = deferredIndexes().find(table.string());
  if (it == deferredIndexes().end()) return false;
  if (skipped) it->second = true;
  return true;
}

// The first eight bytes of a key as one number that sorts like them.
uint64_t prefix8(const char* k, uint16_t len) {
  unsigned char b[8] = {};
  std::memcpy(b, k, len < 8 ? len : 8);
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | b[i];
  return v;
}

}  // namespace

struct Table::Tag {
  TagDef def;
  cdx::TagSpec info;
  std::unique_ptr<Expression> key, filter;
  std::unique_ptr<OrderedKeys> keys;  // null until a seek or walk needs it
};

struct Table::Files {
  FileLock lock;
  MappedFile records;  // of a table only read
  std::FILE* dbf = nullptr;
  std::FILE* fpt = nullptr;
  uint32_t nextBlock = 1;
  uint32_t blockSize = kMemoBlockSize;
  ~Files() {
    if (dbf) std::fclose(dbf);
    if (fpt) std::fclose(fpt);
  }
};

Table::Table() : files_(std::make_unique<Files>()) {}

Table::~Table() {
  base::Bilingual ignored;
  close(ignored);
}

std::unique_ptr<Table> Table::create(const fs::path& requested, const TableLayout& layout, base::Bilingual& error) {
  if (layout.fields.empty() || layout.fields.size() > kMaxFields) {
    error = base::Bilingual("une table doit avoir de 1 à 255 champs", "een tabel moet 1 tot 255 velden hebben");
    return nullptr;
  }
  std::vector<FieldDef> fields = layout.fields;
  uint32_t offset = 1;
  bool memo = false;
  for (FieldDef& f : fields) {
    for (char& c : f.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
    if (f.name.empty() || f.name.size() > kMaxFieldName) {
      error = base::Bilingual("un nom de champ a de 1 à 10 caractères : ", "een veldnaam heeft 1 tot 10 tekens: ") + f.name;
      return nullptr;
    }
    switch (f.type) {
      case 'C': break;
      case 'N':
        if (f.decimals + (f.decimals ? 2 : 1) > f.width) {
          error = base::Bilingual("champ numérique trop étroit pour ses décimales : ", "numeriek veld te smal voor zijn decimalen: ") + f.name;
          return nullptr;
        }
        break;
      case 'D': f.width = 8; f.decimals = 0; break;
      case 'L': f.width = 1; f.decimals = 0; break;
      case 'M': f.width = 10; f.decimals = 0; memo = true; break;
      default:
        error = base::Bilingual("type de champ non pris en charge ", "niet ondersteund veldtype ") + std::string(1, f.type) +
                base::Bilingual(" pour ", " voor ") + f.name;
        return nullptr;
    }
    if (f.width == 0) {
      error = base::Bilingual("champ sans largeur : ", "veld zonder breedte: ") + f.name;
      return nullptr;
    }
    f.offset = offset;
    offset += f.width;
  }
  if (offset > kMaxRecordLength) {
    error = base::Bilingual("enregistrement trop long", "record te lang");
    return nullptr;
  }
  fs::path file = resolveCase(requested);
  if (FileLock::heldHere(file)) {
    error = base::Bilingual("table déjà ouverte : ", "tabel is al geopend: ") + file.string();
    return nullptr;
  }
  std::string header(headerLength(fields.size()), '\0');
  auto* h = reinterpret_cast<unsigned char*>(header.data());
  h[kHdrVersion] = memo ? kVersionMemo : kVersionPlain;
  todayYmd(h + kHdrUpdated);
  putLE16(h + kHdrHeaderLength, static_cast<uint16_t>(header.size()));
  putLE16(h + kHdrRecordLength, static_cast<uint16_t>(offset));
  h[kHdrTableFlags] = layout.flags;
  h[kHdrCodePage] = layout.codePage;
  for (size_t i = 0; i < fields.size(); ++i) {
    unsigned char* d = h + kHeaderSize + kFieldSize * i;
    std::memcpy(d + kFieldName, fields[i].name.data(), fields[i].name.size());
    d[kFieldType] = static_cast<unsigned char>(fields[i].type);
    putLE32(d + kFieldOffset, fields[i].offset);
    d[kFieldWidth] = fields[i].width;
    d[kFieldDecimals] = fields[i].decimals;
  }
  h[header.size() - kTerminatorSize] = kFieldsEnd;
  header += static_cast<char>(kEndOfFile);
  std::FILE* f = openFile(file, "wb");
  if (!f || std::fwrite(header.data(), 1, header.size(), f) != header.size() || std::fclose(f) != 0) {
    error = base::Bilingual("écriture impossible : ", "kan niet schrijven: ") + file.string();
    return nullptr;
  }
  if (memo) {
    unsigned char fpt[kMemoHeaderSize] = {};
    putBE32(fpt + kMemoNextBlock, 1);
    putBE16(fpt + kMemoBlockSizeAt, kMemoBlockSize);
    fs::path fptPath = sibling(file, ".FPT");
    std::FILE* m = openFile(fptPath, "wb");
    if (!m || std::fwrite(fpt, 1, sizeof fpt, m) != sizeof fpt || std::fclose(m) != 0) {
      error = base::Bilingual("écriture impossible : ", "kan niet schrijven: ") + fptPath.string();
      return nullptr;
    }
  }
  fs::path cdx = sibling(file, ".CDX");
  std::error_code ec;
  fs::remove(cdx, ec);  // an old index of another table of that name
  auto t = open(file, error);
  if (!t) return nullptr;
  for (const TagDef& def : layout.tags)
    if (!t->addTag(def, error)) return nullptr;
  t->cdxPath_ = cdx;
  return t;
}

std::unique_ptr<Table> Table::open(const fs::path& requested, base::Bilingual& error, OpenMode mode) {
  fs::path file = resolveCase(requested);
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    error = base::Bilingual("Le fichier " + requested.string() + " n'existe pas", "Het bestand " + requested.string() + " bestaat niet");
    return nullptr;
  }
  std::unique_ptr<Table> t(new Table());
  t->path_ = file;
  t->readOnly_ = mode == OpenMode::ReadOnly;
  t->scratch_ = mode == OpenMode::Scratch;
  // A table only read shares its file with other readers; one that may
  // change, even in memory only, keeps it from everyone.
  if (!t->files_->lock.acquire(file, error, t->readOnly_ ? FileLock::Use::Shared : FileLock::Use::Exclusive))
    return nullptr;
  t->files_->dbf = openFile(file, t->readOnly_ || t->scratch_ ? "rb" : "r+b");
  if (!t->files_->dbf) {
    error = base::Bilingual("ouverture impossible : ", "kan niet openen: ") + file.string();
    return nullptr;
  }
  if (!t->readAll(error)) return nullptr;
  t->cdxPath_ = sibling(file, ".CDX");
  if (!t->readOnly_ && !t->scratch_ && !t->loadIndex(error)) return nullptr;
  return t;
}

bool Table::readAll(base::Bilingual& error) {
  std::error_code ec;
  const uint64_t size = fs::file_size(path_, ec);
  if (ec) {
    error = damaged("lecture impossible", "lezen onmogelijk", path_);
    return false;
  }
  std::string descriptors;
  if (!readHeader(size, descriptors, error) || !readFields(descriptors, error) || !readRecords(size, error))
    return false;
  const bool memo =
      std::any_of(fields_.begin(), fields_.end(), [](const FieldDef& x) { return x.type == 'M'; });
  if (memo && !openMemo(error)) return false;
  if (count_) cur_ = 1;
  return true;
}

// The fixed header, and the bytes of the field descriptors that follow it.
bool Table::readHeader(uint64_t size, std::string& descriptors, base::Bilingual& error) {
  unsigned char h[kHeaderSize];
  if (size < kHeaderSize + kTerminatorSize || std::fread(h, 1, kHeaderSize, files_->dbf) != kHeaderSize) {
    error = damaged("fichier tronqué", "bestand afgekapt", path_);
    return false;
  }
  version_ = h[kHdrVersion];
  if (std::find(std::begin(kKnownVersions), std::end(kKnownVersions), version_) == std::end(kKnownVersions)) {
    error = damaged("pas une table DBF", "geen DBF-tabel", path_);
    return false;
  }
  count_ = getLE32(h + kHdrRecordCount);
  headerLen_ = getLE16(h + kHdrHeaderLength);
  recLen_ = getLE16(h + kHdrRecordLength);
  flags_ = h[kHdrTableFlags];
  codePage_ = h[kHdrCodePage];
  if (headerLen_ < kHeaderSize + kFieldSize + 1 || headerLen_ > size) {
    error = damaged("longueur d'en-tête invalide", "ongeldige koplengte", path_);
    return false;
  }
  descriptors.assign(headerLen_ - kHeaderSize, '\0');
  if (std::fread(descriptors.data(), 1, descriptors.size(), files_->dbf) != descriptors.size()) {
    error = damaged("fichier tronqué", "bestand afgekapt", path_);
    return false;
  }
  return true;
}

// Field descriptors up to their terminator; each field must start where the
// one before it ends and the record must be exactly as long as its fields.
bool Table::readFields(const std::string& descriptors, base::Bilingual& error) {
  const auto* d = reinterpret_cast<const unsigned char*>(descriptors.data());
  size_t pos = 0;
  uint32_t offset = 1;
  while (pos < descriptors.size() && d[pos] != kFieldsEnd) {
    if (pos + kFieldSize > descriptors.size()) {
      error = damaged("descripteurs de champs incomplets", "onvolledige veldbeschrijvingen", path_);
      return false;
    }
    const unsigned char* desc = d + pos;
    FieldDef fd;
    const char* name = reinterpret_cast<const char*>(desc + kFieldName);
    fd.name.assign(name, std::find(name, name + kFieldNameSize, '\0'));
    fd.type = static_cast<char>(desc[kFieldType]);
    const uint32_t stored = getLE32(desc + kFieldOffset);
    fd.width = desc[kFieldWidth];
    fd.decimals = desc[kFieldDecimals];
    fd.offset = offset;
    if (std::string_view(kFieldTypes).find(fd.type) == std::string_view::npos || fd.width == 0 ||
        (stored != 0 && stored != offset) || fd.name.empty()) {
      error = damaged("champ " + fd.name + " invalide", "veld " + fd.name + " ongeldig", path_);
      return false;
    }
    offset += fd.width;
    fields_.push_back(std::move(fd));
    pos += kFieldSize;
  }
  if (pos >= descriptors.size() || fields_.empty()) {
    error = damaged("fin d'en-tête absente", "einde van de kop ontbreekt", path_);
    return false;
  }
  for (size_t i = 0; i < fields_.size(); ++i) {
    std::string upper = fields_[i].name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    fieldByName_.emplace(upper, static_cast<int>(i));
  }
  if (offset != recLen_) {
    error = damaged("longueur d'enregistrement incohérente", "inconsistente recordlengte", path_);
    return false;
  }
  return true;
}

bool Table::readRecords(uint64_t size, base::Bilingual& error) {
  const uint64_t expected = uint64_t(headerLen_) + uint64_t(count_) * recLen_;
  if (size < expected) {
    error = damaged("fichier plus court que ses enregistrements", "bestand korter dan zijn records", path_);
    return false;
  }
  if (size > expected + 1) {
    error = damaged("taille différente de l'en-tête", "grootte verschilt van de kop", path_);
    return false;
  }
  // A table only read is mapped rather than copied: the system reads its
  // pages once and shares them between every reader of the file (the entries
  // table is read for the reconciliation while its index is computed from
  // it), where each copy would add the whole table to this process. Writers
  // are kept out of a table while it is read, so the file cannot shrink
  // under the mapping. Where mapping fails, the records are read.
  const bool mapped = readOnly_ && count_ > 0 && files_->records.map(path_, expected);
  // Records are checked chunk by chunk as they are read: a file whose length
  // agrees with a header claiming gigabytes may still be a hole (sparse file)
  // of zero bytes, which must not be loaded whole before it is found out.
  for (uint32_t done = 0; done < count_; done += kChunkRecords) {
    const uint32_t n = std::min(kChunkRecords, count_ - done);
    if (mapped) {
      char* at = const_cast<char*>(files_->records.data()) + headerLen_ + uint64_t(done) * recLen_;
      chunks_.emplace_back(at, ChunkRelease{false});
    } else {
      chunks_.emplace_back(new char[size_t(kChunkRecords) * recLen_]);
      if (std::fread(chunks_.back().get(), recLen_, n, files_->dbf) != n) {
        error = damaged("lecture impossible", "lezen onmogelijk", path_);
        return false;
      }
    }
    const char* chunk = chunks_.back().get();
    for (uint32_t i = 0; i < n; ++i) {
      const char mark = chunk[size_t(i) * recLen_];
      if (mark != kLive && mark != kDeleted) {
        const std::string recno = std::to_string(done + i + 1);
        error = damaged("enregistrement " + recno + " illisible", "record " + recno + " onleesbaar", path_);
        return false;
      }
    }
  }
  return true;
}

bool Table::openMemo(base::Bilingual& error) {
  fptPath_ = sibling(path_, ".FPT");
  files_->fpt = openFile(fptPath_, readOnly_ || scratch_ ? "rb" : "r+b");
  unsigned char mh[kMemoBlockSizeAt + 2];
  if (!files_->fpt || std::fread(mh, 1, sizeof mh, files_->fpt) != sizeof mh) {
    error = damaged("fichier mémo FPT absent ou illisible", "memobestand FPT ontbreekt of is onleesbaar", path_);
    return false;
  }
  files_->nextBlock = getBE32(mh + kMemoNextBlock);
  files_->blockSize = getBE16(mh + kMemoBlockSizeAt);
  if (files_->blockSize == 0) {
    error = damaged("taille de bloc mémo nulle", "memoblokgrootte nul", path_);
    return false;
  }
  // New memos go after the header: a smaller next block would overwrite it.
  if (uint64_t(files_->nextBlock) * files_->blockSize < kMemoHeaderSize) {
    error = damaged("bloc mémo libre dans l'en-tête", "vrij memoblok in de kop", path_);
    return false;
  }
  // The memos in use end where the next free block begins, inside the file
  // (its last block may be short): what the file declares bounds every memo.
  std::error_code ec;
  const uint64_t size = fs::file_size(fptPath_, ec);
  if (ec || (uint64_t(files_->nextBlock) - 1) * files_->blockSize >= std::max<uint64_t>(size, kMemoHeaderSize)) {
    error = damaged("bloc mémo libre au-delà de la fin du fichier", "vrij memoblok voorbij het einde van het bestand",
                    path_);
    return false;
  }
  return true;
}

bool Table::loadIndex(base::Bilingual& error) {
  std::error_code ec;
  if (!fs::is_regular_file(cdxPath_, ec)) return true;  // a table without index (DIC)
  std::vector<cdx::TagSpec> infos;
  base::Bilingual why;
  if (!cdx::readCdxSpecs(cdxPath_, infos, why)) {
    error = base::Bilingual("Index endommagé : ", "Beschadigde index: ") + cdxPath_.string() + " (" + why + ")";
    return false;
  }
  for (const cdx::TagSpec& s : infos) {
    TagDef def{s.name, s.keyExpr, s.forExpr, s.unique, s.descending};
    if (!addTag(def, error)) {
      error = cdxPath_.string() + ": " + error;
      return false;
    }
  }
  indexDirty_ = false;
  return true;
}

int Table::fieldIndex(std::string_view n) const {
  while (!n.empty() && n.back() == ' ') n.remove_suffix(1);
  if (n.size() > 11) return -1;
  char upper[11];
  for (size_t i = 0; i < n.size(); ++i) upper[i] = (n[i] >= 'a' && n[i] <= 'z') ? static_cast<char>(n[i] - 32) : n[i];
  auto it = fieldByName_.find(std::string_view(upper, n.size()));
  return it == fieldByName_.end() ? -1 : it->second;
}

char* Table::recordPtr(uint32_t r) {
  return chunks_[(r - 1) / kChunkRecords].get() + size_t((r - 1) % kChunkRecords) * recLen_;
}
const char* Table::recordPtr(uint32_t r) const {
  return chunks_[(r - 1) / kChunkRecords].get() + size_t((r - 1) % kChunkRecords) * recLen_;
}

RecordRef Table::record(uint32_t r) const { return RecordRef{recordPtr(r), r}; }

bool Table::go(uint32_t r) {
  if (r < 1 || r > count_) {
    settle();
    cur_ = 0;
    return false;
  }
  if (r != cur_) settle();
  cur_ = r;
  return true;
}

uint32_t Table::appendBlank() {
  if (readOnly_) return 0;
  settle();
  if (count_ % kChunkRecords == 0)
    chunks_.emplace_back(new char[size_t(kChunkRecords) * recLen_]);
  ++count_;
  std::memset(recordPtr(count_), ' ', recLen_);
  cur_ = count_;
  pending_ = count_;
  pendingNew_ = true;
  if (!firstDirty_ || firstDirty_ > count_) firstDirty_ = count_;
  headerDirty_ = true;
  indexDirty_ = true;
  return count_;
}

void Table::touch() {
  if (pending_ == cur_) return;
  settle();
  pending_ = cur_;
  pendingNew_ = false;
  before_.assign(recordPtr(cur_), recLen_);
  if (!firstDirty_ || firstDirty_ > cur_) firstDirty_ = cur_;
  indexDirty_ = true;
}

void Table::settle() {
  if (!pending_) return;
  uint32_t r = pending_;
  pending_ = 0;
  std::string oldKey, newKey;
  for (size_t i = 0; i < tags_.size(); ++i) {
    Tag& t = *tags_[i];
    if (!t.keys) continue;
    bool hasNew = keyOf(i, r, newKey);
    bool hasOld = false;
    if (!pendingNew_) {
      // Evaluate the old image in place of the record, then put the new one back.
      std::string now(recordPtr(r), recLen_);
      std::memcpy(recordPtr(r), before_.data(), recLen_);
      hasOld = keyOf(i, r, oldKey);
      std::memcpy(recordPtr(r), now.data(), recLen_);
      if (hasOld == hasNew && oldKey == newKey) continue;
      if (hasOld) t.keys->remove(oldKey, r);
    }
    if (hasNew) t.keys->insert(newKey, r);
  }
}

bool Table::deleted() const { return cur_ && recordPtr(cur_)[0] == kDeleted; }

void Table::setDeleted(bool del) {
  if (!cur_ || readOnly_) return;
  touch();
  recordPtr(cur_)[0] = del ? kDeleted : kLive;
}

std::string_view Table::raw(int field) const {
  if (!cur_ || field < 0 || field >= static_cast<int>(fields_.size())) return {};
  const FieldDef& f = fields_[field];
  return std::string_view(recordPtr(cur_) + f.offset, f.width);
}

std::string Table::text(int field) const {
  std::string_view r = raw(field);
  if (r.empty()) return {};
  if (fields_[field].type == 'M') {
    const uint32_t block = memoBlock(r);
    return block ? fromCp1252(readMemo(block)) : std::string();
  }
  return fromCp1252(r);
}

double Table::number(int field) const {
  std::string_view r = raw(field);
  if (r.empty()) return 0;
  switch (fields_[field].type) {
    case 'L': return (r[0] == 'T' || r[0] == 't' || r[0] == 'Y' || r[0] == 'y') ? 1 : 0;
    case 'D': return parseDateField(r);
    case 'M': return 0;
    default: return parseNumber(r);
  }
}

int32_t Table::date(int field) const {
  std::string_view r = raw(field);
  return r.size() == 8 ? parseDateField(r) : 0;
}

bool Table::logical(int field) const { return number(field) != 0 && fields_[field].type == 'L'; }

bool Table::setRaw(int field, std::string_view bytes) {
  if (!cur_ || readOnly_ || field < 0 || field >= static_cast<int>(fields_.size())) return false;
  const FieldDef& f = fields_[field];
  if (f.type == 'M') return writeMemo(field, bytes);
  touch();
  char* p = recordPtr(cur_) + f.offset;
  size_t n = std::min<size_t>(bytes.size(), f.width);
  if (f.type == 'N' || f.type == 'F') {
    std::memset(p, ' ', f.width);
    std::memcpy(p + f.width - n, bytes.data(), n);  // numbers stand right-aligned
  } else {
    std::memcpy(p, bytes.data(), n);
    std::memset(p + n, ' ', f.width - n);
  }
  return true;
}

bool Table::setRecord(std::string_view image) {
  if (!cur_ || readOnly_ || image.size() != recLen_) return false;
  touch();
  std::memcpy(recordPtr(cur_), image.data(), recLen_);
  return true;
}

bool Table::setText(int field, std::string_view utf8) {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return false;
  const FieldDef& f = fields_[field];
  switch (f.type) {
    case 'N':
    case 'F': {
      if (utf8.find_first_not_of(' ') == std::string_view::npos) return setBlank(field);
      return setNumber(field, parseNumber(utf8));
    }
    case 'D': {
      std::string s(utf8);
      if (s.find_first_not_of(' ') == std::string::npos) return setBlank(field);
      int32_t jd = parseDateField(s);
      if (!jd) jd = parseDayMonthYear(s);
      if (!jd) return false;
      return setDate(field, jd);
    }
    case 'L': {
      std::string s(utf8);
      for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      s.erase(0, s.find_first_not_of(' '));
      if (s.empty()) return setBlank(field);
      bool v = s == "T" || s == "TRUE" || s == ".T." || s == "Y" || s == "YES" || s == "-1" || s == "1";
      return setLogical(field, v);
    }
    default:
      return setRaw(field, toCp1252(utf8));
  }
}

bool Table::setNumber(int field, double value) {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return false;
  const FieldDef& f = fields_[field];
  switch (f.type) {
    case 'N':
    case 'F': return setRaw(field, formatNumber(value, f.width, f.decimals));
    case 'L': return setLogical(field, value != 0);
    case 'D': return setDate(field, value >= 1 && value <= kLastJulianDay ? static_cast<int32_t>(value) : 0);
    default: {
      std::string s = formatNumber(value, 20, f.decimals);
      s.erase(0, s.find_first_not_of(' '));
      return setRaw(field, s);
    }
  }
}

bool Table::setDate(int field, int32_t julian) {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return false;
  return setRaw(field, formatDateField(julian));
}

bool Table::setLogical(int field, bool value) {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return false;
  return setRaw(field, value ? "T" : "F");
}

bool Table::setBlank(int field) {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return false;
  if (fields_[field].type == 'M') return writeMemo(field, {});
  return setRaw(field, "");
}

std::string Table::readMemo(uint32_t block) const {
  std::FILE* f = files_->fpt;
  if (!f) return {};
  unsigned char h[kBlockHeaderSize];
  if (!seekFile(f, uint64_t(block) * files_->blockSize) || std::fread(h, 1, sizeof h, f) != sizeof h)
    return {};
  const uint32_t type = getBE32(h + kBlockType), len = getBE32(h + kBlockLength);
  std::error_code ec;
  const uint64_t size = fs::file_size(fptPath_, ec);
  // A memo lies after the header and inside both the file and the part of it
  // in use (before the next free block), and says what it holds; a damaged
  // reference reads empty.
  const uint64_t start = uint64_t(block) * files_->blockSize, end = start + kBlockHeaderSize + len;
  if (ec || start < kMemoHeaderSize || end > size || end > uint64_t(files_->nextBlock) * files_->blockSize ||
      (type != kBlockText && type != kBlockPicture))
    return {};
  std::string out(len, '\0');
  if (std::fread(out.data(), 1, len, f) != len) return {};
  return out;
}

bool Table::writeMemo(int field, std::string_view bytes) {
  std::FILE* f = files_->fpt;
  if (!f || readOnly_ || scratch_) return false;
  const FieldDef& fd = fields_[field];
  std::string ref(fd.width, ' ');
  if (!bytes.empty()) {
    uint32_t bs = files_->blockSize;
    uint32_t blocks = static_cast<uint32_t>((kBlockHeaderSize + bytes.size() + bs - 1) / bs);
    const uint32_t old = memoBlock(raw(field));
    uint32_t at = files_->nextBlock;
    if (old && old < files_->nextBlock && uint64_t(old) * bs >= kMemoHeaderSize) {
      // Reuse the old place when the new text fits in its blocks, and only
      // when those blocks lie inside the used part of the file: a damaged
      // length must not let the text run over the memos that follow, nor a
      // damaged reference put it in the header.
      unsigned char h[kBlockHeaderSize];
      if (seekFile(f, uint64_t(old) * bs) && std::fread(h, 1, sizeof h, f) == sizeof h) {
        uint64_t oldBlocks = (kBlockHeaderSize + uint64_t(getBE32(h + kBlockLength)) + bs - 1) / bs;
        if (blocks <= oldBlocks && old + oldBlocks <= files_->nextBlock) at = old;
      }
    }
    std::string data(size_t(blocks) * bs, '\0');
    auto* p = reinterpret_cast<unsigned char*>(data.data());
    putBE32(p + kBlockType, kBlockText);
    putBE32(p + kBlockLength, static_cast<uint32_t>(bytes.size()));
    std::memcpy(p + kBlockHeaderSize, bytes.data(), bytes.size());
    if (at == files_->nextBlock && uint64_t(at) + blocks > UINT32_MAX) return false;  // the file is full
    if (!seekFile(f, uint64_t(at) * bs) || std::fwrite(data.data(), 1, data.size(), f) != data.size())
      return false;
    if (at == files_->nextBlock) {
      files_->nextBlock += blocks;
      unsigned char nb[4];
      putBE32(nb, files_->nextBlock);
      if (std::fseek(f, kMemoNextBlock, SEEK_SET) != 0 || std::fwrite(nb, 1, 4, f) != 4) return false;
    }
    if (std::fflush(f) != 0) return false;
    std::string num = std::to_string(at);
    if (num.size() > ref.size()) return false;  // a field too narrow for the block number
    ref.replace(ref.size() - num.size(), num.size(), num);
  }
  touch();
  std::memcpy(recordPtr(cur_) + fd.offset, ref.data(), fd.width);
  return true;
}

// ---- tags ----

const TagDef& Table::tagDef(size_t tag) const { return tags_[tag]->def; }
const cdx::TagSpec& Table::tagSpec(size_t tag) const { return tags_[tag]->info; }

int Table::tagIndex(std::string_view n) const {
  for (size_t i = 0; i < tags_.size(); ++i)
    if (base::equalsIgnoringCase(tags_[i]->def.name, n)) return static_cast<int>(i);
  return -1;
}

bool Table::addTag(const TagDef& def, base::Bilingual& error) {
  auto t = std::make_unique<Tag>();
  t->def = def;
  for (char& c : t->def.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!cdx::format::validTagName(t->def.name)) {
    error = base::Bilingual("un nom d'index a de 1 à 10 lettres, chiffres ou _ : ",
                            "een indexnaam heeft 1 tot 10 letters, cijfers of _: ") +
            def.name;
    return false;
  }
  t->key = Expression::compile(def.keyExpr, fields_, error);
  if (!t->key) return false;
  if (!def.forExpr.empty()) {
    t->filter = Expression::compile(def.forExpr, fields_, error);
    if (!t->filter) return false;
    if (t->filter->type() != ValueType::Logical) {
      error = base::Bilingual("la condition FOR n'est pas logique : ", "de FOR-voorwaarde is niet logisch: ") + def.forExpr;
      return false;
    }
  }
  cdx::TagSpec& s = t->info;
  s.name = t->def.name;
  s.keyExpr = def.keyExpr;
  s.forExpr = def.forExpr;
  s.unique = def.unique;
  s.descending = def.descending;
  switch (t->key->type()) {
    case ValueType::Character:
      s.keyType = cdx::KeyType::Character;
      s.keyLength = static_cast<uint16_t>(std::clamp(t->key->width(), 1, 240));
      break;
    case ValueType::Numeric: s.keyType = cdx::KeyType::Numeric; s.keyLength = 8; break;
    case ValueType::Date: s.keyType = cdx::KeyType::Date; s.keyLength = 8; break;
    case ValueType::Logical: s.keyType = cdx::KeyType::Logical; s.keyLength = 1; break;
  }
  settle();
  int existing = tagIndex(t->def.name);
  if (existing >= 0)
    tags_[existing] = std::move(t);
  else
    tags_.push_back(std::move(t));
  indexDirty_ = true;
  return true;
}

void Table::dropTags() {
  tags_.clear();
  indexDirty_ = false;
}

bool Table::keyOf(size_t tag, uint32_t r, std::string& key) const {
  const Tag& t = *tags_[tag];
  RecordRef rec{recordPtr(r), r};
  key.clear();
  if (t.filter && !t.filter->evalLogical(rec)) return false;
  switch (t.info.keyType) {
    case cdx::KeyType::Character:
      t.key->evalText(rec, key);
      key.resize(t.info.keyLength, ' ');
      break;
    case cdx::KeyType::Numeric: key = cdx::encodeNumericKey(t.key->evalNumber(rec)); break;
    case cdx::KeyType::Date: key = cdx::encodeDateKey(t.key->evalDate(rec)); break;
    case cdx::KeyType::Logical: key = t.key->evalLogical(rec) ? "T" : "F"; break;
  }
  return true;
}

std::string Table::seekKey(size_t tag, std::string_view text) const {
  const cdx::TagSpec& s = tags_[tag]->info;
  switch (s.keyType) {
    case cdx::KeyType::Numeric: return cdx::encodeNumericKey(parseNumber(text));
    case cdx::KeyType::Date: {
      int32_t jd = parseDateField(text);
      return cdx::encodeDateKey(jd ? jd : parseDayMonthYear(text));
    }
    case cdx::KeyType::Logical: {
      std::string t(text);
      return (t == "T" || t == ".T." || t == "TRUE" || t == "True") ? "T" : "F";
    }
    default: return toCp1252(text);
  }
}

namespace {
// Sorts keys (packed, one slot per entry, slots in record order) into index
// order: by their first eight bytes as one number, then each run of equal
// numbers by the next eight bytes, and so on; equal keys stay in record order.
struct SortEntry {
  uint64_t prefix;
  uint32_t slot;
};

// Stable byte-wise radix sort on the prefix: linear, so a million keys cost
// no more per key than a thousand; passes where every byte agrees are skipped.
void radixSort(SortEntry* a, size_t n, std::vector<SortEntry>& tmp) {
  tmp.resize(n);
  SortEntry* src = a;
  SortEntry* dst = tmp.data();
  for (int shift = 0; shift < 64; shift += 8) {
    size_t count[256] = {};
    for (size_t i = 0; i < n; ++i) ++count[(src[i].prefix >> shift) & 0xFF];
    if (count[(src[0].prefix >> shift) & 0xFF] == n) continue;
    size_t pos = 0;
    for (size_t& c : count) {
      size_t here = c;
      c = pos;
      pos += here;
    }
    for (size_t i = 0; i < n; ++i) dst[count[(src[i].prefix >> shift) & 0xFF]++] = src[i];
    std::swap(src, dst);
  }
  if (src != a) std::copy(src, src + n, a);
}

void refineRuns(std::vector<SortEntry>& es, size_t begin, size_t end, const std::string& keys, uint16_t len,
                bool descending, uint16_t offset) {
  auto byPrefix = [](const SortEntry& a, const SortEntry& b) {
    return a.prefix != b.prefix ? a.prefix < b.prefix : a.slot < b.slot;
  };
  for (size_t i = begin; i < end; ++i) {
    uint64_t p = prefix8(keys.data() + size_t(es[i].slot) * len + offset, uint16_t(len - offset));
    es[i].prefix = descending ? ~p : p;
  }
  // Entries come in record order, so runs of one repeated key (filler keys)
  // are already sorted, and a stable sort on the prefix alone is enough.
  if (!std::is_sorted(es.begin() + begin, es.begin() + end, byPrefix)) {
    if (end - begin >= 1024) {
      std::vector<SortEntry> tmp;
      radixSort(es.data() + begin, end - begin, tmp);
    } else {
      std::sort(es.begin() + begin, es.begin() + end, byPrefix);
    }
  }
  if (offset + 8 >= len) return;
  for (size_t i = begin; i < end;) {
    size_t j = i + 1;
    while (j < end && es[j].prefix == es[i].prefix) ++j;
    if (j - i > 1) refineRuns(es, i, j, keys, len, descending, uint16_t(offset + 8));
    i = j;
  }
}

std::vector<uint32_t> sortedSlots(const std::string& keys, size_t count, uint16_t len, bool descending) {
  std::vector<SortEntry> es(count);
  for (uint32_t i = 0; i < count; ++i) es[i].slot = i;
  refineRuns(es, 0, count, keys, len, descending, 0);
  std::vector<uint32_t> order(count);
  for (size_t i = 0; i < count; ++i) order[i] = es[i].slot;
  return order;
}

void keepFirstOfEachKey(cdx::TagKeys& tk) {
  uint16_t len = tk.info.keyLength;
  size_t out = 0;
  for (size_t i = 0; i < tk.recnos.size(); ++i) {
    if (out > 0 && std::memcmp(tk.keyBytes.data() + (out - 1) * len, tk.keyBytes.data() + i * len, len) == 0) continue;
    if (out != i) {
      std::memmove(tk.keyBytes.data() + out * len, tk.keyBytes.data() + i * len, len);
      tk.recnos[out] = tk.recnos[i];
    }
    ++out;
  }
  tk.keyBytes.resize(out * len);
  tk.recnos.resize(out);
}
}  // namespace

cdx::TagKeys Table::computeKeys(size_t tag) const {
  const Tag& t = *tags_[tag];
  uint16_t len = t.info.keyLength;
  std::string keys;
  std::vector<uint32_t> recnos;
  keys.reserve(size_t(count_) * len);
  recnos.reserve(count_);
  std::string k;
  for (uint32_t r = 1; r <= count_; ++r) {
    if (!keyOf(tag, r, k)) continue;
    keys += k;
    recnos.push_back(r);
  }
  std::vector<uint32_t> order = sortedSlots(keys, recnos.size(), len, t.info.descending);
  // Gathered into a copy rather than moved in place: the copy costs no more
  // than the sort before it held, and independent reads overlap where a
  // chain of moves in place waits on every cache miss.
  cdx::TagKeys out;
  out.info = t.info;
  out.keyBytes.resize(keys.size());
  out.recnos.resize(recnos.size());
  for (size_t i = 0; i < order.size(); ++i) {
    std::memcpy(out.keyBytes.data() + i * len, keys.data() + size_t(order[i]) * len, len);
    out.recnos[i] = recnos[order[i]];
  }
  if (t.info.unique) keepFirstOfEachKey(out);
  return out;
}

std::optional<Digest> Table::recordsDigest() const {
  if (std::any_of(fields_.begin(), fields_.end(), [](const FieldDef& f) { return f.type == 'M'; })) return std::nullopt;
  Hasher h;
  std::string layout = std::to_string(codePage_) + '/' + std::to_string(recLen_) + '/' + std::to_string(count_);
  for (const FieldDef& f : fields_)
    layout += '/' + f.name + ':' + f.type + ':' + std::to_string(f.width) + ':' + std::to_string(f.decimals) + ':' +
              std::to_string(f.offset);
  h.update(layout.data(), layout.size());
  for (uint32_t done = 0; done < count_; done += kChunkRecords)
    h.update(chunks_[done / kChunkRecords].get(), size_t(std::min(kChunkRecords, count_ - done)) * recLen_);
  return h.digest();
}

Table::Tag& Table::builtTag(size_t tag) {
  settle();
  Tag& t = *tags_[tag];
  if (!t.keys) {
    // Every entry, duplicates included: a unique tag shows the first of each
    // key, and the next one must take its place when that record changes.
    bool unique = t.info.unique;
    t.info.unique = false;
    cdx::TagKeys all = computeKeys(tag);
    t.info.unique = unique;
    t.keys = std::make_unique<OrderedKeys>(t.info.keyLength, t.info.descending);
    t.keys->load(all.keyBytes, all.recnos);
  }
  return t;
}

uint32_t Table::seek(size_t tag, std::string_view key) {
  Tag& t = builtTag(tag);
  uint16_t len = t.info.keyLength;
  if (key.size() > len) {
    if (key.substr(len).find_first_not_of(' ') != std::string_view::npos) return 0;
    key = key.substr(0, len);
  }
  OrderedKeys::Pos p = t.keys->lowerBound(key);
  if (t.keys->atEnd(p) || std::memcmp(t.keys->key(p).data(), key.data(), key.size()) != 0) return 0;
  return t.keys->recno(p);
}

uint32_t Table::firstInOrder(size_t tag) {
  Tag& t = builtTag(tag);
  OrderedKeys::Pos p = t.keys->begin();
  return t.keys->atEnd(p) ? 0 : t.keys->recno(p);
}

uint32_t Table::nextInOrder(size_t tag, uint32_t r) {
  Tag& t = builtTag(tag);
  std::string key;
  if (r < 1 || r > count_ || !keyOf(tag, r, key)) return 0;
  OrderedKeys::Pos p = t.keys->find(key, r);
  if (t.keys->atEnd(p)) return 0;
  p = t.keys->next(p);
  if (t.info.unique)
    while (!t.keys->atEnd(p) && t.keys->key(p) == key) p = t.keys->next(p);
  return t.keys->atEnd(p) ? 0 : t.keys->recno(p);
}

uint32_t Table::previousInOrder(size_t tag, uint32_t r) {
  Tag& t = builtTag(tag);
  std::string key;
  if (r < 1 || r > count_ || !keyOf(tag, r, key)) return 0;
  OrderedKeys::Pos p = t.keys->find(key, r);
  if (t.keys->atEnd(p)) return 0;
  if (t.info.unique)
    while (!t.keys->atEnd(p) && t.keys->key(p) == key) p = t.keys->prev(p);
  else
    p = t.keys->prev(p);
  if (t.keys->atEnd(p)) return 0;
  if (t.info.unique) {
    // A unique tag shows the first record of each key.
    const std::string shown(t.keys->key(p));
    for (OrderedKeys::Pos q = t.keys->prev(p); !t.keys->atEnd(q) && t.keys->key(q) == shown; q = t.keys->prev(q)) p = q;
  }
  return t.keys->recno(p);
}

// ---- writing back ----

bool Table::commit(base::Bilingual& error) {
  settle();
  if (readOnly_ || scratch_ || !files_->dbf) return true;
  if (!firstDirty_ && !headerDirty_) return true;
  std::FILE* f = files_->dbf;
  // Only the update date and the record count change; the rest is read back.
  unsigned char h[kHdrRecordCount + 4];
  if (std::fseek(f, 0, SEEK_SET) != 0 || std::fread(h, 1, sizeof h, f) != sizeof h) {
    error = base::Bilingual("relecture de l'en-tête impossible : ", "kan de kop niet teruglezen: ") + path_.string();
    return false;
  }
  todayYmd(h + kHdrUpdated);
  putLE32(h + kHdrRecordCount, count_);
  bool ok = std::fseek(f, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, f) == sizeof h;
  if (ok && firstDirty_) {
    ok = seekFile(f, headerLen_ + uint64_t(firstDirty_ - 1) * recLen_);
    for (uint32_t r = firstDirty_; ok && r <= count_;) {
      uint32_t inChunk = kChunkRecords - (r - 1) % kChunkRecords;
      uint32_t n = std::min(inChunk, count_ - r + 1);
      ok = std::fwrite(recordPtr(r), recLen_, n, f) == n;
      r += n;
    }
    ok = ok && std::fputc(kEndOfFile, f) != EOF;
  }
  ok = ok && std::fflush(f) == 0;
  if (!ok) {
    noteFailedWrite(path_);
    error = base::Bilingual("écriture impossible : ", "kan niet schrijven: ") + path_.string();
    return false;
  }
  firstDirty_ = 0;
  headerDirty_ = false;
  return true;
}

bool Table::writeIndex(base::Bilingual& error) {
  std::vector<cdx::TagSpec> tagSpecs;
  for (const auto& t : tags_) tagSpecs.push_back(t->info);
  cdx::CdxWriter writer;
  if (!writer.begin(cdxPath_, tagSpecs, error)) return false;  // names the index file

  // Tags are computed two at a time (each tag evaluates its own expressions,
  // so the workers share nothing they change) and written in order as each
  // is ready: a tag is started only when fewer than kHeld tags wait to be
  // written, so that the keys held stay those of two tags, not of all of
  // them beside the records.
  constexpr size_t kHeld = 2;
  const size_t n = tags_.size();
  std::vector<std::unique_ptr<cdx::TagKeys>> ready(n);
  std::mutex mutex;
  std::condition_variable changed;
  size_t nextTag = 0, written = 0;
  bool writing = false, failed = false;
  base::Bilingual why;
  // Keys computed from the records are remembered once written, so that the
  // check of the file need not compute them again; those a tag kept current
  // while the table was open are not: the check is what proves them.
  std::vector<std::optional<Digest>> tagDigests(n);
  // One byte per tag, not a std::vector<bool>: the two workers set the flags
  // of different tags at once, and bits of one word are not theirs apart.
  std::vector<char> computed(n, 0);
  auto keysOf = [&](size_t i) {
    auto keys = std::make_unique<cdx::TagKeys>();
    Tag& t = *tags_[i];
    if (t.keys) {
      // A tag kept current while the table was open holds every key already.
      keys->info = t.info;
      t.keys->exportTo(keys->keyBytes, keys->recnos);
      t.keys.reset();
      if (t.info.unique) keepFirstOfEachKey(*keys);
    } else {
      *keys = computeKeys(i);
      computed[i] = 1;
    }
    return keys;
  };
  auto worker = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return failed || nextTag >= n || nextTag < written + kHeld; });
      if (failed || nextTag >= n) return;
      const size_t i = nextTag++;
      lock.unlock();
      std::unique_ptr<cdx::TagKeys> keys = keysOf(i);
      lock.lock();
      ready[i] = std::move(keys);
      // One thread writes at a time; whichever finds the next tag ready does.
      while (!writing && !failed && written < n && ready[written]) {
        writing = true;
        std::unique_ptr<cdx::TagKeys> next = std::move(ready[written]);
        lock.unlock();
        const bool ok = writer.add(*next, why);
        if (ok && computed[written]) tagDigests[written] = tagKeysDigest(*next);
        next.reset();
        lock.lock();
        writing = false;
        if (ok)
          ++written;
        else
          failed = true;
        changed.notify_all();
      }
    }
  };
  std::optional<Digest> records;
  if (count_ >= 50000) {
    std::thread helper(worker);
    std::thread digest([&] { records = recordsDigest(); });
    worker();
    helper.join();
    digest.join();
  } else {
    worker();
    records = recordsDigest();
  }
  if (failed) {
    error = why;
    return false;
  }
  if (!writer.finish(error)) return false;
  indexDirty_ = false;
  if (records)
    for (const std::optional<Digest>& tag : tagDigests)
      if (tag) rememberKeys(*records, *tag);
  return true;
}

bool Table::close(base::Bilingual& error) {
  if (!files_ || !files_->dbf) return true;
  bool ok = commit(error);
  if (ok && indexDirty_ && !tags_.empty() && !readOnly_ && !indexDeferred(path_, true)) ok = writeIndex(error);
  tags_.clear();
  chunks_.clear();
  files_.reset();
  return ok;
}

void Table::deferIndex(const fs::path& file) {
  std::lock_guard<std::mutex> hold(gDeferredMutex);
  deferredIndexes().emplace(resolveCase(file).string(), false);
}

void Table::dropDeferredIndex(const fs::path& file) {
  std::lock_guard<std::mutex> hold(gDeferredMutex);
  deferredIndexes().erase(resolveCase(file).string());
}

bool Table::writeDeferredIndex(const fs::path& file, base::Bilingual& error) {
  const fs::path path = resolveCase(file);
  bool owed = false;
  {
    std::lock_guard<std::mutex> hold(gDeferredMutex);
    auto it = deferredIndexes().find(path.string());
    if (it == deferredIndexes().end()) return true;
    owed = it->second;
    deferredIndexes().erase(it);
  }
  if (!owed) return true;
  // Only the CDX is written, aside and renamed into place: the records are
  // read, never changed, so the DBF stays open to readers of the finished
  // table meanwhile.
  auto t = open(path, error, OpenMode::ReadOnly);
  if (!t) return false;
  if (!t->loadIndex(error)) return false;
  if (!t->tags_.empty() && !t->writeIndex(error)) return false;
  return t->close(error);
}

}  // namespace store
