#include "platform/power_action.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace plat {

namespace {
std::mutex g_lock;
std::function<bool(PowerAction)> g_handler;
std::function<bool()> g_privilege;

bool RealPrivilege() {
  if (::geteuid() == 0) return true;
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  return (data[CAP_SYS_BOOT / 32].effective & (1u << (CAP_SYS_BOOT % 32))) != 0;
}

bool RealAction(PowerAction action) {
  if (std::getenv("BIOS_TOOLS_NO_POWER_ACTION")) return false;
  const char* cmd = action == PowerAction::Reboot ? "systemctl reboot" : "systemctl poweroff";
  return std::system(cmd) == 0;
}
}  // namespace

bool HasShutdownPrivilege() {
  std::function<bool()> p;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    p = g_privilege;
  }
  return p ? p() : RealPrivilege();
}

bool RequestPowerAction(PowerAction action) {
  std::function<bool(PowerAction)> h;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    h = g_handler;
  }
  return h ? h(action) : RealAction(action);
}

void SetPowerActionHandler(std::function<bool(PowerAction)> handler, std::function<bool()> privilege) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_handler = std::move(handler);
  g_privilege = std::move(privilege);
}

}  // namespace plat
