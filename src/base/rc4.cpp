#include "base/rc4.h"

#include <utility>

namespace base {

void rc4(const unsigned char* key, size_t keyLength, unsigned char* data, size_t length) {
  unsigned char s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
  for (size_t i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % keyLength]) & 0xff;
    std::swap(s[i], s[j]);
  }
  for (size_t k = 0, i = 0, j = 0; k < length; ++k) {
    i = (i + 1) & 0xff;
    j = (j + s[i]) & 0xff;
    std::swap(s[i], s[j]);
    data[k] ^= s[(s[i] + s[j]) & 0xff];
  }
}

}  // namespace base
