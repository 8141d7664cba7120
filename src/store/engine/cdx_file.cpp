// The sortable 8-byte form of numeric and date keys: the IEEE 754 double in
// big-endian byte order with the sign bit set for values from zero up and all
// bits inverted for negative values, so that unsigned byte order equals
// numeric order. A date key is its Julian day number stored the same way.
#include <cstring>

#include "store/engine/cdx_file.h"

namespace store::cdx {

std::string encodeNumericKey(double value) {
  if (value == 0.0) value = 0.0;  // -0 sorts with +0
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
  std::string key(8, '\0');
  for (int i = 0; i < 8; ++i) key[i] = static_cast<char>(bits >> (56 - 8 * i));
  return key;
}

std::string encodeDateKey(int32_t julianDay) { return encodeNumericKey(static_cast<double>(julianDay)); }

double decodeNumericKey(std::string_view key) {
  if (key.size() != 8) return 0.0;
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | static_cast<unsigned char>(key[i]);
  bits = (bits >> 63) ? bits & ~(uint64_t(1) << 63) : ~bits;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace store::cdx
