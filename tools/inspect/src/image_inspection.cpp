#include "inspect/image_inspection.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/flash_settings.h"
#include "image/bios_image.h"
#include "image/image_layout.h"
#include "image/image_loader.h"
#include "image/load_host.h"
#include "image/package_search.h"
#include "inspect/layout_detection.h"
#include "platform/file_system.h"
#include "tool_cli/bounded_file.h"

namespace inspect {

namespace {

using brim::RegionId;

struct AreaName {
  RegionId id;
  const char* name;
  const char* tag;
};

constexpr AreaName kAreas[] = {
    {brim::kRegionBuCode, "BU code", "BUA!"},
    {brim::kRegionBootBlock, "boot block", ""},
    {brim::kRegionDmi, "DMI", "DMI"},
    {brim::kRegionEscd, "ESCD", "A!NV/A!ES"},
    {brim::kRegionPassword, "password", "A!PS"},
    {brim::kRegionScPassword, "smart card password", "A!SC"},
    {brim::kRegionInvertEeprom, "invert EEPROM", "A!KA"},
    {brim::kRegionMasterLogo, "master logo", "A!42"},
    {brim::kRegionSlaveLogo, "slave logo", "A!43"},
    {brim::kRegionKbc, "KBC firmware", "A!KB"},
    {brim::kRegionCharger, "charger EEPROM", "A!KC"},
    {brim::kRegionNvs, "NVS", "A!KN"},
    {brim::kRegionBbvl, "BBVL+ firmware", "A!MP"},
    {brim::kRegionNs591, "NS591 KBC parameters", "A!NS"},
    {brim::kRegionPanel, "panel table", "A!PA"},
    {brim::kRegionFingerprint, "fingerprint", "A!PF"},
    {brim::kRegionThermal, "thermal table", "A!TH"},
    {brim::kRegionPowerEvent, "power event", "A!PE"},
};

constexpr const char* kSettingNames[29] = {
    "KEEPDMIDATA",      "KEEPPASSWORD",     "KEEPSCPASSWORD",    "KEEPMASTERLOGO",
    "KEEPSLAVELOGO",    "KEEPBOOTBLOCK",    "KEEPESCDDATA",      "KEEPBUCODEDATA",
    "KEEPINVERTEEPROM", "KEEPCHARGEREEPROM", "KEEPKBC",          "KEEPFINGERPRINT",
    "KEEPNVS",          "KEEPBBVL",         "KEEPNS591KBC",      "KEEPPANELTABLE",
    "KEEPTHERMALTABLE", "VERIFYRELEASEDATE", "VERIFYMODELID",    "VERIFYCHECKSUM",
    "VERIFYSIZE",       "VerifyPASSWORD",   "VerifyPOWER",       "SHOWLOGO",
    "REBOOT",           "SHUTDOWN",         "LOADDEFAULTCMOS",   "EXECUTEFROMNEWBIOS",
    "FORCEREADINI"};

class FixedFile : public brim::LoadHost {
 public:
  explicit FixedFile(std::string path) : path_(std::move(path)) {}
  bool ChooseImageFile(std::string& path) override {
    path = path_;
    return true;
  }
  void SaveDialogData() override {}
  void NewImageLoaded() override {}

