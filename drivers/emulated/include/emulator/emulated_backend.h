// The emulated machine as a flash backend: its description, its ROM file
// and its faults. Serves either the machine of MachineFolder(), read again
// only when its files change, or a machine it is given.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

#include "driver_protocol/backend.h"
#include "emulator/flash_rom.h"
#include "emulator/machine_config.h"

namespace emu {

class EmulatedBackend : public drv::Backend {
 public:
  using SleepFn = std::function<void(uint32_t ms)>;
  explicit EmulatedBackend(SleepFn sleep = nullptr);

  // From now on serves this machine instead of MachineFolder()'s.
  void UseMachine(const MachineConfig& machine);

  uint32_t Prepare(std::string* why) override;
  drv::FixedAnswers Fixed() override;
  uint8_t Describe(drv::ChipDescription* d, std::string* why) override;
  bool Read(uint32_t offset, uint32_t length, uint8_t* to, drv::Progress& progress,
            std::string* why) override;
  bool Program(const drv::ProgramJob& job, drv::Progress& progress, uint8_t* ah,
               std::string* why) override;
  std::string HoldFile() override;
  uint8_t InjectedAh(const char* function) override;
  uint32_t InjectedSystemError(uint32_t code) override;

  // Work done so far, for tests that count it.
  uint32_t descriptionLoads() const { return loads_; }
  uint32_t romOpens() const { return rom_.opens(); }

 private:
  struct Stamp {
    std::string folder;
    dev_t iniDevice = 0, romDevice = 0;
    ino_t iniInode = 0, romInode = 0;
    int64_t iniSize = -1, iniTime = 0, romSize = -1;
    bool operator==(const Stamp& o) const;
  };
  static Stamp StampOf(const std::string& folder, const std::string& romPath);
  bool OpenRom(std::string* why);

  SleepFn sleep_;
  bool given_ = false;
  bool loaded_ = false;
  Stamp stamp_;
  MachineConfig machine_;
  FlashRom rom_;
  uint32_t loads_ = 0;
};

}  // namespace emu
