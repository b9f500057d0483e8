// Service control manager stand-in. Service records are INI files in the
// state folder; starting a kernel-driver service loads and checks its
// module; the device table serves a running driver's devices from it.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/driver_module.h"

namespace plat {

using ScHandle = uintptr_t;  // 0 = invalid

constexpr uint32_t SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr uint32_t SERVICE_ALL_ACCESS = 0xF01FF;
constexpr uint32_t SERVICE_KERNEL_DRIVER = 0x1;
constexpr uint32_t SERVICE_DEMAND_START = 0x3;
constexpr uint32_t SERVICE_ERROR_NORMAL = 0x1;
constexpr uint32_t SERVICE_CONTROL_STOP = 0x1;

constexpr uint32_t SERVICE_STOPPED = 1;
constexpr uint32_t SERVICE_START_PENDING = 2;
constexpr uint32_t SERVICE_STOP_PENDING = 3;
constexpr uint32_t SERVICE_RUNNING = 4;

constexpr uint32_t ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr uint32_t ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr uint32_t ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr uint32_t ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr uint32_t ERROR_SERVICE_EXISTS = 1073;

struct ServiceStatus {
  uint32_t serviceType = 0;
  uint32_t currentState = 0;
};

// The calls a program makes of the service control manager.
class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  virtual ScHandle OpenSCManager(uint32_t access) = 0;
  virtual ScHandle OpenService(ScHandle manager, const std::string& name, uint32_t access) = 0;
  virtual ScHandle CreateService(ScHandle manager, const std::string& name,
                                 const std::string& displayName, uint32_t access,
                                 uint32_t serviceType, uint32_t startType, uint32_t errorControl,
                                 const std::string& binaryPath) = 0;
  virtual bool StartService(ScHandle service) = 0;
  virtual bool ControlService(ScHandle service, uint32_t control, ServiceStatus* status) = 0;
  virtual bool QueryServiceStatus(ScHandle service, ServiceStatus* status) = 0;
  virtual bool CloseServiceHandle(ScHandle handle) = 0;
  // Win32 error of the last failed call.
  virtual uint32_t LastError() const = 0;
};

// The stand-in: records under StateFolder()/services, one "<name>.ini" each.
// Not available in the 9x personality (OpenSCManager fails there).
class FileServiceManager : public ServiceManager {
 public:
  // Checks that a driver file can be loaded (false with *lastError); the
  // default loads it as a DriverModule and keeps it for the device table.
  using ModuleLoader = std::function<bool(const std::string& path, uint32_t* lastError)>;
  FileServiceManager();
  explicit FileServiceManager(ModuleLoader loader);

  ScHandle OpenSCManager(uint32_t access) override;
  ScHandle OpenService(ScHandle manager, const std::string& name, uint32_t access) override;
  ScHandle CreateService(ScHandle manager, const std::string& name, const std::string& displayName,
                         uint32_t access, uint32_t serviceType, uint32_t startType,
                         uint32_t errorControl, const std::string& binaryPath) override;
  bool StartService(ScHandle service) override;
  bool ControlService(ScHandle service, uint32_t control, ServiceStatus* status) override;
  bool QueryServiceStatus(ScHandle service, ServiceStatus* status) override;
  bool CloseServiceHandle(ScHandle handle) override;
  uint32_t LastError() const override { return lastError_; }

 private:
  bool Fail(uint32_t error) {
    lastError_ = error;
    return false;
  }
  const std::string* ServiceOf(ScHandle handle);

  ModuleLoader loader_;
  std::map<ScHandle, std::string> handles_;  // service handles -> name ("" for the manager)
  ScHandle next_ = 1;
  uint32_t lastError_ = 0;
};

// Where the records live: StateFolder() + "/services".
std::string ServiceRecordFolder();
// State and driver path of a recorded service; false when there is no record.
bool ReadServiceRecord(const std::string& name, uint32_t* state, std::string* binaryPath);

// The loaded module of a running kernel-driver service in this process:
// loaded by StartService, or on first use when another process started it.
// nullptr when the service is not running or its module cannot be loaded.
std::shared_ptr<DriverModule> RunningDriverModule(const std::string& serviceName,
                                                  uint32_t* lastError);

}  // namespace plat
