// The service control manager stand-in and the flash driver device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/device.h"
#include "platform/driver_device.h"
#include "platform/driver_module.h"
#include "platform/file_system.h"
#include "platform/os_personality.h"
#include "platform/service_manager.h"
#include "platform/system_paths.h"

namespace plat {
namespace {

class TempState {
 public:
  TempState() {
    char tmpl[] = "/tmp/service-test-XXXXXX";
    root_ = ::mkdtemp(tmpl);
    for (const char* v : {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
      std::string dir = root_ + "/" + v;
      MakeDirectories(dir);
      ::setenv(v, dir.c_str(), 1);
    }
  }
  ~TempState() {
    SetPlatformId(0);
    std::string cmd = "rm -rf '" + root_ + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cleanup";
  }
  std::string root_;
};

TEST(ServiceManager, CreateStartStopAndQueryAKernelDriver) {
  TempState state;
  int loads = 0;
  FileServiceManager scm([&](const std::string& path, uint32_t*) {
    ++loads;
    return path == "/drivers/flash.sys";
  });
  ScHandle m = scm.OpenSCManager(SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(m, 0u);
  EXPECT_EQ(scm.OpenService(m, "flash", SERVICE_ALL_ACCESS), 0u);
  EXPECT_EQ(scm.LastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  ScHandle s = scm.CreateService(m, "flash", "flash", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "/drivers/flash.sys");
  ASSERT_NE(s, 0u);
  EXPECT_EQ(scm.CreateService(m, "FLASH", "x", 0, 1, 3, 1, "/x"), 0u);
  EXPECT_EQ(scm.LastError(), ERROR_SERVICE_EXISTS);
  EXPECT_EQ(scm.CreateService(m, "../evil", "x", 0, 1, 3, 1, "/x"), 0u);

  ServiceStatus status;
  ASSERT_TRUE(scm.QueryServiceStatus(s, &status));
  EXPECT_EQ(status.currentState, SERVICE_STOPPED);
  EXPECT_FALSE(scm.ControlService(s, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(scm.LastError(), ERROR_SERVICE_NOT_ACTIVE);
  ASSERT_TRUE(scm.StartService(s));
  EXPECT_EQ(loads, 1);
  ASSERT_TRUE(scm.QueryServiceStatus(s, &status));
  EXPECT_EQ(status.currentState, SERVICE_RUNNING);
  EXPECT_FALSE(scm.StartService(s));
  EXPECT_EQ(scm.LastError(), ERROR_SERVICE_ALREADY_RUNNING);

  // Another manager object (another process) sees the same record.
  FileServiceManager other([](const std::string&, uint32_t*) { return true; });
  ScHandle m2 = other.OpenSCManager(0);
  ScHandle s2 = other.OpenService(m2, "Flash", 0);
  ASSERT_NE(s2, 0u);
  ASSERT_TRUE(other.ControlService(s2, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.currentState, SERVICE_STOPPED);
  ASSERT_TRUE(scm.QueryServiceStatus(s, &status));
  EXPECT_EQ(status.currentState, SERVICE_STOPPED);
  EXPECT_TRUE(scm.CloseServiceHandle(s));
  EXPECT_FALSE(scm.CloseServiceHandle(s));
  EXPECT_FALSE(scm.QueryServiceStatus(s, &status));
}

// What a start killed while it wrote may leave (an empty record, one cut
// before its program or state) is no service and is made again.
TEST(ServiceManager, DamagedRecordIsMadeAgain) {
  TempState state;
  FileServiceManager scm([](const std::string&, uint32_t*) { return true; });
  ScHandle m = scm.OpenSCManager(SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(m, 0u);
  const std::string record = ServiceRecordFolder() + "/FLASH.ini";
  // A link where the record should be is not followed either.
  const std::string elsewhere = state.root_ + "/elsewhere.ini";
  const std::string running = "[SERVICE]\nBINARYPATH=/x/flash.sys\nSTATE=4\n";
  ASSERT_TRUE(WriteWholeFile(elsewhere, running.data(), running.size()));
  ASSERT_EQ(::symlink(elsewhere.c_str(), record.c_str()), 0);
  EXPECT_FALSE(ReadServiceRecord("flash", nullptr, nullptr));
  ASSERT_EQ(std::remove(record.c_str()), 0);
  for (const std::string damaged : {"", "[SERVICE]\nNAME=flash\nTYPE=1\n",
                                    "[SERVICE]\nBINARYPATH=/d/flash.sys\nSTATE=\n",
                                    "[SERVICE]\nBINARYPATH=/d/flash.sys\nSTATE=4x\n"}) {
    ASSERT_TRUE(WriteWholeFile(record, damaged.data(), damaged.size()));
    EXPECT_EQ(scm.OpenService(m, "flash", SERVICE_ALL_ACCESS), 0u) << damaged;
    ScHandle s = scm.CreateService(m, "flash", "flash", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                   SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "/drivers/flash.sys");
    ASSERT_NE(s, 0u) << damaged;
    uint32_t st = 99;
    std::string path;
    ASSERT_TRUE(ReadServiceRecord("flash", &st, &path));
    EXPECT_EQ(st, SERVICE_STOPPED);
    EXPECT_EQ(path, "/drivers/flash.sys");
    EXPECT_TRUE(scm.StartService(s));
    scm.CloseServiceHandle(s);
  }
}

TEST(ServiceManager, FailedLoadLeavesTheServiceStopped) {
  TempState state;
  FileServiceManager scm([](const std::string&, uint32_t* err) {
    *err = ERROR_BAD_EXE_FORMAT;
    return false;
  });
  ScHandle m = scm.OpenSCManager(0);
  ScHandle s = scm.CreateService(m, "flash", "flash", 0, 1, 3, 1, "/nowhere");
  EXPECT_FALSE(scm.StartService(s));
  EXPECT_EQ(scm.LastError(), ERROR_BAD_EXE_FORMAT);
  uint32_t st = 0;
  ASSERT_TRUE(ReadServiceRecord("flash", &st, nullptr));
  EXPECT_EQ(st, SERVICE_STOPPED);
}

TEST(ServiceManager, NineXHasNone) {
  TempState state;
  SetPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  FileServiceManager scm;
  EXPECT_EQ(scm.OpenSCManager(0), 0u);
  EXPECT_EQ(scm.LastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

TEST(DriverDevice, FlashOpensOnlyWhileItsServiceRunsAndItsModuleLoads) {
  TempState state;
  RegisterDriverDevices();
  uint32_t err = 0;
  EXPECT_EQ(OpenDevice("\\\\.\\flash", GENERIC_READ, &err), nullptr);
  EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenDevice("\\\\.\\ABVXD.VXD", 0, &err), nullptr);  // NT has no such device

  // A running record whose file is no module still gives no device; one
  // that names a file outside the driver folder is never loaded at all.
  MakeDirectories(DriverFolder());
  const std::string bogus = DriverFolder() + "/flash.sys", elsewhere = state.root_ + "/flash.sys";
  WriteWholeFile(bogus, "text", 4);
  WriteWholeFile(elsewhere, "text", 4);
  for (const auto& [path, error] : {std::make_pair(bogus, ERROR_BAD_EXE_FORMAT),
                                    std::make_pair(elsewhere, ERROR_ACCESS_DENIED)}) {
    DeleteFile(ServiceRecordFolder() + "/FLASH.ini");
    FileServiceManager scm([](const std::string&, uint32_t*) { return true; });
    ScHandle m = scm.OpenSCManager(0);
    ScHandle s = scm.CreateService(m, "flash", "flash", 0, 1, 3, 1, path);
    ASSERT_TRUE(scm.StartService(s));
    EXPECT_EQ(OpenDevice("\\\\.\\FLASH", GENERIC_READ, &err), nullptr);
    EXPECT_EQ(err, error) << path;
  }
}

TEST(DriverModule, LoadRefusesMissingFilesAndNonModules) {
  TempState state;
  uint32_t err = 0;
  EXPECT_EQ(DriverModule::Load(state.root_ + "/missing.sys", &err), nullptr);
  EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
  std::string text = state.root_ + "/text.sys";
  WriteWholeFile(text, "MZ not an ELF", 13);
  EXPECT_EQ(DriverModule::Load(text, &err), nullptr);
  EXPECT_EQ(err, ERROR_BAD_EXE_FORMAT);
}

}  // namespace
}  // namespace plat