 private:
  std::string path_;
};

}  // namespace

Inspection InspectImage(const InspectOptions& given) {
  Inspection out;
  InspectOptions options = given;
  std::vector<uint8_t> file;
  if (!toolcli::ReadBoundedFile(options.path, kInspectSizeLimit, file, out.refusal)) return out;
  // The same search the loader makes: the last header decides.
  const brim::PackageMatch package = brim::FindPackageHeader(file.data(), file.size());
  const bool elf = file.size() >= 4 && std::memcmp(file.data(), "\x7f" "ELF", 4) == 0;
  if (elf && !package.found) {
    out.refusal = options.path + ": a program file without a BIOS image package";
    return out;
  }
  out.programFile = elf;
  const size_t imageStart = package.found ? std::min(package.imageOffset, file.size()) : 0;
  if (options.flagGiven) {
    out.layoutReason = "--flag";
  } else {
    LayoutGuess guess = DetectLayout(file.data() + imageStart, file.size() - imageStart);
    options.flagWord = guess.flagWord;
    out.layoutReason = guess.reason;
  }
  out.flagWord = options.flagWord;
  out.layout = brim::LayoutName(brim::LayoutOf(options.flagWord));
  out.fileSize = file.size();
  file = {};

  brim::Settings() = brim::FlashSettings{};
  brim::Settings().silentMode = 1;
  brim::ImageStatus() = 0;
  brim::BiosImage& rom = brim::CurrentRomImage();
  rom = brim::BiosImage{};
  rom.baseAddress = options.baseAddress;
  rom.flagWord = options.flagWord;
  // A ROM as large as the file, so the loader's buffer holds all of it.
  rom.size = static_cast<uint32_t>(out.fileSize > 0xFFFFFFFFu - brim::kNewImageSlack
                                       ? 0xFFFFFFFFu - brim::kNewImageSlack
                                       : out.fileSize);
  brim::BiosImage& img = brim::NewImage();
  img = brim::BiosImage{};
  img.flagWord = options.flagWord;
  // A buffer as large as the file: the loader's own would add room for a
  // package header in front of a ROM-sized image, 2 MiB to clear and drop
  // on every file.
  if (!brim::AllocateImageBuffer(img, std::max<size_t>(rom.size, 1))) {
    out.refusal = options.path + ": no memory for " + std::to_string(rom.size) + " bytes";
    return out;
  }

  FixedFile host(options.path);
  brim::LoadHost* previous = brim::SetLoadHost(&host);
  brim::LoadNewImage();
  brim::SetLoadHost(previous);
  out.errorCode = brim::Settings().errorCode;
  out.loaded = brim::Settings().imageLoaded != 0;
  if (!out.loaded) return out;

  // The header as the loader saw it, for display.
  const uint8_t* start = img.buffer.data();
  size_t read = static_cast<size_t>(img.bytes - start) + img.size;
  brim::PackageMatch m = brim::FindPackageHeader(start, read);
  out.packageHeader = m.found;
  out.headerOffset = m.headerOffset;
  out.imageOffset = static_cast<uint32_t>(img.bytes - start);
  if (!m.settingsOffsets.empty()) {
    out.settingsText.assign(reinterpret_cast<const char*>(start + m.settingsOffsets.back()),
                            brim::kPackageSettingsCount);
    for (size_t i = 0; i < 29; ++i)
      if (out.settingsText[i] == '1') out.settingsOn.push_back(kSettingNames[i]);
  }
  out.imageSize = img.size;
  out.modelCode = img.modelCode[0] ? std::string(img.modelCode, strnlen(img.modelCode, 4)) : "";
  // The fixed text fields need not end in a NUL.
  out.versionText.assign(img.versionText, strnlen(img.versionText, sizeof img.versionText));
  out.serial = brim::IdentityText(img).substr(0, kSerialFieldChars);
  out.dateText.assign(img.dateText, strnlen(img.dateText, sizeof img.dateText));
  out.buildTimeText.assign(img.buildTimeText, strnlen(img.buildTimeText, sizeof img.buildTimeText));
  out.releaseNumber = img.releaseNumber;
  out.buildTimeNumber = img.buildTimeNumber;
  out.checksum = img.checksum;
  out.flashModule = brim::OffsetInImage(img, img.flashModule);
  out.bootBlockTagSeen = img.bootBlockTagSeen;
  out.bootBlockByte = img.bootBlockByte;
  out.fSegmentBank = img.fSegmentBank;
  out.imageStatus = brim::ImageStatus();
  for (const AreaName& a : kAreas) {
    const brim::RegionPair& pair = img.Region(a.id);
    if (!brim::RangeInImage(img, pair.data, pair.length)) continue;
    out.areas.push_back({a.name, a.tag, static_cast<uint32_t>(brim::OffsetInImage(img, pair.data)),
                         pair.length});
  }
  return out;
}

bool ParseNumber(const std::string& text, uint32_t& value) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  size_t i = hex ? 2 : 0;
  if (i >= text.size()) return false;
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFu) return false;
  }
  value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace inspect
