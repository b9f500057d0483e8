// Region location, checks and merge on arbitrary bytes in each layout.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/flash_settings.h"
#include "core/settings_word.h"
#include "image/bios_image.h"
#include "image/image_checks.h"
#include "image/image_checksum.h"
#include "image/region_locator.h"
#include "image/region_merge.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First byte: layout and whether an image counts as loaded; second: base.
  static const uint32_t kFlags[] = {0x00, 0x08, 0x10, 0x18};
  uint32_t flag = kFlags[data[0] & 3];
  uint32_t base = 0xFFF00000u - uint32_t{data[1]} * 0x10000u;
  brim::FlashSettings& s = brim::Settings();
  s = brim::FlashSettings{};
  s.silentMode = 1;
  s.imageLoaded = (data[0] & 4) ? 0 : 1;
  s.settingsWord = brim::kKeepAllBits | brim::kVerifySize | brim::kVerifyModelId |
                   brim::kVerifyChecksum | brim::kVerifyReleaseDate;
  brim::ImageStatus() = 0;

  brim::BiosImage& rom = brim::CurrentRomImage();
  brim::BiosImage& img = brim::NewImage();
  rom = brim::BiosImage{};
  img = brim::BiosImage{};
  // The ROM is the input cut to its first half, so the two sizes differ.
  rom.buffer.assign(data + 2, data + 2 + (size - 2) / 2);
  rom.bytes = rom.buffer.data();
  rom.size = static_cast<uint32_t>(rom.buffer.size());
  rom.baseAddress = base;
  rom.flagWord = flag;
  img.buffer.assign(data + 2, data + size);
  img.bytes = img.buffer.data();
  img.size = static_cast<uint32_t>(img.buffer.size());
  img.flagWord = flag;

  brim::LocateRegions(rom);
  brim::LocateRegions(img);
  brim::ComputeImageChecksum(img);
  brim::IdentityText(img);
  brim::IdentityText(rom);
  brim::CheckNewImage();
  brim::MergeKeptRegions();
  return 0;
}
