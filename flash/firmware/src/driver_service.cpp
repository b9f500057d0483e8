#include "firmware/driver_service.h"

#include <chrono>
#include <mutex>
#include <set>
#include <vector>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/driver_device.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"

namespace brim {

namespace {
constexpr int kPolls = 10;
constexpr uint32_t kPollMs = 1000;

void RealSleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Services this process installed and started on the system's own manager.
std::mutex g_ensuredLock;
std::set<std::string>& Ensured() {
  static std::set<std::string> names;
  return names;
}
}  // namespace

DriverService::DriverService()
    : ownedManager_(new plat::FileServiceManager()), manager_(ownedManager_.get()), sleep_(RealSleep) {}

DriverService::DriverService(plat::ServiceManager& manager, SleepFn sleep)
    : manager_(&manager), sleep_(sleep ? std::move(sleep) : SleepFn(RealSleep)) {}

DriverService::~DriverService() { CloseDevice(); }

int DriverService::EnsureDriver(const std::string& devicePath, const std::string& serviceName,
                                const std::string& driverFile) {
  // Once per run: a second install would load a second module and drop
  // what the first holds (the machine among it).
  const std::string key = plat::ToUpper(serviceName);
  if (ownedManager_) {
    std::lock_guard<std::mutex> guard(g_ensuredLock);
    if (Ensured().count(key) && OpenDevice(devicePath)) return 1;
  }
  const int ok = EnsureAfresh(devicePath, serviceName, driverFile);
  if (ok && ownedManager_) {
    std::lock_guard<std::mutex> guard(g_ensuredLock);
    Ensured().insert(key);
  }
  return ok;
}

int DriverService::EnsureAfresh(const std::string& devicePath, const std::string& serviceName,
                           const std::string& driverFile) {
  // A stopped service gets a fresh copy of the driver file; creating the
  // existing service again fails harmlessly.
  if (StopDriver(serviceName)) InstallDriver(driverFile, serviceName);
  if (OpenDevice(devicePath)) return 1;
  if (!StartDriver(serviceName)) {
    if (!InstallDriver(driverFile, serviceName)) return 0;
    if (!StartDriver(serviceName)) return 0;
  }
  return OpenDevice(devicePath);
}

int DriverService::OpenDevice(const std::string& devicePath) {
  plat::RegisterDriverDevices();
  uint32_t err = 0;
  device_ = plat::OpenDevice(devicePath, plat::GENERIC_READ, &err);
  return device_ ? 1 : 0;
}

void DriverService::CloseDevice() { device_.reset(); }

int DriverService::StartDriver(const std::string& serviceName) {
  plat::ScHandle scm = manager_->OpenSCManager(plat::SC_MANAGER_ALL_ACCESS);
  if (!scm) return Fail("Could not open Service Control Manager");
  plat::ScHandle svc = manager_->OpenService(scm, serviceName, plat::SERVICE_ALL_ACCESS);
  if (!svc) {
    manager_->CloseServiceHandle(scm);
    return Fail("Open Service Failed");
  }
  int result = 0;
  plat::ServiceStatus status;
  if (manager_->QueryServiceStatus(svc, &status) && status.currentState == plat::SERVICE_RUNNING) {
    result = 1;
  } else if (!manager_->StartService(svc)) {
    Fail("Could not StartService.");
  } else {
    // A service that is already running needs no wait; otherwise poll once a second.
    auto running = [&] {
      return manager_->QueryServiceStatus(svc, &status) && status.currentState == plat::SERVICE_RUNNING;
    };
    result = running() ? 1 : 0;
    for (int poll = 0; poll < kPolls && !result; ++poll) {
      sleep_(kPollMs);
      if (running()) result = 1;
    }
    if (!result) Fail("Could not StartService and time out.");
  }
  manager_->CloseServiceHandle(svc);
  manager_->CloseServiceHandle(scm);
  return result;
}

int DriverService::StopDriver(const std::string& serviceName) {
  plat::ScHandle scm = manager_->OpenSCManager(plat::SC_MANAGER_ALL_ACCESS);
  if (!scm) return Fail("Could not open Service Control Manager");
  plat::ScHandle svc = manager_->OpenService(scm, serviceName, plat::SERVICE_ALL_ACCESS);
  if (!svc) {
    manager_->CloseServiceHandle(scm);
    return Fail("Could not open Service");
  }
  int result = 0;
  plat::ServiceStatus status;
  if (manager_->QueryServiceStatus(svc, &status) && status.currentState == plat::SERVICE_STOPPED) {
    result = 1;
  } else if (!manager_->ControlService(svc, plat::SERVICE_CONTROL_STOP, &status)) {
    Fail("Could not stop Service");
  } else {
    auto stopped = [&] {
      return !manager_->QueryServiceStatus(svc, &status) || status.currentState == plat::SERVICE_STOPPED;
    };
    result = stopped() ? 1 : 0;
    for (int poll = 0; poll < kPolls && !result; ++poll) {
      sleep_(kPollMs);
      if (stopped()) result = 1;
    }
    if (!result) Fail("Could not stop service.");
  }
  manager_->CloseServiceHandle(svc);
  manager_->CloseServiceHandle(scm);
  return result;
}

int DriverService::InstallDriver(const std::string& driverFile, const std::string& serviceName) {
  if (!plat::FileExists(driverFile)) return Fail("Cannot find the driver file");
  std::string destination = plat::SystemFolder() + "\\drivers\\" + plat::BaseName(driverFile);
  plat::MakeDirectories(plat::DriverFolder());
  // The copy replaces the old one whole: a kill never leaves half a module.
  std::vector<uint8_t> module;
  if (!plat::ReadWholeFile(driverFile, module) ||
      !plat::WriteFileAtomically(plat::ResolvePath(destination), module.data(), module.size()))
    return Fail("CopyFile failed.");
  plat::ScHandle scm = manager_->OpenSCManager(plat::SC_MANAGER_ALL_ACCESS);
  if (!scm) return Fail("OpenSCManager() failed.");
  plat::ScHandle svc = manager_->CreateService(
      scm, serviceName, serviceName, plat::SERVICE_ALL_ACCESS, plat::SERVICE_KERNEL_DRIVER,
      plat::SERVICE_DEMAND_START, plat::SERVICE_ERROR_NORMAL, plat::ResolvePath(destination));
  int result = 0;
  if (!svc) {
    Fail("CreateService Failed.");
  } else {
    manager_->CloseServiceHandle(svc);
    result = 1;
  }
  manager_->CloseServiceHandle(scm);
  return result;
}

int EnsureFlashDriver(DriverService& service, const std::string& exeDir) {
  int ok = service.EnsureDriver(kFlashDevicePath, plat::kFlashServiceName, exeDir + "flash.sys");
  service.CloseDevice();
  return ok;
}

}  // namespace brim
