#include "emulator/default_machine.h"

#include <cstdlib>
#include <mutex>

#include "imagegen/layouts.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"

namespace emu {

std::string DefaultMachineFolder() { return plat::StateFolder() + "/machine"; }

std::vector<uint8_t> DefaultRom() {
  imagegen::Bytes image = imagegen::BuildReferenceImage();
  image.resize(0x100000);  // the ROM part; the module block behind it is not in the ROM
  return image;
}

bool WriteMachine(const std::string& folder, const std::vector<uint8_t>& rom,
                  const std::vector<std::string>& machineLines) {
  if (!plat::MakeDirectories(folder)) return false;
  std::string ini = "[MACHINE]\n";
  for (const std::string& line : machineLines) ini += line + "\n";
  return plat::WriteWholeFile(folder + "/rom.bin", rom.data(), rom.size()) &&
         plat::WriteWholeFile(folder + "/machine.ini", ini.data(), ini.size());
}

std::string MachineFolder() {
  const char* chosen = std::getenv(kMachineVariable);
  if (chosen && *chosen) return chosen;
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  std::string folder = DefaultMachineFolder();
  if (plat::FileExists(folder + "/rom.bin")) return folder;
  return WriteMachine(folder, DefaultRom(), DefaultMachineLines()) ? folder : std::string();
}

std::vector<std::string> DefaultMachineLines() {
  return {"BASE=0xFFF00000", "FLAG=0x10",    "ROMTYPE=SST 49LF008A", "LOCKBITBLOCK0=0xFFB00000",
          "PASSWORD=none",   "BRAND=0x564D", "SUPPORTED=1",          "BLOCKTIME=20"};
}

}  // namespace emu
