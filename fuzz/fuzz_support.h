// What every harness shares: a scratch folder of its own for the files it
// hands to a reader, and a way to report a broken promise as a crash.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/scratch_folder.h"

namespace fuzzing {

// One folder per process, removed when it ends normally.
inline const std::filesystem::path& scratch() {
  static testing_support::ScratchFolder folder("fuzz");
  return folder.path();
}

inline void writeFile(const std::filesystem::path& file, const void* data, size_t size) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), std::streamsize(size));
}
inline void writeFile(const std::filesystem::path& file, const std::string& bytes) {
  writeFile(file, bytes.data(), bytes.size());
}

// A reader or writer did not keep its word (not merely refused an input):
// stops the run so that the fuzzer keeps the input.
[[noreturn]] inline void broken(const std::string& what) {
  std::fprintf(stderr, "broken promise: %s\n", what.c_str());
  std::abort();
}

}  // namespace fuzzing
