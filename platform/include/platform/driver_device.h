// Device table entries of the flash driver: "\\.\flash" opens the module of
// the running service "flash"; in the 9x personality, where there is no
// service manager, "\\.\flash" and "\\.\ABVXD.VXD" load the driver file
// directly, as a dynamic virtual device would be.
#pragma once
#include <string>

namespace plat {

constexpr const char* kFlashServiceName = "flash";

// Registers the provider once per process; safe to call from anywhere.
void RegisterDriverDevices();

// Driver file the 9x personality loads: DriverFolder() + "/flash.sys" when
// present, else "flash.sys" beside the executable.
std::string DirectDriverFile();

}  // namespace plat
