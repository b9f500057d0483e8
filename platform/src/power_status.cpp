#include "platform/power_status.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace plat {

namespace {

std::string ReadAttr(const std::string& dir, const char* name) {
  std::ifstream in(dir + "/" + name);
  std::string v;
  std::getline(in, v);
  while (!v.empty() && (v.back() == '\n' || v.back() == '\r' || v.back() == ' ')) v.pop_back();
  return v;
}

bool ParsePercent(const std::string& text, int& out) {
  if (text.empty() || text.size() > 3) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > 100) return false;
  out = v;
  return true;
}

}  // namespace

SystemPowerStatus ReadPowerStatus(const std::string& root) {
  SystemPowerStatus st{255, 128, 255};
  DIR* d = ::opendir(root.c_str());
  if (!d) return SystemPowerStatus{255, 255, 255};
  std::vector<std::string> names;
  while (struct dirent* e = ::readdir(d))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  ::closedir(d);

  bool sawMains = false, mainsOnline = false, sawBattery = false;
  int percent = -1;
  bool charging = false, critical = false;
  for (const std::string& n : names) {
    const std::string dir = root + "/" + n;
    const std::string type = ReadAttr(dir, "type");
    if (type == "Mains") {
      sawMains = true;
      if (ReadAttr(dir, "online") == "1") mainsOnline = true;
    } else if (type == "Battery") {
      if (ReadAttr(dir, "present") == "0") continue;
      sawBattery = true;
      int p;
      if (percent < 0 && ParsePercent(ReadAttr(dir, "capacity"), p)) percent = p;
      if (ReadAttr(dir, "capacity_level") == "Critical") critical = true;
      if (ReadAttr(dir, "status") == "Charging") charging = true;
    }
  }
  if (sawMains) st.acLineStatus = mainsOnline ? 1 : 0;
  if (sawBattery) {
    st.batteryLifePercent = percent < 0 ? 255 : static_cast<uint8_t>(percent);
    uint8_t flag = 0;
    if (critical || (percent >= 0 && percent < 5)) flag |= 4;
    else if (percent >= 0 && percent < 33) flag |= 2;
    else if (percent > 66) flag |= 1;
    if (charging) flag |= 8;
    st.batteryFlag = (flag == 0 && percent < 0) ? 255 : flag;
  }
  return st;
}

bool GetSystemPowerStatus(SystemPowerStatus* status) {
  if (!status) return false;
  const char* root = std::getenv("BIOS_TOOLS_POWER_SUPPLY_ROOT");
  *status = ReadPowerStatus(root && *root ? root : "/sys/class/power_supply");
  return true;
}

}  // namespace plat
