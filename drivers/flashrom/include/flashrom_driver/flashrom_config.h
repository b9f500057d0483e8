// The flashrom driver module's configuration: "flashrom.ini", section
// [FLASHROM], taken from brimlet's own folder, else from the system folder
// (/etc/bios-tools, or $BIOS_TOOLS_CONFIG_DIR). The first file found is the
// whole configuration; its keys are never mixed with another file's.
//
//   PROGRAMMER     libflashrom programmer and its parameters, "name[:params]"
//                  (for example "internal" or "dummy:emulate=W25Q128FV,image=F")
//   CHIP           chip name to probe for (optional; default: any)
//   ALLOWINTERNAL  1 lets the board's internal programmer be used
//   FLAG           FLAG word of the ROM information (layout bits 0x08/0x10)
//   BOOTBLOCK      ROM offset of the boot block (default: the last 64 KiB)
//   BOOTBLOCKSIZE  its size (default 0x10000)
//   WSBI           value of the interface check (default 0x0100)
//   BRAND          brand code of the model query (default 0x564D)
//   ROMTYPE        flash ROM type text (default: the chip libflashrom found)
//   IGNORELOADDEFAULTS  1 programs even when setup defaults are asked for
//                  (the wish is then dropped); by default such a request is
//                  refused, as the module cannot load them.
// The setup password answer is fixed: no password is set.
// Numbers are decimal or 0x-prefixed hex.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace frd {

constexpr const char* kConfigFileName = "flashrom.ini";
constexpr const char* kConfigDirVariable = "BIOS_TOOLS_CONFIG_DIR";
constexpr const char* kSystemConfigDir = "/etc/bios-tools";
constexpr uint32_t kBlock = 0x10000;

struct FlashromConfig {
  std::string path;         // the file it came from
  std::string programmer;   // libflashrom programmer name
  std::string parameters;   // its parameters, "" for none
  std::string chip;         // "" probes for any chip
  uint32_t flag = 0;
  bool bootBlockGiven = false;  // false: the last bootBlockSize bytes
  uint32_t bootBlockOffset = 0;
  uint32_t bootBlockSize = kBlock;
  uint32_t wsbi = 0x0100;
  uint32_t brand = 0x564D;
  std::string romType;
  bool ignoreLoadDefaults = false;
};

// Candidate files in search order: exeDir's, then the system folder's.
std::vector<std::string> ConfigCandidates(const std::string& exeDir);

// Reads the first candidate that exists. False with *reason when there is
// none, when it is broken (no PROGRAMMER, no FLAG, a number that is not one),
// or when it names the internal programmer without ALLOWINTERNAL=1.
bool LoadFlashromConfig(const std::vector<std::string>& candidates, FlashromConfig* config,
                        std::string* reason);

}  // namespace frd
