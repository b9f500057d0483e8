// The General page's two information reports: what BIOS is in the machine
// and what the loaded new image is.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "image/bios_image.h"

namespace brim {

// A list of the General page as the reports write into it.
class InfoList {
 public:
  virtual ~InfoList() = default;
  virtual void Clear() = 0;
  virtual int LineCount() const = 0;
  // Appends in the information colours (dark blue on the window background).
  virtual int AddInfoLine(const std::string& text) = 0;
  // Inserts at index (-1 appends) in the window's own colours.
  virtual int InsertMessageLine(int index, const std::string& text) = 0;
};

constexpr size_t kMaxInfoLineChars = 99;

// Lines of the ROM report: the information lines, and the flash ROM type
// line ("" when the type text is empty), which goes in the message colours.
struct RomInfoLines {
  std::vector<std::string> info;
  std::string flashRomType;
};

// smbiosVersion is the installed BIOS's version as the system reports it;
// only the Quorvel layout uses it.
RomInfoLines BuildRomInfoLines(const BiosImage& rom, const std::string& smbiosVersion);
std::vector<std::string> BuildNewImageInfoLines(const BiosImage& image);

// Replaces the list's contents with the current ROM image's report.
int ShowRomInfo(InfoList& list);
// Replaces the list's contents with the new image's report.
int ShowNewImageInfo(InfoList& list);

// The BIOS version of the SMBIOS tables: bios_version under
// $BIOS_TOOLS_DMI_ROOT, else /sys/class/dmi/id; "" when unreadable.
std::string SmbiosBiosVersion();

}  // namespace brim
