// Which emulated machine the driver serves: the folder named by
// BRIMLET_MACHINE, else a default machine in the state folder, made on first
// use from the bundled sample image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace emu {

constexpr const char* kMachineVariable = "BRIMLET_MACHINE";

// The folder in use; creates the default machine when needed ("" when that fails).
std::string MachineFolder();
std::string DefaultMachineFolder();

// Writes a machine folder: rom.bin and a machine.ini with the given lines
// under [MACHINE] (for example "FLAG=0x10"). Replaces existing files.
bool WriteMachine(const std::string& folder, const std::vector<uint8_t>& rom,
                  const std::vector<std::string>& machineLines);

// The ROM of the default machine: the 1 MiB sample image (Quorvel layout, at 0xFFF00000).
std::vector<uint8_t> DefaultRom();
// The [MACHINE] lines of the default machine.
std::vector<std::string> DefaultMachineLines();

}  // namespace emu
