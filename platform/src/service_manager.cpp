#include "platform/service_manager.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/atomic_file.h"
#include "platform/device.h"
#include "platform/file_system.h"
#include "platform/ini_profile.h"
#include "platform/os_personality.h"
#include "platform/system_paths.h"

namespace plat {

namespace {
const char kSection[] = "SERVICE";

std::mutex g_modulesLock;
std::map<std::string, std::shared_ptr<DriverModule>>& LoadedModules() {
  static std::map<std::string, std::shared_ptr<DriverModule>> modules;
  return modules;
}

std::string RecordPath(const std::string& name) {
  return ServiceRecordFolder() + "/" + ToUpper(name) + ".ini";
}

bool WriteState(const std::string& name, uint32_t state) {
  return WritePrivateProfileString(kSection, "STATE", std::to_string(state), RecordPath(name));
}

void Forget(const std::string& name) {
  std::lock_guard<std::mutex> guard(g_modulesLock);
  LoadedModules().erase(ToUpper(name));
}

// A state file must not choose the code brimlet runs: only a module in the
// driver folder, where installing puts its copy, is ever loaded.
bool TrustedModulePath(const std::string& path) {
  const std::string folder = DriverFolder() + "/";
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path.find('/', folder.size()) == std::string::npos && path.find("..") == std::string::npos;
}

bool DefaultCheck(const std::string& name, const std::string& path, uint32_t* err) {
  if (!TrustedModulePath(path)) {
    *err = ERROR_ACCESS_DENIED;
    return false;
  }
  std::shared_ptr<DriverModule> module = DriverModule::Load(path, err);
  if (!module) return false;
  std::lock_guard<std::mutex> guard(g_modulesLock);
  LoadedModules()[ToUpper(name)] = module;
  return true;
}
}  // namespace

std::string ServiceRecordFolder() { return StateFolder() + "/services"; }

bool ReadServiceRecord(const std::string& name, uint32_t* state, std::string* binaryPath) {
  if (name.empty() || name.find_first_of("/\\") != std::string::npos) return false;
  // Only a regular file is a record: a link in the state folder is not followed.
  struct stat st;
  if (::lstat(RecordPath(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // A record without its program or state (an older run killed while it
  // wrote) is no service: it is made again, never fatal.
  const IniSnapshot record(RecordPath(name));
  const std::string path = record.Get(kSection, "BINARYPATH", "", 261);
  const std::string stateText = record.Get(kSection, "STATE", "", 32);
  char* end = nullptr;
  const unsigned long value = std::strtoul(stateText.c_str(), &end, 10);
  if (path.empty() || stateText.empty() || *end != '\0') return false;
  if (state) *state = static_cast<uint32_t>(value);
  if (binaryPath) *binaryPath = path;
  return true;
}

std::shared_ptr<DriverModule> RunningDriverModule(const std::string& serviceName,
                                                  uint32_t* lastError) {
  uint32_t state = 0;
  std::string path;
  if (!ReadServiceRecord(serviceName, &state, &path) || state != SERVICE_RUNNING) {
    Forget(serviceName);
    if (lastError) *lastError = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> guard(g_modulesLock);
    auto it = LoadedModules().find(ToUpper(serviceName));
    if (it != LoadedModules().end()) return it->second;
  }
  if (!TrustedModulePath(path)) {
    if (lastError) *lastError = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  std::shared_ptr<DriverModule> module = DriverModule::Load(path, lastError);
  if (!module) return nullptr;
  std::lock_guard<std::mutex> guard(g_modulesLock);
  auto& slot = LoadedModules()[ToUpper(serviceName)];
  if (!slot) slot = module;
  return slot;
}

FileServiceManager::FileServiceManager() = default;

FileServiceManager::FileServiceManager(ModuleLoader loader) : loader_(std::move(loader)) {}

const std::string* FileServiceManager::ServiceOf(ScHandle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.empty()) return nullptr;
  return &it->second;
}

ScHandle FileServiceManager::OpenSCManager(uint32_t) {
  if (PlatformId() != VER_PLATFORM_WIN32_NT) {
    lastError_ = ERROR_CALL_NOT_IMPLEMENTED;
    return 0;
  }
  if (!MakeDirectories(ServiceRecordFolder())) {
    lastError_ = ERROR_ACCESS_DENIED;
    return 0;
  }
  handles_[next_] = std::string();
  return next_++;
}

ScHandle FileServiceManager::OpenService(ScHandle manager, const std::string& name, uint32_t) {
  auto it = handles_.find(manager);
  if (it == handles_.end() || !it->second.empty()) {
    lastError_ = ERROR_INVALID_HANDLE;
    return 0;
  }
  if (!ReadServiceRecord(name, nullptr, nullptr)) {
    lastError_ = ERROR_SERVICE_DOES_NOT_EXIST;
    return 0;
  }
  handles_[next_] = name;
  return next_++;
}

ScHandle FileServiceManager::CreateService(ScHandle manager, const std::string& name,
                                           const std::string& displayName, uint32_t,
                                           uint32_t serviceType, uint32_t startType,
                                           uint32_t errorControl, const std::string& binaryPath) {
  auto it = handles_.find(manager);
  if (it == handles_.end() || !it->second.empty()) {
    lastError_ = ERROR_INVALID_HANDLE;
    return 0;
  }
  if (name.empty() || name.find_first_of("/\\") != std::string::npos) {
    lastError_ = ERROR_INVALID_PARAMETER;
    return 0;
  }
  if (ReadServiceRecord(name, nullptr, nullptr)) {
    lastError_ = ERROR_SERVICE_EXISTS;
    return 0;
  }
  // The whole record in one write, so it is there whole or not at all.
  const std::string record = std::string("[") + kSection + "]\nNAME=" + name + "\nDISPLAYNAME=" +
                             displayName + "\nTYPE=" + std::to_string(serviceType) + "\nSTART=" +
                             std::to_string(startType) + "\nERRORCONTROL=" + std::to_string(errorControl) +
                             "\nBINARYPATH=" + binaryPath + "\nSTATE=" + std::to_string(SERVICE_STOPPED) + "\n";
  bool ok = WriteFileAtomically(RecordPath(name), record.data(), record.size());
  if (!ok) {
    lastError_ = ERROR_ACCESS_DENIED;
    return 0;
  }
  handles_[next_] = name;
  return next_++;
}

bool FileServiceManager::StartService(ScHandle service) {
  const std::string* name = ServiceOf(service);
  if (!name) return Fail(ERROR_INVALID_HANDLE);
  uint32_t state = 0;
  std::string path;
  if (!ReadServiceRecord(*name, &state, &path)) return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
  if (state == SERVICE_RUNNING) return Fail(ERROR_SERVICE_ALREADY_RUNNING);
  uint32_t err = ERROR_SUCCESS;
  bool loaded = loader_ ? loader_(path, &err) : DefaultCheck(*name, path, &err);
  if (!loaded) return Fail(err ? err : ERROR_BAD_EXE_FORMAT);
  if (!WriteState(*name, SERVICE_RUNNING)) {
    Forget(*name);
    return Fail(ERROR_ACCESS_DENIED);
  }
  return true;
}

bool FileServiceManager::ControlService(ScHandle service, uint32_t control, ServiceStatus* status) {
  const std::string* name = ServiceOf(service);
  if (!name) return Fail(ERROR_INVALID_HANDLE);
  if (control != SERVICE_CONTROL_STOP) return Fail(ERROR_INVALID_PARAMETER);
  uint32_t state = 0;
  if (!ReadServiceRecord(*name, &state, nullptr)) return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
  if (state != SERVICE_RUNNING) return Fail(ERROR_SERVICE_NOT_ACTIVE);
  if (!WriteState(*name, SERVICE_STOPPED)) return Fail(ERROR_ACCESS_DENIED);
  Forget(*name);  // open devices keep their module until they close
  if (status) *status = ServiceStatus{SERVICE_KERNEL_DRIVER, SERVICE_STOPPED};
  return true;
}

bool FileServiceManager::QueryServiceStatus(ScHandle service, ServiceStatus* status) {
  const std::string* name = ServiceOf(service);
  if (!name) return Fail(ERROR_INVALID_HANDLE);
  uint32_t state = 0;
  if (!ReadServiceRecord(*name, &state, nullptr)) return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
  if (status) {
    status->serviceType = SERVICE_KERNEL_DRIVER;
    status->currentState = state == SERVICE_RUNNING ? SERVICE_RUNNING : SERVICE_STOPPED;
  }
  return true;
}

bool FileServiceManager::CloseServiceHandle(ScHandle handle) {
  if (handles_.erase(handle) == 0) return Fail(ERROR_INVALID_HANDLE);
  return true;
}

}  // namespace plat
