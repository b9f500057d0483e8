// DriverService against the service manager stand-in and against a
// scripted manager, with the sleeps counted instead of waited.
#include <gtest/gtest.h>

#include "firmware/driver_service.h"
#include "firmware_test_support.h"
#include "platform/ini_profile.h"
#include "platform/system_paths.h"

namespace brim {
namespace {

using test::TempEnvironment;

// Records the order of the steps; the device opens while the service runs.
class RecordingService : public DriverService {
 public:
  using DriverService::DriverService;
  std::vector<std::string> calls;
  bool deviceExistsWithoutService = false;

  int OpenDevice(const std::string& path) override {
    calls.push_back("open");
    EXPECT_EQ(path, "\\\\.\\flash");
    uint32_t state = 0;
    return deviceExistsWithoutService ||
                   (plat::ReadServiceRecord("flash", &state, nullptr) && state == plat::SERVICE_RUNNING)
               ? 1
               : 0;
  }
  int StartDriver(const std::string& n) override { return Log("start", DriverService::StartDriver(n)); }
  int StopDriver(const std::string& n) override { return Log("stop", DriverService::StopDriver(n)); }
  int InstallDriver(const std::string& f, const std::string& n) override {
    return Log("install", DriverService::InstallDriver(f, n));
  }

 private:
  int Log(const char* what, int result) {
    calls.push_back(std::string(what) + (result ? "" : " failed"));
    return result;
  }
};

std::string Installed() {
  std::vector<uint8_t> bytes;
  plat::ReadWholeFile(plat::DriverFolder() + "/flash.sys", bytes);
  return std::string(bytes.begin(), bytes.end());
}

TEST(DriverServiceFlow, FirstRunWithoutTheServiceInstallsAndStartsIt) {
  TempEnvironment env;
  env.Write("flash.sys", "driver v1");
  std::vector<std::string> loaded;
  plat::FileServiceManager scm([&](const std::string& path, uint32_t*) {
    loaded.push_back(path);
    return true;
  });
  RecordingService service(scm, [](uint32_t) {});
  ASSERT_EQ(service.EnsureDriver("\\\\.\\flash", "flash", env.root() + "/flash.sys"), 1);
  EXPECT_EQ(service.calls, (std::vector<std::string>{"stop failed", "open", "start failed",
                                                     "install", "start", "open"}));
  EXPECT_EQ(service.LastMessage(), "Open Service Failed");
  EXPECT_EQ(Installed(), "driver v1");
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0], plat::DriverFolder() + "/flash.sys");
  std::string record = plat::ServiceRecordFolder() + "/FLASH.ini";
  EXPECT_EQ(plat::GetProfileString("SERVICE", "TYPE", "", 16, record), "1");   // kernel driver
  EXPECT_EQ(plat::GetProfileString("SERVICE", "START", "", 16, record), "3");  // demand start
  EXPECT_EQ(plat::GetProfileString("SERVICE", "DISPLAYNAME", "", 16, record), "flash");
}

TEST(DriverServiceFlow, RunningServiceWithAnOldDriverIsStoppedRefreshedAndRestarted) {
  TempEnvironment env;
  plat::FileServiceManager scm([](const std::string&, uint32_t*) { return true; });
  env.Write("flash.sys", "driver old");
  {
    RecordingService first(scm, [](uint32_t) {});
    ASSERT_EQ(first.EnsureDriver("\\\\.\\flash", "flash", env.root() + "/flash.sys"), 1);
  }
  env.Write("flash.sys", "driver new");
  RecordingService service(scm, [](uint32_t) {});
  ASSERT_EQ(service.EnsureDriver("\\\\.\\flash", "flash", env.root() + "/flash.sys"), 1);
  EXPECT_EQ(service.calls, (std::vector<std::string>{"stop", "install failed", "open", "start", "open"}));
  EXPECT_EQ(service.LastMessage(), "CreateService Failed.");  // the service already exists
  EXPECT_EQ(Installed(), "driver new");
}

