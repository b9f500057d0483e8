// Shared pieces of the firmware tests: a private environment and a scripted
// flash device that records every request block.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/flash_settings.h"
#include "firmware/bios_regs.h"
#include "firmware/flash_device.h"
#include "image/bios_image.h"
#include "platform/address_window.h"
#include "platform/device.h"
#include "platform/file_system.h"
#include "platform/os_personality.h"
#include "platform/system_paths.h"

namespace brim::test {

// XDG folders and the current directory in a fresh temporary folder; the
// process-wide records are reset.
class TempEnvironment {
 public:
  TempEnvironment() {
    char tmpl[] = "/tmp/firmware-test-XXXXXX";
    root_ = ::mkdtemp(tmpl);
    for (const char* v : {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
      std::string dir = root_ + "/" + v;
      plat::MakeDirectories(dir);
      ::setenv(v, dir.c_str(), 1);
    }
    char cwd[4096];
    old_ = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
    if (::chdir(root_.c_str()) != 0) ADD_FAILURE() << "chdir";
    Settings() = FlashSettings();
    ImageStatus() = 0;
    FreeImageBuffer(CurrentRomImage());
    FreeImageBuffer(NewImage());
    CurrentRomImage() = BiosImage();
    NewImage() = BiosImage();
    plat::SetPlatformId(0);
    CloseFlashDevice();
  }
  ~TempEnvironment() {
    CloseFlashDevice();
    plat::SetPlatformId(0);
    if (::chdir(old_.c_str()) != 0) ADD_FAILURE() << "chdir back";
    std::string cmd = "rm -rf '" + root_ + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cleanup";
  }
  const std::string& root() const { return root_; }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  void Write(const std::string& name, const std::string& text) const {
    plat::WriteWholeFile(Path(name), text.data(), text.size());
  }

 private:
  std::string root_;
  std::string old_;
};

struct RecordedRequest {
  uint32_t code;
  std::vector<uint8_t> in;
};

// Serves "\\.\flash" and "\\.\ABVXD.VXD" ahead of the real driver; the
// handler fills the out block (preset to a copy of the in block with AH
// cleared) and returns a Win32 error.
class FakeFlashDevice {
 public:
  using Handler = std::function<uint32_t(uint32_t code, const std::vector<uint8_t>& in,
                                         std::vector<uint8_t>& out)>;
  explicit FakeFlashDevice(Handler handler) : handler_(std::move(handler)) {
    plat::RegisterDeviceProvider("0-fake-flash", [this](const std::string& path, uint32_t,
                                                        bool* known, uint32_t*) {
      if (!plat::EqualsNoCase(path, "\\\\.\\flash") && !plat::EqualsNoCase(path, "\\\\.\\ABVXD.VXD"))
        return std::unique_ptr<plat::Device>();
      *known = true;
      return std::unique_ptr<plat::Device>(new Dev(this));
    });
  }
  ~FakeFlashDevice() {
    CloseFlashDevice();
    plat::RegisterDeviceProvider("0-fake-flash", nullptr);
  }

  std::vector<RecordedRequest> requests;

 private:
  struct Dev : plat::Device {
    explicit Dev(FakeFlashDevice* owner) : owner_(owner) {}
    bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned, uint32_t* lastError) override {
      std::vector<uint8_t> inBytes(static_cast<const uint8_t*>(in),
                                   static_cast<const uint8_t*>(in) + inSize);
      owner_->requests.push_back({code, inBytes});
      std::vector<uint8_t> outBytes = inBytes;
      outBytes.resize(outSize);
      // By default the firmware answers AH = 0 (success).
      if (outBytes.size() >= 84) outBytes[5] = 0;
      else if (outBytes.size() == 32 || outBytes.size() == 40) outBytes[1] = 0;
      uint32_t err = owner_->handler_(code, inBytes, outBytes);
      if (lastError) *lastError = err;
      if (err) return false;
      std::memcpy(out, outBytes.data(), outSize);
      if (returned) *returned = outSize;
      return true;
    }
    FakeFlashDevice* owner_;
  };
  Handler handler_;
};

inline uint32_t Le32At(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
inline void PutLe32At(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// The dwords of a block, for comparing whole blocks in one assertion.
inline std::vector<uint32_t> Dwords(const std::vector<uint8_t>& b) {
  std::vector<uint32_t> d;
  for (size_t i = 0; i + 4 <= b.size(); i += 4) d.push_back(Le32At(b, i));
  return d;
}

inline uint32_t WindowDword(uint32_t address) {
  uint8_t b[4] = {};
  EXPECT_TRUE(plat::AddressWindow::Instance().Read(address, b, 4)) << std::hex << address;
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

}  // namespace brim::test
