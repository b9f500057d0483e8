#include "image/info_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/image_layout.h"

namespace brim {

namespace {

// Text of a fixed char field that need not be NUL-terminated.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

std::string Hex(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", value);
  return buf;
}

std::string Cut(std::string line) {
  if (line.size() > kMaxInfoLineChars) line.resize(kMaxInfoLineChars);
  return line;
}

std::string DateValue(const BiosImage& image) {
  std::string value = FieldText(image.dateText);
  if (LayoutOf(image.flagWord) == ImageLayout::kQuorvel) value += " " + FieldText(image.buildTimeText);
  return value;
}

const char* DateLabel(const BiosImage& image) {
  return LayoutOf(image.flagWord) == ImageLayout::kQuorvel ? " BIOS Build Time :  " : " Release Date   :  ";
}

}  // namespace

RomInfoLines BuildRomInfoLines(const BiosImage& rom, const std::string& smbiosVersion) {
  const ImageLayout layout = LayoutOf(rom.flagWord);
  const bool quorvel = layout == ImageLayout::kQuorvel;
  RomInfoLines lines;
  lines.info.push_back(Cut(std::string(" BIOS Vendor      :  ") + LayoutName(layout)));
  lines.info.push_back(Cut(" BIOS Version      :  " + (quorvel ? smbiosVersion : FieldText(rom.versionText))));
  if (!quorvel) lines.info.push_back(Cut(" BIOS Serial No :  " + IdentityText(rom)));
  lines.info.push_back(Cut(DateLabel(rom) + DateValue(rom)));
  lines.info.push_back(Cut(" CheckSum       :  0x" + Hex(rom.checksum)));
  lines.info.push_back(Cut(" ROM Physical Address : 0x" + Hex(rom.baseAddress)));
  const std::string type = FieldText(rom.flashRomType);
  if (!type.empty()) lines.flashRomType = Cut(" Flash ROM Type :  " + type);
  return lines;
}

std::vector<std::string> BuildNewImageInfoLines(const BiosImage& image) {
  std::vector<std::string> lines;
  lines.push_back(Cut(" BIOS Version   : " + FieldText(image.versionText)));
  if (LayoutOf(image.flagWord) != ImageLayout::kQuorvel)
    lines.push_back(Cut(" BIOS Serial No : " + IdentityText(image)));
  lines.push_back(Cut(DateLabel(image) + DateValue(image)));
  lines.push_back(Cut(" CheckSum       : 0x" + Hex(image.checksum)));
  return lines;
}

int ShowRomInfo(InfoList& list) {
  const BiosImage& rom = CurrentRomImage();
  const bool quorvel = LayoutOf(rom.flagWord) == ImageLayout::kQuorvel;
  const RomInfoLines lines = BuildRomInfoLines(rom, quorvel ? SmbiosBiosVersion() : std::string());
  if (list.LineCount() > 0) list.Clear();
  for (const std::string& line : lines.info) list.AddInfoLine(line);
  if (!lines.flashRomType.empty()) list.InsertMessageLine(-1, lines.flashRomType);
  return 1;
}

int ShowNewImageInfo(InfoList& list) {
  list.Clear();
  for (const std::string& line : BuildNewImageInfoLines(NewImage())) list.AddInfoLine(line);
  return 1;
}

std::string SmbiosBiosVersion() {
  const char* root = std::getenv("BIOS_TOOLS_DMI_ROOT");
  const std::string path = std::string(root && *root ? root : "/sys/class/dmi/id") + "/bios_version";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "";
  char buf[128];
  const size_t n = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  std::string value(buf, n);
  const size_t end = value.find_first_of("\r\n");
  if (end != std::string::npos) value.resize(end);
  return value;
}

}  // namespace brim
