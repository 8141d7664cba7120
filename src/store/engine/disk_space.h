// Whether a failed write met a full disk, judged when it failed.
#pragma once

#include <filesystem>

namespace store {

// Less room left than any table, index or memo write needs.
bool diskNearlyFull(const std::filesystem::path& path);

// Called where a write of the engine fails, before anything it wrote is
// removed: removing a half-written index gives the room back, so a later look
// at the disk would no longer see why the write failed. Remembered for the
// thread that wrote until it is forgotten.
void noteFailedWrite(const std::filesystem::path& path);
bool failedWriteMetFullDisk();
void forgetFailedWrites();

}  // namespace store
