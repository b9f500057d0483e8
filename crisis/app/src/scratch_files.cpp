#include "crisis_app/scratch_files.h"

#include <algorithm>

#include "platform/file_system.h"

namespace crisis {

void ScratchFiles::Keep(const std::string& to) {
  for (const std::string& p : placed_)
    if (plat::EqualsNoCase(p, to)) return;  // already ours: nothing of the user's to keep
  if (plat::FileExists(to)) {
    Kept k;
    k.name = plat::BaseName(plat::ResolvePath(to));
    if (plat::ReadWholeFile(to, k.bytes)) kept_.push_back(std::move(k));
  }
  placed_.push_back(to);
}

bool ScratchFiles::Bring(const std::string& from, const std::string& to) {
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(from, bytes)) return false;
  Keep(to);
  return plat::WriteWholeFile(to, bytes.data(), bytes.size());
}

bool ScratchFiles::Write(const std::string& to, const std::string& data) {
  Keep(to);
  return plat::WriteWholeFile(to, data.data(), data.size());
}

void ScratchFiles::Restore() {
  for (const std::string& p : placed_) plat::DeleteFile(p);
  for (const Kept& k : kept_) plat::WriteWholeFile(k.name, k.bytes.data(), k.bytes.size());
  placed_.clear();
  kept_.clear();
}

}  // namespace crisis
