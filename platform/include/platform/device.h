// CreateFileA/DeviceIoControl stand-in for device paths ("\\.\NAME").
// Providers register the devices they serve; OpenDevice asks each in turn.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace plat {

// Win32 error codes the stand-ins report.
constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_INVALID_FUNCTION = 1;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_READY = 21;
constexpr uint32_t ERROR_SECTOR_NOT_FOUND = 27;
constexpr uint32_t ERROR_WRITE_FAULT = 29;
constexpr uint32_t ERROR_READ_FAULT = 30;
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr uint32_t ERROR_WRITE_PROTECT = 19;

class Device {
 public:
  virtual ~Device() = default;
  // DeviceIoControl: on failure returns false and sets *lastError.
  virtual bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out,
                         uint32_t outSize, uint32_t* bytesReturned, uint32_t* lastError) = 0;
  // Raw transfer at the current position (volumes and disks); default: unsupported.
  virtual bool Read(void* buf, uint32_t size, uint32_t* done, uint32_t* lastError);
  virtual bool Write(const void* buf, uint32_t size, uint32_t* done, uint32_t* lastError);
  virtual bool Seek(int64_t offset, uint32_t* lastError);
};

// Returns a device for path, or nullptr with *lastError set when the provider
// knows the path but cannot open it; returns nullptr with ERROR_FILE_NOT_FOUND
// left untouched when it does not know the path.
using DeviceProvider = std::function<std::unique_ptr<Device>(
    const std::string& path, uint32_t access, bool* known, uint32_t* lastError)>;

// Registers (or, with an empty provider, removes) a provider under a name.
void RegisterDeviceProvider(const std::string& name, DeviceProvider provider);

// Opens "\\.\NAME" (matched without regard to case by the providers).
std::unique_ptr<Device> OpenDevice(const std::string& path, uint32_t access, uint32_t* lastError);

constexpr uint32_t GENERIC_READ = 0x80000000u;
constexpr uint32_t GENERIC_WRITE = 0x40000000u;

}  // namespace plat
