// Installs the flash driver as the demand-start kernel service, keeps the
// installed copy equal to the file beside the program, starts it, and proves
// that its device opens.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/device.h"
#include "platform/service_manager.h"

namespace brim {

constexpr const char* kFlashDevicePath = "\\\\.\\flash";

class DriverService {
 public:
  using SleepFn = std::function<void(uint32_t milliseconds)>;

  // The platform's service manager and real sleeps.
  DriverService();
  // Tests pass their own manager (kept by reference) and sleep.
  DriverService(plat::ServiceManager& manager, SleepFn sleep);
  virtual ~DriverService();
  DriverService(const DriverService&) = delete;
  DriverService& operator=(const DriverService&) = delete;

  // Install, start and probe; leaves the device open on success.
  virtual int EnsureDriver(const std::string& devicePath, const std::string& serviceName,
                           const std::string& driverFile);
  virtual int OpenDevice(const std::string& devicePath);
  virtual void CloseDevice();
  virtual int StartDriver(const std::string& serviceName);
  virtual int StopDriver(const std::string& serviceName);
  virtual int InstallDriver(const std::string& driverFile, const std::string& serviceName);

  const std::string& LastMessage() const { return lastMessage_; }
  bool DeviceIsOpen() const { return device_ != nullptr; }

 private:
  int EnsureAfresh(const std::string& devicePath, const std::string& serviceName,
              const std::string& driverFile);
  int Fail(const char* message) {
    lastMessage_ = message;
    return 0;
  }

  std::unique_ptr<plat::ServiceManager> ownedManager_;
  plat::ServiceManager* manager_;
  SleepFn sleep_;
  std::string lastMessage_;
  std::unique_ptr<plat::Device> device_;
};

// The start-up's driver check (steps 5 and 8): EnsureDriver on "\\.\flash",
// service "flash", exeDir + "flash.sys", then CloseDevice. 1 on success.
int EnsureFlashDriver(DriverService& service, const std::string& exeDir);

}  // namespace brim
