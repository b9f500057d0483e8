#include "app/automatic_image.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/flash_settings.h"
#include "image/image_loader.h"
#include "image/package_search.h"
#include "platform/file_system.h"

namespace brim {

namespace {
// "HOLB" then "RIKE". The two are never written side by side in this
// program, or its own file would seem to carry a package.
constexpr size_t kTagLength = 8;
}  // namespace

bool FileLacksPackage(const std::string& path) {
  std::FILE* f = plat::OpenFile(path, "rb");
  if (!f) return false;
  // Chunks overlap by a tag length less one byte, so a tag across a chunk edge is seen.
  std::vector<uint8_t> buf(1 << 20);
  size_t kept = 0;
  bool found = false;
  for (;;) {
    const size_t n = std::fread(buf.data() + kept, 1, buf.size() - kept, f);
    const size_t have = kept + n;
    if (n > 0) found = FindPackageHeader(buf.data(), have).found;
    if (found || n == 0) break;
    kept = std::min(have, kTagLength - 1);
    std::memmove(buf.data(), buf.data() + have - kept, kept);
  }
  const bool readWhole = !std::ferror(f);
  std::fclose(f);
  return readWhole && !found;
}

bool AutomaticImageAvailable() {
  const FlashSettings& s = Settings();
  if (s.ftpFileGiven) return true;
  if (s.fileFromCommandLine && !s.commandLineFileName.empty()) return true;
  return !FileLacksPackage(AutomaticLoadPath());
}

}  // namespace brim
