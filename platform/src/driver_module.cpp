#include "platform/driver_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/address_window.h"
#include "platform/device.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"

namespace plat {

namespace {
int WindowRead(void*, uint32_t address, void* dst, uint32_t size) {
  return AddressWindow::Instance().Read(address, dst, size) ? 1 : 0;
}
int WindowWrite(void*, uint32_t address, const void* src, uint32_t size) {
  return AddressWindow::Instance().Write(address, src, size) ? 1 : 0;
}
int WindowCheck(void*, uint32_t address, uint32_t size, int forWrite) {
  return AddressWindow::Instance().Check(address, size, forWrite != 0) ? 1 : 0;
}
uint32_t WindowMap(void*, const void* p, uint32_t size) {
  return AddressWindow::Instance().MapReadOnly(p, size);
}
void WindowUnmap(void*, uint32_t address) { AddressWindow::Instance().Unmap(address); }

const FlashDriverMemory g_memory = {nullptr, WindowRead, WindowWrite, WindowCheck, WindowMap,
                                  WindowUnmap};
}  // namespace

const FlashDriverMemory* ProcessDriverMemory() { return &g_memory; }

std::shared_ptr<DriverModule> DriverModule::Load(const std::string& path, uint32_t* lastError) {
  std::vector<uint8_t> image;
  if (!ReadWholeFile(path, image)) {
    if (lastError) *lastError = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  // The snapshot goes where code may be mapped; a noexec runtime folder
  // falls back to the state folder.
  void* handle = nullptr;
  bool written = false;
  MakeDirectories(StateFolder());
  for (const std::string& folder : {RuntimeFolder(), StateFolder()}) {
    std::string snapshot = folder + "/flash-driver-XXXXXX";
    std::vector<char> name(snapshot.begin(), snapshot.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) continue;
    written = ::write(fd, image.data(), image.size()) == static_cast<ssize_t>(image.size());
    ::close(fd);
    if (written) handle = ::dlopen(name.data(), RTLD_NOW | RTLD_LOCAL);
    ::unlink(name.data());  // the mapping stays valid while the module is loaded
    if (handle || !written) break;
  }
  if (!handle) {
    if (lastError) *lastError = written ? ERROR_BAD_EXE_FORMAT : ERROR_ACCESS_DENIED;
    return nullptr;
  }
  auto entry = reinterpret_cast<FlashDriverEntry>(::dlsym(handle, kFlashDriverEntryName));
  if (!entry) {
    ::dlclose(handle);
    if (lastError) *lastError = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  if (lastError) *lastError = ERROR_SUCCESS;
  return std::shared_ptr<DriverModule>(new DriverModule(handle, entry));
}

DriverModule::~DriverModule() { ::dlclose(handle_); }

uint32_t DriverModule::Request(uint32_t code, const void* in, uint32_t inSize, void* out,
                               uint32_t outSize, uint32_t* bytesReturned) {
  uint32_t returned = 0;
  uint32_t err = entry_(code, in, inSize, out, outSize, &returned, &g_memory);
  if (bytesReturned) *bytesReturned = returned;
  return err;
}

}  // namespace plat
