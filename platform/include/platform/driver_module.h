// A flash driver module: a shared object loaded with dlopen that exports one
// request entry point. The C types below are the whole contract between the
// program side and a module.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

extern "C" {

// How a module reaches the caller's buffers: 32-bit window addresses only,
// every access bounds-checked by the caller's side (0 = refused).
struct FlashDriverMemory {
  void* context;
  int (*read)(void* context, uint32_t address, void* dst, uint32_t size);
  int (*write)(void* context, uint32_t address, const void* src, uint32_t size);
  // 1 when the whole span is mapped (and writable when forWrite), so a
  // module can refuse a request before it touches anything.
  int (*check)(void* context, uint32_t address, uint32_t size, int forWrite);
  // Exposes module memory to the caller (memory-mapping requests); 0 = no room.
  uint32_t (*map)(void* context, const void* p, uint32_t size);
  void (*unmap)(void* context, uint32_t address);
};

// Returns a Win32 error code (0 = success) and the bytes written to out.
typedef uint32_t (*FlashDriverEntry)(uint32_t code, const void* in, uint32_t inSize, void* out,
                                     uint32_t outSize, uint32_t* bytesReturned,
                                     const FlashDriverMemory* memory);
}

namespace plat {

constexpr const char* kFlashDriverEntryName = "FlashDriverRequest";

// Win32 errors of loading a driver image.
constexpr uint32_t ERROR_PROC_NOT_FOUND = 127;
constexpr uint32_t ERROR_BAD_EXE_FORMAT = 193;

class DriverModule {
 public:
  // Loads a private snapshot of the file, so that replacing the installed
  // driver file never changes code that is already loaded. nullptr with
  // *lastError on failure (missing file, not a module, no entry point).
  static std::shared_ptr<DriverModule> Load(const std::string& path, uint32_t* lastError);
  ~DriverModule();
  DriverModule(const DriverModule&) = delete;
  DriverModule& operator=(const DriverModule&) = delete;

  // Passes a request to the module with the process's address window.
  uint32_t Request(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* bytesReturned);

 private:
  DriverModule(void* handle, FlashDriverEntry entry) : handle_(handle), entry_(entry) {}
  void* handle_;
  FlashDriverEntry entry_;
};

// The accessor handed to modules: the process's AddressWindow.
const FlashDriverMemory* ProcessDriverMemory();

}  // namespace plat
