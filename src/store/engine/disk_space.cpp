#include "store/engine/disk_space.h"

#include <cstdint>
#include <system_error>

namespace store {
namespace {
// Each pass of a run writes on a thread of its own; a full disk one of them
// met is its own to report.
thread_local bool metFullDisk = false;
}  // namespace

bool diskNearlyFull(const std::filesystem::path& path) {
  constexpr std::uintmax_t kNoRoomLeft = 64 * 1024;
  std::error_code ec;
  std::filesystem::path probe = path;
  // The file that failed may be gone already; its folder tells the same.
  if (!std::filesystem::exists(probe, ec) && probe.has_parent_path()) probe = probe.parent_path();
  const std::filesystem::space_info space = std::filesystem::space(probe, ec);
  return !ec && space.available < kNoRoomLeft;
}

void noteFailedWrite(const std::filesystem::path& path) {
  if (diskNearlyFull(path)) metFullDisk = true;
}

bool failedWriteMetFullDisk() { return metFullDisk; }

void forgetFailedWrites() { metFullDisk = false; }

}  // namespace store
