// SHA-256 of a file, so that a report names exactly which source it read.
#pragma once
#include <cstdint>
#include <string>

namespace run {

// The processor's own SHA-256 instructions where it has them (several times
// faster on a source of hundreds of megabytes), or plain code anywhere.
enum class DigestCode { Fastest, Portable };

// Lower-case hexadecimal SHA-256 of the file's bytes and its size; false when
// it cannot be read.
bool fileDigest(const std::string& path, std::string& sha256, uint64_t& bytes, DigestCode code = DigestCode::Fastest);

}  // namespace run
