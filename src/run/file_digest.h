// SHA-256 of a file, so that a report names exactly which source it read.
#pragma once
#include <cstdint>
#include <string>

namespace run {

// Lower-case hexadecimal SHA-256 of the file's bytes and its size; false when
// it cannot be read.
bool fileDigest(const std::string& path, std::string& sha256, uint64_t& bytes);

}  // namespace run
