// The image file named with /f: read into the new-image buffer: headers,
// settings and regions of whatever the file holds, never past the bound.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/flash_settings.h"
#include "image/bios_image.h"
#include "image/image_loader.h"
#include "image/load_host.h"
#include "fuzz_support.h"

namespace {
// A small ROM keeps the buffer (ROM size + 2 MiB) small enough to reuse.
constexpr uint32_t kRomSize = 0x10000;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const uint32_t kFlags[] = {0x00, 0x08, 0x10, 0x18};
  const std::string path = fuzz::PutFile("new.rom", data + 1, size - 1);

  brim::SetLoadHost(nullptr);
  brim::FlashSettings& s = brim::Settings();
  s = brim::FlashSettings{};
  s.silentMode = 1;
  s.autoFlashPending = 1;
  s.fileFromCommandLine = 1;
  s.commandLineFileName = path;
  s.fileNameRelative = 0;

  brim::BiosImage& rom = brim::CurrentRomImage();
  rom = brim::BiosImage{};
  rom.size = kRomSize;
  rom.baseAddress = 0xFFFF0000u;
  rom.flagWord = kFlags[data[0] & 3];
  // The buffer is kept between inputs, as it is between loads in brimlet.
  brim::BiosImage& img = brim::NewImage();
  brim::ImageBytes buffer = std::move(img.buffer);
  img = brim::BiosImage{};
  img.buffer = std::move(buffer);
  img.flagWord = rom.flagWord;

  brim::LoadNewImage();

  const size_t capacity = size_t{kRomSize} + brim::kNewImageSlack;
  if (img.buffer.size() != capacity) __builtin_trap();
  if (s.imageLoaded) {
    if (img.bytes < img.buffer.data() || img.bytes > img.buffer.data() + img.buffer.size()) __builtin_trap();
    if (img.size > img.buffer.data() + img.buffer.size() - img.bytes) __builtin_trap();
    if (img.size > size - 1) __builtin_trap();
  }
  return 0;
}
