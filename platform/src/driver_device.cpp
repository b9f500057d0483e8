#include "platform/driver_device.h"

#include <mutex>

#include "platform/device.h"
#include "platform/driver_module.h"
#include "platform/file_system.h"
#include "platform/os_personality.h"
#include "platform/service_manager.h"
#include "platform/system_paths.h"

namespace plat {

namespace {
class DriverDevice : public Device {
 public:
  explicit DriverDevice(std::shared_ptr<DriverModule> module) : module_(std::move(module)) {}
  bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* bytesReturned, uint32_t* lastError) override {
    uint32_t err = module_->Request(code, in, inSize, out, outSize, bytesReturned);
    if (lastError) *lastError = err;
    return err == ERROR_SUCCESS;
  }

 private:
  std::shared_ptr<DriverModule> module_;
};

std::mutex g_directLock;
std::shared_ptr<DriverModule> g_direct;  // the 9x driver stays loaded once opened

std::shared_ptr<DriverModule> DirectModule(uint32_t* err) {
  std::lock_guard<std::mutex> guard(g_directLock);
  if (!g_direct) g_direct = DriverModule::Load(DirectDriverFile(), err);
  return g_direct;
}

std::unique_ptr<Device> Provide(const std::string& path, uint32_t, bool* known, uint32_t* err) {
  bool flash = EqualsNoCase(path, "\\\\.\\flash");
  bool vxd = EqualsNoCase(path, "\\\\.\\ABVXD.VXD");
  bool nt = PlatformId() == VER_PLATFORM_WIN32_NT;
  if (!flash && !(vxd && !nt)) return nullptr;
  *known = true;
  std::shared_ptr<DriverModule> module =
      nt ? RunningDriverModule(kFlashServiceName, err) : DirectModule(err);
  if (!module) return nullptr;
  return std::unique_ptr<Device>(new DriverDevice(std::move(module)));
}
}  // namespace

std::string DirectDriverFile() {
  std::string installed = DriverFolder() + "/flash.sys";
  if (FileExists(installed)) return installed;
  return DirectoryOf(ExecutablePath()) + "flash.sys";
}

void RegisterDriverDevices() {
  static std::once_flag once;
  std::call_once(once, [] { RegisterDeviceProvider("flash-driver", Provide); });
}

}  // namespace plat
