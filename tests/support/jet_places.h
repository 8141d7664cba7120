// The places of an Access (Jet 4) file where one changed byte changes what a
// reader finds: table definitions, column entries, data page headers, usage
// maps. They are found by reading the file's pages, independently of the
// reader under test, so that tests follow the file wherever its writer puts
// things.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace jet_places {

constexpr size_t kPageSize = 4096;

// One byte of the file set to a new value.
struct Change {
  std::string what;
  size_t offset = 0;
  unsigned char value = 0;
};

struct Table {
  uint32_t definition = 0;             // page of the table definition
  std::vector<uint32_t> dataPages;     // pages holding its rows
  size_t mapStart = 0, mapEnd = 0;     // the usage map row, as file offsets
  std::vector<size_t> columns;         // column entries, as file offsets
  std::vector<size_t> nameLengths;     // the length before each column name
};

class JetFile {
 public:
  // `bytes` must be a Jet 4 file (the form the sample writer produces).
  explicit JetFile(std::vector<unsigned char> bytes);
  const std::vector<unsigned char>& bytes() const { return bytes_; }
  size_t pages() const { return bytes_.size() / kPageSize; }
  const std::vector<Table>& tables() const { return tables_; }

  // Counts and pointers of each table definition.
  std::vector<Change> definitionCounts() const;
  // Number, slot, flags, place, length and name length of columns of every
  // type (the first few of each type in the file).
  std::vector<Change> columnEntries() const;
  // Row count, owner and free space of the first and last data page of each table.
  std::vector<Change> dataPageHeaders() const;
  // Kind, first page and bitmap of each table's usage map.
  std::vector<Change> usageMaps() const;

 private:
  uint32_t u16(size_t at) const;
  uint32_t u32(size_t at) const;
  Change add(const std::string& what, size_t at, int delta) const;
  Change flip(const std::string& what, size_t at, unsigned char bits) const;

  std::vector<unsigned char> bytes_;
  std::vector<Table> tables_;
};

}  // namespace jet_places
