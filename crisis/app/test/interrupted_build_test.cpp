// A real tavrin-build stopped at each of its steps, then ended by a signal
// it can catch or killed outright: the working folder is put back, at once
// after a signal, by the next build after a kill, and the next build works.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "crisis_app/compressor.h"
#include "crisis_app/scratch_files.h"
#include "crisis_app/tavrin_dlg.h"
#include "crisis_samples/boot_sectors.h"
#include "dialog_fixture.h"
#include "run_command.h"
#include "temp_dir.h"

extern char** environ;

namespace test {
namespace {

using Folder = std::map<std::string, std::string>;

Folder Snapshot(const TempDir& dir) {
  Folder files;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    files[e.path().filename().string()] = dir.Read(e.path().filename().string());
  return files;
}

std::string Pattern(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * seed) >> 3 ^ (i % 7 == 0 ? seed : 0));
  return s;
}

// Names and sizes, for messages.
std::string Describe(const Folder& f) {
  std::string s;
  for (const auto& e : f) s += e.first + " (" + std::to_string(e.second.size()) + " bytes)\n";
  return s;
}

const char kRecovered[] = "The working folder was put back as it was before an interrupted build: ";

class InterruptedBuildTest : public ::testing::TestWithParam<std::tuple<const char*, int>> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(crisis_samples::WriteSampleBootFiles(work.path()));
    work.Write("minidos.sys", Pattern(3000, 3));
    work.Write("kavlo16.exe", Pattern(9000, 5));
    work.Write("vgabios.exe", "the user's own video BIOS program");
    project.Write("partnum.mak", "# project\r\nPARTNUM = 4A1\r\n");
    project.Write("flashabl.rom", Pattern(60000, 13));
    project.Write("vgabios.exe", "the project's video BIOS program");
    key = disks.Path("key.img");
    std::FILE* f = std::fopen(key.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(::ftruncate(fileno(f), 32 << 20), 0);
    ASSERT_EQ(std::fclose(f), 0);
  }

  // Starts tavrin-build in the working folder; it stops itself at `stopAt`.
  pid_t Start(const std::string& stopAt) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string v = *e;
      if (v.rfind("XDG_", 0) == 0 || v.rfind("BIOS_TOOLS_TEST_STOP_AT=", 0) == 0 ||
          v.rfind("BIOS_TOOLS_REAL_DISKS=", 0) == 0 || v.rfind("BIOS_TOOLS_DISK_IMAGES=", 0) == 0)
        continue;
      env.push_back(v);
    }
    for (const char* v : {"XDG_CONFIG_HOME=", "XDG_DATA_HOME=", "XDG_STATE_HOME=", "XDG_RUNTIME_DIR="})
      env.push_back(v + config.path());
    env.push_back("MTOOLS_SKIP_CHECK=1");
    if (!stopAt.empty()) env.push_back("BIOS_TOOLS_TEST_STOP_AT=" + stopAt);
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    const std::string out = disks.Path("out.txt");
    std::vector<std::string> args = {"tavrin-build", "--yes", "--project", project.path(), "--drive", key, "--compress"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
      FILE* o = std::freopen(out.c_str(), "w", stdout);
      if (!o || ::dup2(fileno(stdout), 2) < 0 || ::chdir(work.path().c_str()) != 0) ::_exit(126);
      ::execve(TAVRIN_BUILD_PROGRAM, argv.data(), envp.data());
      ::_exit(127);
    }
    return pid;
  }
  std::string Output() const { return disks.Read("out.txt"); }

  TempDir work, project, config, disks;
  std::string key;
};

TEST_P(InterruptedBuildTest, FolderIsPutBackAndTheNextBuildWorks) {
  const std::string step = std::get<0>(GetParam());
  const int sig = std::get<1>(GetParam());
  const Folder before = Snapshot(work);

  pid_t pid = Start(step);
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
  ASSERT_TRUE(WIFSTOPPED(status)) << "never stopped at " << step << ":\n" << Output();
  ASSERT_EQ(::kill(pid, sig), 0);
  if (sig != SIGKILL) {
    ASSERT_EQ(::kill(pid, SIGCONT), 0);
  }
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << Output();
  EXPECT_EQ(WTERMSIG(status), sig) << Output();
  if (sig == SIGKILL)
    EXPECT_FALSE(Snapshot(work) == before) << "the kill left nothing to put back";
  else
    EXPECT_TRUE(Snapshot(work) == before) << Describe(Snapshot(work)) << Output();

  pid = Start("");
  ASSERT_GT(pid, 0);
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  const std::string out = Output();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
  const size_t line = out.find(kRecovered);
  EXPECT_EQ(line != std::string::npos, sig == SIGKILL) << out;
  if (line != std::string::npos) {
    EXPECT_EQ(out.find(kRecovered, line + 1), std::string::npos) << out;
    EXPECT_NE(out.substr(line, out.find('\n', line) - line).find("vgabios.exe"), std::string::npos) << out;
  }
  EXPECT_TRUE(Snapshot(work) == before) << Describe(Snapshot(work)) << out;

  std::string disk;
  ASSERT_EQ(plat::RunCommand("mtype -i '" + key + "' ::VGABIOS.EXE", &disk), 0) << disk;
  EXPECT_EQ(disk, project.Read("vgabios.exe"));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, InterruptedBuildTest,
    ::testing::Values(std::make_tuple("brought", SIGKILL), std::make_tuple("brought", SIGTERM),
                      std::make_tuple("backed-up", SIGKILL), std::make_tuple("backed-up", SIGTERM),
                      std::make_tuple("compressed", SIGKILL), std::make_tuple("compressed", SIGINT),
                      std::make_tuple("copied minidos.sys", SIGKILL), std::make_tuple("copied vgabios.exe", SIGHUP),
                      std::make_tuple("copied bios.qzw", SIGKILL), std::make_tuple("copied bios.qzw", SIGTERM),
                      std::make_tuple("verified", SIGKILL), std::make_tuple("verified", SIGTERM)));

