// RC4, with which Access (Jet) masks the middle of a database header and every
// page of an encoded database; applying it twice gives the bytes back.
#pragma once
#include <cstddef>

namespace base {

void rc4(const unsigned char* key, size_t keyLength, unsigned char* data, size_t length);

}  // namespace base
