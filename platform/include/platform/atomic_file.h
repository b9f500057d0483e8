// Files replaced whole: written to a temporary name in the same folder,
// synced, renamed over the old one and the folder synced, so a kill or a
// power loss leaves the old contents or the new, never a part.
#pragma once
#include <cstddef>
#include <string>

namespace plat {

// False with *error (the file and the reason) when any step fails; the old
// file is then as it was. A symbolic link at `path` is replaced, not followed.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size,
                         std::string* error = nullptr);

}  // namespace plat
