#include "image/save_rom.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

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

  // The name as the user wrote it, and the system's reason.
  auto named = [&path](int err) {
    return plat::WithSlashes(path) + ": " + (err ? std::strerror(err) : "not all bytes were written");
  };
  std::FILE* f = plat::OpenFile(path, "wb");
  if (!f) {
    const std::string why = named(errno);
    Settings().errorCode = kErrOpenImage;
    plat::MessageBox("Could not open file.\n" + why, "Brimlet Error", kErrorBoxFlags);
    AppendListLine("Could not open file " + why);
    return false;
  }
  errno = 0;
  bool ok = std::fwrite(rom.bytes, 1, rom.size, f) == rom.size;
  int err = ok ? 0 : errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    const std::string why = named(err);
    plat::MessageBox("Write File Error !\n" + why, "Brimlet Error", kErrorBoxFlags);
    AppendListLine("Write File Error !! " + why);
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
