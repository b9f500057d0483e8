// Builds image packages: model code, CR LF, "W!SH", 34 settings characters,
// then the image (and any blocks that belong to it).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pack {

constexpr size_t kHeaderSize = 48;
constexpr size_t kSettingsChars = 34;

struct PackageRequest {
  std::string model = "HOLBRIKE";      // 8 characters
  std::string settings;                // 29 to 34 characters, '1' on; padded with '0'
  std::vector<uint8_t> image;
  std::vector<uint8_t> module;         // appended behind the image (an "A!FR" block)
  std::vector<uint8_t> executable;     // when not empty, the package follows it
};

// Returns false with a reason when the request would make a package the
// loader cannot take back exactly.
bool BuildPackage(const PackageRequest& request, std::vector<uint8_t>& out, std::string& error);

// Settings characters from a 38-byte WSET.TXT ("W!SH" + 34 characters).
bool SettingsFromWset(const std::vector<uint8_t>& wset, std::string& settings, std::string& error);

}  // namespace pack
