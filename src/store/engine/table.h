// One FoxPro table (DBF, its structural CDX and its FPT memo file) opened
// exclusively, or shared with other readers when only read. Records live in
// memory while the table is open and are written back on commit and close;
// index tags are kept in order as records change, and the CDX is rewritten
// when a changed table is closed.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/bilingual.h"
#include "store/engine/cdx_file.h"
#include "store/engine/expression.h"
#include "store/engine/field.h"
#include "store/engine/key_proofs.h"

namespace store {

struct TagDef {
  std::string name;     // upper case, at most 10 characters
  std::string keyExpr;
  std::string forExpr;  // empty: every record
  bool unique = false;
  bool descending = false;
};

struct TableLayout {
  std::vector<FieldDef> fields;  // offsets are computed
  uint8_t flags = 0x01;          // 0x01: structural CDX present
  uint8_t codePage = 0x00;       // 0x03: Windows ANSI
  std::vector<TagDef> tags;      // structural CDX tags; none: no CDX file
};

class Table {
 public:
  // ReadOnly neither loads nor checks the index and refuses every change.
  // Scratch reads the records like ReadOnly but lets them change in memory,
  // where the changes stay: nothing is ever written back to the files (memo
  // text, which lives in the FPT file, cannot change).
  enum class OpenMode { Update, ReadOnly, Scratch };

  ~Table();  // closes; errors are lost, call close() to see them
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Creates the files (replacing existing ones) and returns the table open.
  static std::unique_ptr<Table> create(const std::filesystem::path& file, const TableLayout& layout,
                                       base::Bilingual& error);
  // Opens exclusively, or beside other ReadOnly opens when ReadOnly; the
  // file name is matched whatever its letter case. A damaged table or a CDX
  // that does not parse gives null and the reason.
  static std::unique_ptr<Table> open(const std::filesystem::path& file, base::Bilingual& error,
                                     OpenMode mode = OpenMode::Update);
  // Writes pending changes and releases the files.
  bool close(base::Bilingual& error);

  // A large table filled by several steps in turn needs its index written
  // once, when the last of them is done, not at every close. After
  // deferIndex(file) a close of that table leaves its CDX as it was (tags
  // used while it is open are built from the records, never read from the
  // file), until writeDeferredIndex(file) writes it from the records and ends
  // the deferral; dropDeferredIndex(file) ends it without writing, for a
  // table that is thrown away. The file must exist; any process-wide thread
  // may call these. writeDeferredIndex shares the DBF with ReadOnly opens.
  static void deferIndex(const std::filesystem::path& file);
  static bool writeDeferredIndex(const std::filesystem::path& file, base::Bilingual& error);
  static void dropDeferredIndex(const std::filesystem::path& file);
  // Writes changed records and the header to disk now.
  bool commit(base::Bilingual& error);

  const std::filesystem::path& path() const { return path_; }
  const std::vector<FieldDef>& fields() const { return fields_; }
  int fieldIndex(std::string_view name) const;  // any letter case; -1 when missing
  uint8_t version() const { return version_; }
  uint8_t flags() const { return flags_; }
  uint8_t codePage() const { return codePage_; }
  uint16_t recordLength() const { return recLen_; }
  uint32_t recordCount() const { return count_; }

  // Current record (0 when none).
  uint32_t recno() const { return cur_; }
  bool go(uint32_t recno);
  uint32_t appendBlank();
  bool deleted() const;
  void setDeleted(bool deleted);
  RecordRef record(uint32_t recno) const;

  // Field values of the current record. Text is UTF-8; memo fields read and
  // write their text in the FPT file.
  std::string_view raw(int field) const;  // stored 1252 bytes
  std::string text(int field) const;      // padding kept
  double number(int field) const;
  int32_t date(int field) const;          // julian day, 0 blank
  bool logical(int field) const;
  bool setText(int field, std::string_view utf8);  // cut to the field's width
  bool setRaw(int field, std::string_view cp1252);
  bool setNumber(int field, double value);
  bool setDate(int field, int32_t julian);
  bool setLogical(int field, bool value);
  bool setBlank(int field);
  // The whole record image (deletion flag included, recordLength() bytes) of
  // a table of the same layout without memo fields: the memo block numbers
  // of another table would point into the wrong FPT file.
  bool setRecord(std::string_view image);

  // Index tags, in the order of the CDX.
  size_t tagCount() const { return tags_.size(); }
  const TagDef& tagDef(size_t tag) const;
  const cdx::TagSpec& tagSpec(size_t tag) const;
  int tagIndex(std::string_view name) const;  // -1 when missing
  // Adds (or replaces) a tag; false with the reason when an expression does not compile.
  bool addTag(const TagDef& def, base::Bilingual& error);
  void dropTags();
  const std::filesystem::path& indexPath() const { return cdxPath_; }
  void setIndexPath(const std::filesystem::path& cdx) { cdxPath_ = cdx; indexDirty_ = true; }

  // The key a record has in a tag (filler key when deleted or out of scope in
  // the expression's own terms; false when a FOR condition leaves it out).
  bool keyOf(size_t tag, uint32_t recno, std::string& key) const;
  // Turns key text (UTF-8, numbers and dates as written) into key bytes of a tag.
  std::string seekKey(size_t tag, std::string_view text) const;
  // First record in tag order whose key starts with `key`; 0 when none.
  uint32_t seek(size_t tag, std::string_view key);
  uint32_t firstInOrder(size_t tag);
  uint32_t nextInOrder(size_t tag, uint32_t recno);
  uint32_t previousInOrder(size_t tag, uint32_t recno);
  // Every key of a tag computed from the records, in index order (unique
  // tags keep the first record of each key).
  cdx::TagKeys computeKeys(size_t tag) const;
  // The records and the layout their keys are read by, as one digest; none
  // for a table with memo fields, whose keys could read the FPT file too.
  std::optional<Digest> recordsDigest() const;

 private:
  struct Tag;
  Table();
  bool readAll(base::Bilingual& error);
  bool readHeader(uint64_t size, std::string& descriptors, base::Bilingual& error);
  bool readFields(const std::string& descriptors, base::Bilingual& error);
  bool readRecords(uint64_t size, base::Bilingual& error);
  bool openMemo(base::Bilingual& error);
  bool loadIndex(base::Bilingual& error);
  char* recordPtr(uint32_t recno);
  const char* recordPtr(uint32_t recno) const;
  void touch();  // before the first change of the current record
  void settle();  // brings built tags up to date with the current record
  Tag& builtTag(size_t tag);
  bool writeIndex(base::Bilingual& error);
  std::string readMemo(uint32_t block) const;
  bool writeMemo(int field, std::string_view cp1252);

  std::filesystem::path path_, cdxPath_, fptPath_;
  std::vector<FieldDef> fields_;
  std::map<std::string, int, std::less<>> fieldByName_;  // upper-case names
  uint8_t version_ = 0x03, flags_ = 0, codePage_ = 0;
  uint16_t headerLen_ = 0, recLen_ = 0;
  uint32_t count_ = 0, cur_ = 0;
  std::vector<std::unique_ptr<char[]>> chunks_;
  uint32_t firstDirty_ = 0;  // lowest record to write back, 0: none
  bool headerDirty_ = false, indexDirty_ = false, readOnly_ = false, scratch_ = false;
  // The record being changed: its image before the change, for the index.
  uint32_t pending_ = 0;
  bool pendingNew_ = false;
  std::string before_;
  std::vector<std::unique_ptr<Tag>> tags_;
  struct Files;
  std::unique_ptr<Files> files_;
};

}  // namespace store
