#include "image/save_rom.h"

#include <cstdint>
#include <cstdio>

#include "core/flash_settings.h"
#include "image/bios_image.h"
#include "image/load_host.h"
#include "image/message_list.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace brim {

namespace {
constexpr unsigned kErrorBoxFlags = plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST;
}

bool WriteRomFile(const std::string& path) {
  const BiosImage& rom = CurrentRomImage();
  // Only bytes that lie inside the buffer may be written out.
  if (!rom.bytes || rom.buffer.empty()) return false;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(rom.buffer.data());
  const uintptr_t at = reinterpret_cast<uintptr_t>(rom.bytes);
  if (at < begin || at - begin > rom.buffer.size() || rom.size > rom.buffer.size() - (at - begin)) return false;

  std::FILE* f = plat::OpenFile(path, "wb");
  if (!f) {
    Settings().errorCode = kErrOpenImage;
    plat::MessageBox("Could not open file.", "Brimlet Error", kErrorBoxFlags);
    AppendListLine("Could not open file");
    return false;
  }
  bool ok = std::fwrite(rom.bytes, 1, rom.size, f) == rom.size;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    plat::MessageBox("Write File Error !", "Brimlet Error", kErrorBoxFlags);
    AppendListLine("Write File Error !!");
    return false;
  }
  AppendListLine("Save BIOS file OK !!!");
  return true;
}

void SaveRomToFile() {
  LoadHost* host = CurrentLoadHost();
  std::string path;
  if (!host || !host->ChooseImageFile(path)) return;
  host->SaveDialogData();
  WriteRomFile(path);
}

}  // namespace brim
