#include "pack/package_builder.h"

#include <algorithm>
#include <cstring>

namespace pack {

namespace {

// The loader takes the last "HOLB"+"RIKE" it finds, so a second one behind
// the header would cut the image.
bool HoldsModelCode(const std::vector<uint8_t>& bytes) {
  static const uint8_t kCode[] = {'H', 'O', 'L', 'B', 'R', 'I', 'K', 'E'};
  return std::search(bytes.begin(), bytes.end(), std::begin(kCode), std::end(kCode)) != bytes.end();
}

}  // namespace

bool BuildPackage(const PackageRequest& r, std::vector<uint8_t>& out, std::string& error) {
  if (r.model.size() != 8) {
    error = "the model code must have 8 characters";
    return false;
  }
  if (r.model != "HOLBRIKE") {
    error = "the loader recognises only the model code HOLBRIKE";
    return false;
  }
  if (r.settings.size() < 29 || r.settings.size() > kSettingsChars) {
    error = "the settings text must have 29 to 34 characters";
    return false;
  }
  for (char c : r.settings) {
    if (c != '0' && c != '1') {
      error = "the settings text may hold only '0' and '1'";
      return false;
    }
  }
  if (r.image.empty()) {
    error = "the image is empty";
    return false;
  }
  if (HoldsModelCode(r.image) || HoldsModelCode(r.module)) {
    error = "the image holds the model code HOLBRIKE itself; the loader would cut it there";
    return false;
  }
  std::string settings = r.settings;
  settings.resize(kSettingsChars, '0');

  out = r.executable;
  out.insert(out.end(), r.model.begin(), r.model.end());
  out.push_back(0x0D);
  out.push_back(0x0A);
  const char tag[] = "W!SH";
  out.insert(out.end(), tag, tag + 4);
  out.insert(out.end(), settings.begin(), settings.end());
  out.insert(out.end(), r.image.begin(), r.image.end());
  out.insert(out.end(), r.module.begin(), r.module.end());
  return true;
}

bool SettingsFromWset(const std::vector<uint8_t>& wset, std::string& settings, std::string& error) {
  if (wset.size() != 4 + kSettingsChars || std::memcmp(wset.data(), "W!SH", 4) != 0) {
    error = "WSET.TXT must be 38 bytes beginning with W!SH";
    return false;
  }
  settings.assign(wset.begin() + 4, wset.end());
  return true;
}

}  // namespace pack