TEST(DriverServiceFlow, NineXHasNoServiceManagerAndNeedsTheDeviceDirectly) {
  TempEnvironment env;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  plat::FileServiceManager scm([](const std::string&, uint32_t*) { return true; });
  RecordingService service(scm, [](uint32_t) {});
  service.deviceExistsWithoutService = true;
  EXPECT_EQ(service.EnsureDriver("\\\\.\\flash", "flash", "flash.sys"), 1);
  EXPECT_EQ(service.calls, (std::vector<std::string>{"stop failed", "open"}));
  EXPECT_EQ(service.LastMessage(), "Could not open Service Control Manager");
  service.deviceExistsWithoutService = false;
  service.calls.clear();
  EXPECT_EQ(service.EnsureDriver("\\\\.\\flash", "flash", "flash.sys"), 0);
  EXPECT_EQ(service.calls, (std::vector<std::string>{"stop failed", "open", "start failed", "install failed"}));
  EXPECT_EQ(service.LastMessage(), "Cannot find the driver file");
}

TEST(DriverServiceFlow, ADriverFileThatIsNoModuleDoesNotStart) {
  TempEnvironment env;
  env.Write("flash.sys", "not a shared object");
  plat::FileServiceManager scm;  // the real module check
  DriverService service(scm, [](uint32_t) {});
  EXPECT_EQ(service.EnsureDriver("\\\\.\\flash", "flash", env.root() + "/flash.sys"), 0);
  EXPECT_EQ(service.LastMessage(), "Could not StartService.");
  uint32_t state = 0;
  ASSERT_TRUE(plat::ReadServiceRecord("flash", &state, nullptr));
  EXPECT_EQ(state, plat::SERVICE_STOPPED);
  EXPECT_FALSE(service.DeviceIsOpen());
}

// A manager whose service never reaches the state asked for.
class StuckManager : public plat::ServiceManager {
 public:
  uint32_t state = plat::SERVICE_STOPPED;
  uint32_t stateAfterControl = plat::SERVICE_START_PENDING;
  int open = 0;
  plat::ScHandle OpenSCManager(uint32_t) override { return ++open, 1; }
  plat::ScHandle OpenService(plat::ScHandle, const std::string&, uint32_t) override { return ++open, 2; }
  plat::ScHandle CreateService(plat::ScHandle, const std::string&, const std::string&, uint32_t,
                               uint32_t, uint32_t, uint32_t, const std::string&) override {
    return 0;
  }
  bool StartService(plat::ScHandle) override { return state = stateAfterControl, true; }
  bool ControlService(plat::ScHandle, uint32_t, plat::ServiceStatus*) override {
    return state = stateAfterControl, true;
  }
  bool QueryServiceStatus(plat::ScHandle, plat::ServiceStatus* s) override {
    s->currentState = state;
    return true;
  }
  bool CloseServiceHandle(plat::ScHandle) override { return --open, true; }
  uint32_t LastError() const override { return 0; }
};

TEST(DriverServiceTimeouts, StartThatNeverRunsFailsAfterTenSeconds) {
  StuckManager scm;
  uint64_t slept = 0;
  int sleeps = 0;
  DriverService service(scm, [&](uint32_t ms) { slept += ms, ++sleeps; });
  EXPECT_EQ(service.StartDriver("flash"), 0);
  EXPECT_EQ(service.LastMessage(), "Could not StartService and time out.");
  EXPECT_EQ(sleeps, 10);
  EXPECT_EQ(slept, 10000u);
  EXPECT_EQ(scm.open, 0);  // both handles closed
}

TEST(DriverServiceTimeouts, StartThatRunsOnTheThirdPollSucceeds) {
  StuckManager scm;
  int sleeps = 0;
  DriverService service(scm, [&](uint32_t) {
    if (++sleeps == 3) scm.state = plat::SERVICE_RUNNING;
  });
  EXPECT_EQ(service.StartDriver("flash"), 1);
  EXPECT_EQ(sleeps, 3);
}

TEST(DriverServiceTimeouts, StopThatNeverEndsFailsAfterTenPolls) {
  StuckManager scm;
  scm.state = plat::SERVICE_RUNNING;
  scm.stateAfterControl = plat::SERVICE_STOP_PENDING;
  int sleeps = 0;
  DriverService service(scm, [&](uint32_t) { ++sleeps; });
  EXPECT_EQ(service.StopDriver("flash"), 0);
  EXPECT_EQ(service.LastMessage(), "Could not stop service.");
  EXPECT_EQ(sleeps, 10);
  EXPECT_EQ(scm.open, 0);
}

}  // namespace
}  // namespace brim
