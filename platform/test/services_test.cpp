#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/device.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"
#include "platform/os_personality.h"
#include "platform/system_paths.h"
#include "temp_dir.h"

namespace plat {
namespace {

TEST(NamedMutex, SecondProcessCannotTakeItUntilReleased) {
  TempDir dir;
  ScopedEnv env;
  env.Set("BIOS_TOOLS_LOCK_DIR", dir.path());
  // Another session's runtime folder does not make it another lock.
  env.Set("XDG_RUNTIME_DIR", dir / "session");
  NamedMutex first("Brimlet");
  ASSERT_TRUE(first.TryAcquire());
  EXPECT_EQ(first.LockPath(), dir / "Brimlet.lock");

  auto otherProcessGetsIt = [] {
    pid_t pid = ::fork();
    if (pid == 0) {
      NamedMutex other("Brimlet");
      ::_exit(other.TryAcquire() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  EXPECT_FALSE(otherProcessGetsIt());
  first.Release();
  EXPECT_TRUE(otherProcessGetsIt());
}

TEST(NamedMutex, MissingMachineFolderFallsBackToTheSession) {
  TempDir dir;
  ScopedEnv env;
  env.Set("BIOS_TOOLS_LOCK_DIR", dir / "no-such-folder");
  env.Set("XDG_RUNTIME_DIR", dir.path());
  NamedMutex m("Brimlet");
  EXPECT_EQ(m.Acquire(), LockResult::kAcquired);
  EXPECT_EQ(m.LockPath(), dir / "Brimlet.lock");
}

TEST(NamedMutex, UnusableLockFileIsNotABusyOne) {
  TempDir dir;
  ScopedEnv env;
  env.Set("BIOS_TOOLS_LOCK_DIR", dir.path());
  ::mkdir((dir / "Brimlet.lock").c_str(), 0755);
  NamedMutex m("Brimlet");
  EXPECT_EQ(m.Acquire(), LockResult::kUnavailable);
  EXPECT_EQ(m.LockPath(), dir / "Brimlet.lock");
  EXPECT_FALSE(m.ErrorText().empty());
}

TEST(OsPersonality, NtByDefaultAndNineXOnRequest) {
  ScopedEnv env;
  env.Unset("BIOS_TOOLS_PERSONALITY");
  OsVersionInfo info{};
  ASSERT_TRUE(GetVersionEx(&info));
  EXPECT_EQ(info.platformId, VER_PLATFORM_WIN32_NT);
  env.Set("BIOS_TOOLS_PERSONALITY", "9x");
  EXPECT_EQ(PlatformId(), VER_PLATFORM_WIN32_WINDOWS);
  SetPlatformId(VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(PlatformId(), VER_PLATFORM_WIN32_NT);
  SetPlatformId(0);
  EXPECT_EQ(PlatformId(), VER_PLATFORM_WIN32_WINDOWS);
}

TEST(SystemPaths, FoldersFollowXdgVariables) {
  TempDir dir;
  ScopedEnv env;
  env.UseFolders(dir.path());
  EXPECT_EQ(WindowsFolder(), dir / "config");
  EXPECT_EQ(StateFolder(), dir / "state/bios-tools");
  EXPECT_EQ(DriverFolder(), dir / "data/bios-tools/system/drivers");
  EXPECT_EQ(RuntimeFolder(), dir / "run");
  EXPECT_TRUE(MakeDirectories(DriverFolder()));
  EXPECT_NE(ExecutablePath().find("platform_tests"), std::string::npos);
}

TEST(TerminalMessageBox, PrintsBoxAndReadsAnswer) {
  char outBuf[512] = {};
  std::FILE* out = ::fmemopen(outBuf, sizeof outBuf - 1, "w");
  char inText[] = "maybe\ny\n";
  std::FILE* in = ::fmemopen(inText, sizeof inText - 1, "r");
  TerminalMessageBox box(out, in);
  EXPECT_EQ(box.Show("Flash now?", "Brimlet Warning", MB_YESNO | MB_ICONQUESTION), IDYES);
  std::fclose(out);
  std::fclose(in);
  EXPECT_NE(std::string(outBuf).find("[Brimlet Warning] question\nFlash now?\n"), std::string::npos);
}

TEST(TerminalMessageBox, WithoutInputAnswersAsClosedBox) {
  char outBuf[256] = {};
  std::FILE* out = ::fmemopen(outBuf, sizeof outBuf - 1, "w");
  TerminalMessageBox box(out, nullptr);
  EXPECT_EQ(box.Show("q", "t", MB_YESNO), IDNO);
  EXPECT_EQ(box.Show("q", "t", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(box.Show("i", "t", MB_OK | MB_ICONINFORMATION), IDOK);
  std::fclose(out);
}

TEST(Devices, ProvidersAreAskedInTurnAndUnknownPathFails) {
  struct Dummy : Device {
    bool IoControl(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t* n, uint32_t*) override {
      if (n) *n = 0;
      return true;
    }
  };
  RegisterDeviceProvider("test", [](const std::string& path, uint32_t, bool* known, uint32_t* err)
                                     -> std::unique_ptr<Device> {
    if (path == "\\\\.\\dummy") {
      *known = true;
      return std::make_unique<Dummy>();
    }
    if (path == "\\\\.\\busy") {
      *known = true;
      *err = ERROR_SHARING_VIOLATION;
    }
    return nullptr;
  });
  uint32_t err = 0;
  EXPECT_NE(OpenDevice("\\\\.\\dummy", GENERIC_READ, &err), nullptr);
  EXPECT_EQ(OpenDevice("\\\\.\\busy", GENERIC_READ, &err), nullptr);
  EXPECT_EQ(err, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(OpenDevice("\\\\.\\nothing", GENERIC_READ, &err), nullptr);
  EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
  RegisterDeviceProvider("test", nullptr);
  EXPECT_EQ(OpenDevice("\\\\.\\dummy", GENERIC_READ, &err), nullptr);
}

}  // namespace
}  // namespace plat
