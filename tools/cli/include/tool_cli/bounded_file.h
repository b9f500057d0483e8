// Input files of the tools are read only when they are regular files of at
// most a stated size, so a device (/dev/zero), a pipe or a huge file is
// refused with a reason instead of being read without end.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace toolcli {

constexpr uint64_t kMiB = 1024 * 1024;

// Empty when path names a regular file of at most limit bytes; else why not.
std::string CheckInputFile(const std::string& path, uint64_t limit);

// Reads such a file whole; false with error set (naming the file and the reason).
bool ReadBoundedFile(const std::string& path, uint64_t limit, std::vector<uint8_t>& out,
                     std::string& error);

}  // namespace toolcli