// Leftovers of builds from before moves were recorded, and files that only
// look like leftovers.
TEST(RecoverInterruptedBuildTest, PutsBackOnlyWhatABuildLeft) {
  const std::string image = Pattern(40000, 7);
  const std::vector<uint8_t> bytes(image.begin(), image.end());
  const std::vector<uint8_t> packed = crisis::CompressBytes(bytes);
  const std::string compressed(packed.begin(), packed.end());
  struct Case {
    const char* what;
    Folder left;
    Folder expected;
    std::vector<std::string> undone;
  } cases[] = {
      {"nothing left", {{"bios.qzw", image}}, {{"bios.qzw", image}}, {}},
      {"the user's own BIOS.BAK", {{"BIOS.BAK", image}, {"BIOS.QZW", "other"}}, {{"BIOS.BAK", image}, {"BIOS.QZW", "other"}}, {}},
      {"killed after compressing",
       {{"BIOS.BAK", image}, {"BIOS.QZW", compressed}, {".tavrin-kept-vgabios.exe.Ab12Cd", "user"}, {"vgabios.exe", "project"}},
       {{"bios.qzw", image}, {"vgabios.exe", "user"}},
       {"bios.qzw", "vgabios.exe"}},
      {"killed while compressing", {{"BIOS.BAK", image}, {".BIOS.QZW.x1Y2z3", "part"}}, {{"bios.qzw", image}}, {"bios.qzw"}},
      {"recorded backup and a placed file",
       {{"BIOS.BAK", image}, {"BIOS.QZW", "half"}, {".tavrin-bak-Bios.Qzw", ""}, {"platform.bin", "project"},
        {".tavrin-placed-platform.bin", ""}, {".platform.bin.a1b2c3", "part"}},
       {{"Bios.Qzw", image}},
       {"Bios.Qzw", "platform.bin"}},
      {"a marker with its file never written", {{".tavrin-placed-bios.rom", ""}}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (const auto& f : c.left) dir.Write(f.first, f.second);
    char buf[4096];
    const std::string cwd = ::getcwd(buf, sizeof buf) ? buf : "/";
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    std::vector<std::string> undone;
    std::string error;
    const bool ok = crisis::RecoverInterruptedBuild(&undone, &error);
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    EXPECT_TRUE(ok) << error;
    EXPECT_TRUE(Snapshot(dir) == c.expected) << Describe(Snapshot(dir));
    EXPECT_EQ(undone, c.undone);
  }
}

class FolderInUseTest : public DialogTest {};

// Another build's records are not a killed build's: while it holds the
// folder they stay; once it is gone the next build puts them back.
TEST_F(FolderInUseTest, RecordsOfARunningBuildAreLeftAlone) {
  PackagedWorkDir();
  work.Write("vgabios.exe", "project");
  work.Write(".tavrin-placed-vgabios.exe", "");
  work.Write(".tavrin-kept-vgabios.exe.q1w2e3", "user");
  const Folder during = Snapshot(work);
  Start();
  int other = ::open(work.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  {
    plat::ScriptedMessageBox boxes;
    boxes.Answer(plat::IDCANCEL);  // the erase warning: nothing more is done
    EXPECT_EQ(dlg->CreateCrisisDisk(crisis::kModeMiniDos), crisis::kBuildFailed);
  }
  EXPECT_TRUE(Snapshot(work) == during) << Describe(Snapshot(work));
  EXPECT_EQ(controls.GetText(crisis::IDC_STATUS), "");
  ASSERT_EQ(::close(other), 0);
  {
    plat::ScriptedMessageBox boxes;
    boxes.Answer(plat::IDCANCEL);
    EXPECT_EQ(dlg->CreateCrisisDisk(crisis::kModeMiniDos), crisis::kBuildFailed);
  }
  EXPECT_EQ(work.Read("vgabios.exe"), "user");
  EXPECT_FALSE(work.Exists(".tavrin-placed-vgabios.exe"));
  EXPECT_FALSE(work.Exists(".tavrin-kept-vgabios.exe.q1w2e3"));
  EXPECT_EQ(controls.GetText(crisis::IDC_STATUS), std::string(kRecovered) + "vgabios.exe");
}

}  // namespace
}  // namespace test
