#include "support/jet_places.h"

#include <map>
#include <set>
#include <stdexcept>

namespace jet_places {
namespace {

constexpr unsigned char kDataPage = 0x01, kDefinitionPage = 0x02;

std::string pageName(uint32_t page) { return "page " + std::to_string(page); }

}  // namespace

uint32_t JetFile::u16(size_t at) const { return static_cast<uint32_t>(bytes_[at] | bytes_[at + 1] << 8); }
uint32_t JetFile::u32(size_t at) const { return u16(at) | u16(at + 2) << 16; }

Change JetFile::add(const std::string& what, size_t at, int delta) const {
  return {what, at, static_cast<unsigned char>(bytes_[at] + delta)};
}

Change JetFile::flip(const std::string& what, size_t at, unsigned char bits) const {
  return {what, at, static_cast<unsigned char>(bytes_[at] ^ bits)};
}

JetFile::JetFile(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {
  if (bytes_.size() < 3 * kPageSize || bytes_.size() % kPageSize != 0 || bytes_[0x14] != 1)
    throw std::runtime_error("not a Jet 4 file");
  // Definitions continued on a further page are linked from their first page.
  std::set<uint32_t> continuations;
  for (uint32_t p = 1; p < pages(); ++p)
    if (bytes_[p * kPageSize] == kDefinitionPage && u32(p * kPageSize + 4) != 0) continuations.insert(u32(p * kPageSize + 4));
  std::map<uint32_t, size_t> byDefinition;
  for (uint32_t p = 1; p < pages(); ++p) {
    const size_t at = p * kPageSize;
    if (bytes_[at] != kDefinitionPage || continuations.count(p)) continue;
    // A definition is read as one stream: its first page whole, then each
    // continuation page after its 8-byte header.
    std::vector<size_t> stream;
    for (uint32_t q = p, first = 1; q != 0 && q < pages(); q = u32(q * kPageSize + 4), first = 0)
      for (size_t i = first ? 0 : 8; i < kPageSize; ++i) stream.push_back(q * kPageSize + i);
    Table t;
    t.definition = p;
    const size_t columns = u16(at + 45);
    size_t pos = 63 + u32(at + 51) * 12;
    for (size_t c = 0; c < columns; ++c, pos += 25) t.columns.push_back(stream.at(pos));
    for (size_t c = 0; c < columns; ++c) {
      t.nameLengths.push_back(stream.at(pos));
      pos += 2 + (bytes_[stream.at(pos)] | bytes_[stream.at(pos + 1)] << 8);
    }
    const uint32_t map = u32(at + 55);
    const size_t mapPage = (map >> 8) * kPageSize;
    const uint32_t row = map & 0xff;
    t.mapStart = mapPage + (u16(mapPage + 14 + 2 * row) & 0x1fff);
    t.mapEnd = mapPage + (row == 0 ? kPageSize : u16(mapPage + 12 + 2 * row) & 0x1fff);
    byDefinition[p] = tables_.size();
    tables_.push_back(t);
  }
  for (uint32_t p = 1; p < pages(); ++p) {
    const size_t at = p * kPageSize;
    if (bytes_[at] != kDataPage || std::string(bytes_.begin() + static_cast<long>(at) + 4, bytes_.begin() + static_cast<long>(at) + 8) == "LVAL")
      continue;
    auto owner = byDefinition.find(u32(at + 4));
    if (owner != byDefinition.end()) tables_[owner->second].dataPages.push_back(p);
  }
}

std::vector<Change> JetFile::definitionCounts() const {
  struct Field {
    const char* what;
    size_t at;
    int delta;
  };
  static const Field fields[] = {
      {"row count + 1", 16, 1},         {"row count - 1", 16, -1},        {"row count, high byte", 19, 0x80},
      {"columns ever made - 1", 41, -1}, {"variable columns + 1", 43, 1},  {"variable columns - 1", 43, -1},
      {"columns + 1", 45, 1},            {"columns - 1", 45, -1},          {"real indexes + 1", 51, 1},
      {"usage map row + 1", 55, 1},      {"usage map page + 1", 56, 1},    {"free space map row + 1", 59, 1},
  };
  std::vector<Change> out;
  for (const Table& t : tables_)
    for (const Field& f : fields)
      out.push_back(add("definition " + pageName(t.definition) + ": " + f.what, t.definition * kPageSize + f.at, f.delta));
  return out;
}

std::vector<Change> JetFile::columnEntries() const {
  std::vector<Change> out;
  std::map<unsigned char, int> taken;  // columns changed so far, by type
  for (const Table& t : tables_) {
    for (size_t c = 0; c < t.columns.size(); ++c) {
      const size_t e = t.columns[c];
      const unsigned char type = bytes_[e];
      if (taken[type]++ >= 3) continue;
      const bool fixed = bytes_[e + 15] & 0x01;
      const std::string name = "definition " + pageName(t.definition) + ", column " + std::to_string(c) + " (type " +
                               std::to_string(type) + "): ";
      out.push_back(flip(name + "number", e + 5, 0x01));
      out.push_back(flip(name + "fixed flag", e + 15, 0x01));
      out.push_back(flip(name + "length", e + 23, 0x01));
      if (fixed && type != 0x01) out.push_back(flip(name + "place in the row", e + 21, 0x01));
      if (!fixed) out.push_back(flip(name + "variable slot", e + 7, 0x01));
      out.push_back(add(name + "name length + 2", t.nameLengths[c], 2));
    }
  }
  return out;
}

std::vector<Change> JetFile::dataPageHeaders() const {
  std::vector<Change> out;
  for (const Table& t : tables_) {
    std::set<uint32_t> chosen;
    if (!t.dataPages.empty()) chosen = {t.dataPages.front(), t.dataPages.back()};
    for (uint32_t p : chosen) {
      const size_t at = p * kPageSize;
      const std::string name = "data " + pageName(p) + " of definition " + pageName(t.definition) + ": ";
      out.push_back(add(name + "row count + 1", at + 12, 1));
      if (u16(at + 12) > 0) out.push_back(add(name + "row count - 1", at + 12, -1));
      for (size_t owner : {at + 4, at + 6}) out.push_back(flip(name + "owner byte " + std::to_string(owner - at), owner, 0x01));
      out.push_back(flip(name + "free space", at + 2, 0x01));
    }
  }
  return out;
}

std::vector<Change> JetFile::usageMaps() const {
  std::vector<Change> out;
  for (const Table& t : tables_) {
    const size_t m = t.mapStart;
    const std::string name = "usage map of definition " + pageName(t.definition) + ": ";
    if (t.mapEnd < m + 5) continue;
    out.push_back(flip(name + "kind", m, 0x01));
    if (bytes_[m] != 0) continue;  // a list of bitmap pages; its entries are page numbers
    out.push_back(add(name + "first page + 1", m + 1, 1));
    size_t first = 0, last = 0;
    bool any = false;
    for (size_t bit = 0; bit < (t.mapEnd - m - 5) * 8; ++bit)
      if (bytes_[m + 5 + bit / 8] & (1u << (bit % 8))) {
        if (!any) first = bit;
        last = bit;
        any = true;
      }
    if (any) out.push_back(flip(name + "first page's bit", m + 5 + first / 8, static_cast<unsigned char>(1u << (first % 8))));
    if (last + 1 < (t.mapEnd - m - 5) * 8)
      out.push_back(flip(name + "bit after the last page", m + 5 + (last + 1) / 8, static_cast<unsigned char>(1u << ((last + 1) % 8))));
  }
  return out;
}

}  // namespace jet_places
