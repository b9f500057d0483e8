#include "platform/device.h"

#include <map>
#include <mutex>

namespace plat {

bool Device::Read(void*, uint32_t, uint32_t* done, uint32_t* lastError) {
  if (done) *done = 0;
  if (lastError) *lastError = ERROR_INVALID_FUNCTION;
  return false;
}

bool Device::Write(const void*, uint32_t, uint32_t* done, uint32_t* lastError) {
  if (done) *done = 0;
  if (lastError) *lastError = ERROR_INVALID_FUNCTION;
  return false;
}

bool Device::Seek(int64_t, uint32_t* lastError) {
  if (lastError) *lastError = ERROR_INVALID_FUNCTION;
  return false;
}

namespace {
std::mutex g_lock;
std::map<std::string, DeviceProvider>& Providers() {
  static std::map<std::string, DeviceProvider> providers;
  return providers;
}
}  // namespace

void RegisterDeviceProvider(const std::string& name, DeviceProvider provider) {
  std::lock_guard<std::mutex> lock(g_lock);
  if (provider)
    Providers()[name] = std::move(provider);
  else
    Providers().erase(name);
}

std::unique_ptr<Device> OpenDevice(const std::string& path, uint32_t access, uint32_t* lastError) {
  std::map<std::string, DeviceProvider> providers;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    providers = Providers();
  }
  for (auto& entry : providers) {
    bool known = false;
    uint32_t err = ERROR_SUCCESS;
    std::unique_ptr<Device> dev = entry.second(path, access, &known, &err);
    if (dev) {
      if (lastError) *lastError = ERROR_SUCCESS;
      return dev;
    }
    if (known) {
      if (lastError) *lastError = err ? err : ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
  }
  if (lastError) *lastError = ERROR_FILE_NOT_FOUND;
  return nullptr;
}

}  // namespace plat
