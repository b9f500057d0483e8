// ExitWindowsEx stand-in: restart or power off through systemd. While
// BIOS_TOOLS_NO_POWER_ACTION is set (the test runner sets it), the real
// action refuses. Tests replace the action with their own handler.
#pragma once
#include <functional>

namespace plat {

enum class PowerAction { Reboot, Shutdown };

// The shutdown privilege: CAP_SYS_BOOT in the effective set, or root.
bool HasShutdownPrivilege();

// Asks the system for the action; true when the request was accepted.
bool RequestPowerAction(PowerAction action);

// Replaces the action (and the privilege check) for tests; empty restores the real ones.
void SetPowerActionHandler(std::function<bool(PowerAction)> handler,
                           std::function<bool()> privilege = nullptr);

}  // namespace plat
