// What makes a flash trustworthy, end to end on emulated machines: read-back
// verify, the backup and its restore, the history, exit statuses of refusals,
// the machine-wide lock and areas a keep setting could not carry over.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/named_mutex.h"
#include "silent_flash_fixture.h"

namespace {

// Keep password and the boot block, verify date, model and size, program with
// the new image's flash module.
const char kSettings[] = "0100010000000000011010000001000000";

// ---- a small JSON syntax check for the history lines ----
class Json {
 public:
  explicit Json(const std::string& t) : t_(t) {}
  bool WholeObject() {
    if (!Value()) return false;
    Space();
    return i_ == t_.size();
  }

 private:
  void Space() {
    while (i_ < t_.size() && std::strchr(" \t", t_[i_])) ++i_;
  }
  bool Eat(char c) {
    Space();
    if (i_ < t_.size() && t_[i_] == c) return ++i_, true;
    return false;
  }
  bool String() {
    if (!Eat('"')) return false;
    while (i_ < t_.size() && t_[i_] != '"') {
      if (static_cast<unsigned char>(t_[i_]) < 0x20) return false;
      if (t_[i_] == '\\') ++i_;
      ++i_;
    }
    return i_ < t_.size() && t_[i_++] == '"';
  }
  bool Value() {
    Space();
    if (i_ >= t_.size()) return false;
    const char c = t_[i_];
    if (c == '"') return String();
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++i_;
      if (Eat(close)) return true;
      do {
        if (c == '{' && (!String() || !Eat(':'))) return false;
        if (!Value()) return false;
      } while (Eat(','));
      return Eat(close);
    }
    for (const char* word : {"null", "true", "false"})
      if (t_.compare(i_, std::strlen(word), word) == 0) return i_ += std::strlen(word), true;
    const size_t start = i_;
    if (t_[i_] == '-') ++i_;
    while (i_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[i_]))) ++i_;
    return i_ > start;
  }
  const std::string& t_;
  size_t i_ = 0;
};

class SafeFlash : public SilentFlash {
 protected:
  std::vector<std::string> HistoryLines() {
    std::ifstream in(dir / "state/bios-tools/history.jsonl");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::vector<fs::path> Backups() {
    std::vector<fs::path> files;
    if (fs::exists(dir / "state/bios-tools/backups"))
      for (const auto& e : fs::directory_iterator(dir / "state/bios-tools/backups"))
        if (e.path().extension() == ".rom") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
  }
  void AddFaults(const std::string& lines) {
    std::ofstream(dir / "machine/machine.ini", std::ios::app) << "[FAULTS]\n" << lines;
  }
  void ClearFaults(uint32_t flag) {
    std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nBASE=0xFFF00000\nFLAG=" << flag << "\n";
  }
  // Waits (bounded) until `done` holds; false when it never did.
  template <typename F>
  bool Eventually(F done) {
    for (int i = 0; i < 6000; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

imagegen::QuorvelSpec Quorvel(const std::string& date, uint32_t seed, bool module = true) {
  imagegen::QuorvelSpec spec;
  spec.date = date;
  spec.seed = seed;
  if (module) spec.flashModules = {0xD0000};
  return spec;
}

TEST_F(SafeFlash, BadBlockFailsTheVerify) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  const Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9));
  Prepare(oldRom, 0x10, image, kSettings);
  AddFaults("BADBLOCK=3\n");

  EXPECT_EQ(RunBrimlet("/silent /wb"), 5);
  EXPECT_NE(Log().find("Verify ROM Fail ! 1 of 16 blocks (64 KiB) differ from the new BIOS."), std::string::npos)
      << Log();
  EXPECT_NE(Log().find("DO NOT TURN OFF POWER OR RESTART!"), std::string::npos);
  const std::vector<std::string> history = HistoryLines();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_NE(history[0].find("\"verify\":\"failed: 1 of 16 blocks differ\""), std::string::npos) << history[0];
  EXPECT_NE(history[0].find("\"exitStatus\":5"), std::string::npos);

  // Without the fault the same flash verifies.
  ClearFaults(0x10);
  WriteBytes(dir / "machine/rom.bin", oldRom);
  EXPECT_EQ(RunBrimlet("/silent /wb"), 0) << Log();
  EXPECT_EQ(Rom(), image);
  ASSERT_EQ(HistoryLines().size(), 2u);
  EXPECT_NE(HistoryLines()[1].find("\"verify\":\"passed\""), std::string::npos);
}

// A boot block of half a block: kept, only its bytes stay old and the verify
// passes; written, a worn block inside or outside it still fails the verify.
TEST_F(SafeFlash, VerifyKeepsExactlyTheBootBlockTheMachineReports) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  const Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9));
  const std::string machine = "[MACHINE]\nBASE=0xFFF00000\nFLAG=16\nBOOTBLOCK=0xF8000\nBOOTBLOCKSIZE=0x8000\n";
  Prepare(oldRom, 0x10, image, kSettings);
  std::ofstream(dir / "machine/machine.ini") << machine;
  ASSERT_EQ(RunBrimlet("/silent"), 0) << Log();
  Bytes expected = image;
  std::copy(oldRom.begin() + 0xF8000, oldRom.end(), expected.begin() + 0xF8000);
  EXPECT_EQ(Rom(), expected);

  for (const char* bad : {"BADBLOCK=15\n", "BADBLOCK=3\n"}) {
    WriteBytes(dir / "machine/rom.bin", oldRom);
    std::ofstream(dir / "machine/machine.ini") << machine;
    AddFaults(bad);
    EXPECT_EQ(RunBrimlet("/silent /wb"), 5) << bad;
    EXPECT_NE(Log().find("1 of 16 blocks (64 KiB) differ"), std::string::npos) << bad << Log();
  }
}

// A programming run cut off part-way, then the restore command, per layout.
struct Layout {
  const char* name;
  uint32_t flag;
  Bytes oldRom, image;
  bool moduleBehind;  // the package brings the flash module behind the image
};

class CutOffRestore : public SafeFlash, public ::testing::WithParamInterface<int> {};

Layout MakeLayout(int which) {
  if (which == 0) {
    imagegen::TarvexSpec oldSpec, newSpec;
    oldSpec.flashModules = newSpec.flashModules = {0xD0000};
    newSpec.release = "070715";
    newSpec.date = "07/15/07";
    newSpec.seed = 7;
    return {"Tarvex", 0, imagegen::BuildTarvex(oldSpec), imagegen::BuildTarvex(newSpec), false};
  }
  if (which == 1) {
    imagegen::LindarSpec oldSpec, newSpec;
    oldSpec.flashModules = newSpec.flashModules = {0xD0000};
    newSpec.texts[4] = "071507";
    newSpec.seed = 5;
    return {"Lindar", 0x08, imagegen::BuildLindar(oldSpec), imagegen::BuildLindar(newSpec), false};
  }
  // A Quorvel ROM without a module of its own; the package brings one behind the image.
  Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9, false));
  Bytes module(0x10000, 0x5A);
  std::memcpy(module.data(), "A!FR", 4);
  image.insert(image.end(), module.begin(), module.end());
  return {"Quorvel", 0x10, imagegen::BuildQuorvel(Quorvel("06/28/07", 3, false)), image, true};
}

TEST_P(CutOffRestore, BackupIsTheOldRomAndRestoresIt) {
  const Layout l = MakeLayout(GetParam());
  SCOPED_TRACE(l.name);
  Prepare(l.oldRom, l.flag, l.image, kSettings);
  AddFaults("CUTOFF=5\n");

  // The cut-off run writes the new DMI area (block 2); the restore, where
  // keeping the DMI data is on by default, must not keep it.
  if (!l.moduleBehind) {
    ASSERT_NE(Bytes(l.oldRom.begin() + 0x20000, l.oldRom.begin() + 0x20800),
              Bytes(l.image.begin() + 0x20000, l.image.begin() + 0x20800));
  }
  EXPECT_EQ(RunBrimlet("/silent /wb /cd"), 5) << Log();
  EXPECT_NE(Rom(), l.oldRom) << "the cut-off run wrote part of the ROM";
  const std::vector<fs::path> backups = Backups();
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_NE(Log().find("brimlet: Backup of the current BIOS: " + backups[0].string()), std::string::npos) << Log();
  const Bytes backup = ReadBytes(backups[0]);
  EXPECT_EQ(backup, l.oldRom) << "the ROM as it was, byte for byte, nothing appended";
  fs::path module = backups[0];
  module.replace_extension(".module");
  fs::path record = backups[0];
  record.replace_extension(".json");
  EXPECT_TRUE(fs::exists(record));
  // The module the run used is kept beside a ROM that has none of its own.
  EXPECT_EQ(fs::exists(module), l.moduleBehind);
  if (l.moduleBehind) {
    EXPECT_EQ(std::memcmp(ReadBytes(module).data(), "A!FR", 4), 0);
  }

  ClearFaults(l.flag);
  ASSERT_EQ(RunBrimlet("--restore " + backups[0].string()), 0) << Log();
  EXPECT_EQ(Rom(), l.oldRom) << "the restore brings the old ROM back exactly";
  EXPECT_NE(Log().find("Restoring a backup: no area of the current BIOS is kept"), std::string::npos) << Log();
  EXPECT_EQ(Backups().size(), 2u) << "the restore backed up the cut-off ROM and kept the first backup";
  EXPECT_EQ(ReadBytes(backups[0]), backup);

  const std::vector<std::string> history = HistoryLines();
  ASSERT_EQ(history.size(), 2u);
  for (const std::string& line : history) EXPECT_TRUE(Json(line).WholeObject()) << line;
  EXPECT_NE(history[0].find("\"exitStatus\":5"), std::string::npos) << history[0];
  EXPECT_NE(history[0].find("\"backup\":\"" + backups[0].string() + "\""), std::string::npos);
  EXPECT_NE(history[1].find("\"verify\":\"passed\""), std::string::npos) << history[1];
  EXPECT_NE(history[1].find("\"operation\":\"restore\""), std::string::npos) << history[1];

  // The listings read what the runs left, without the lock or the driver.
  ASSERT_EQ(RunBrimlet("--history"), 0);
  EXPECT_NE(Log().find("  flash    programming or read-back verify failed (exit 5)  "), std::string::npos) << Log();
  EXPECT_NE(Log().find("  restore  flashed and verified (exit 0)  " + backups[0].string()), std::string::npos)
      << Log();
  ASSERT_EQ(RunBrimlet("--backups --json"), 0);
  std::istringstream listing(Log());
  int listed = 0;
  for (std::string line; std::getline(listing, line); ++listed) EXPECT_TRUE(Json(line).WholeObject()) << line;
  EXPECT_EQ(listed, 2);
  EXPECT_NE(Log().find("\"path\":\"" + backups[0].string() + "\""), std::string::npos) << Log();
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, CutOffRestore, ::testing::Values(0, 1, 2));

TEST_F(SafeFlash, RefusalsHaveTheirOwnStatusAndLeaveTheRom) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  Prepare(oldRom, 0x12, imagegen::BuildQuorvel(Quorvel("07/15/07", 9)),
          "0100010000000000011010100001000000");  // with VerifyPOWER
  fs::create_directories(dir / "power/AC");
  std::ofstream(dir / "power/AC/type") << "Mains\n";
  std::ofstream(dir / "power/AC/online") << "0\n";

  EXPECT_EQ(RunBrimlet("/silent /wb"), 20);
  EXPECT_NE(Log().find("brimlet: refused: no AC adapter connected"), std::string::npos) << Log();
  EXPECT_EQ(Rom(), oldRom);
  ASSERT_EQ(HistoryLines().size(), 1u);
  EXPECT_NE(HistoryLines()[0].find("\"result\":\"refused by the power check\""), std::string::npos);
  EXPECT_TRUE(Backups().empty()) << "nothing was backed up for a refused run";

  {
    plat::ScopedEnv env;
    env.Set("BIOS_TOOLS_LOCK_DIR", dir / "lock");
    plat::NamedMutex held("Brimlet");
    ASSERT_TRUE(held.TryAcquire());
    EXPECT_EQ(RunBrimlet("/silent /wb"), 22);
    EXPECT_NE(Log().find("Brimlet have been running !"), std::string::npos) << Log();
  }
  fs::remove(dir / "lock/Brimlet.lock");
  fs::create_directories(dir / "lock/Brimlet.lock");
  EXPECT_EQ(RunBrimlet("/silent /wb"), 23);
  EXPECT_NE(Log().find("cannot take its lock file " + (dir / "lock/Brimlet.lock")), std::string::npos) << Log();
  EXPECT_EQ(Log().find("Brimlet have been running !"), std::string::npos);
  fs::remove(dir / "lock/Brimlet.lock");

  EXPECT_EQ(RunBrimlet("/silent /wb /f:" + std::string(300, 'x')), 25);
  EXPECT_NE(Log().find("longer than 259 characters"), std::string::npos) << Log();
  EXPECT_EQ(Rom(), oldRom);
  EXPECT_EQ(HistoryLines().size(), 1u) << "runs that never reached the flash sequence add no line";
}

TEST_F(SafeFlash, MissingFSegmentIsRefusedWithItsOwnStatus) {
  imagegen::TarvexSpec oldSpec, newSpec;
  oldSpec.flashModules = newSpec.flashModules = {0xD0000};
  newSpec.fSegmentBanks = {};
  newSpec.seed = 7;
  const Bytes oldRom = imagegen::BuildTarvex(oldSpec);
  Prepare(oldRom, 0, imagegen::BuildTarvex(newSpec), "0000000000000000000000000001000000");
  EXPECT_EQ(RunBrimlet("/silent /wb"), 21);
  EXPECT_NE(Log().find("brimlet: refused: BIOS F-segment check error !"), std::string::npos) << Log();
  EXPECT_EQ(Rom(), oldRom);
}

// While one brimlet programs, a second one from another session refuses; one
// that does not even share the lock folder is refused by the driver, which
// holds the machine from the first one's ROM read to its read-back, before
// it reads anything or leaves a backup.
TEST_F(SafeFlash, SecondBrimletOfAnotherSessionRefusesWhileTheFirstPrograms) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  const Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9));
  Prepare(oldRom, 0x10, image, kSettings);
  AddFaults("HOLDUNTIL=go\n");

  const std::string first = "cd " + (dir / "prog") + " && " + Environment("session1") +
                            " ./brimlet /silent /wb </dev/null >" + (dir / "log1") + " 2>&1; echo $? >" +
                            (dir / "status1.tmp") + "; mv " + (dir / "status1.tmp") + " " + (dir / "status1");
  ASSERT_EQ(std::system(("(" + first + ") &").c_str()), 0);
  // Its backup is written just before it programs, with the lock held.
  ASSERT_TRUE(Eventually([&] { return !Backups().empty(); }));

  EXPECT_EQ(RunBrimlet("/silent /wb", Environment("session2")), 22);
  EXPECT_NE(Log().find("Brimlet have been running !"), std::string::npos) << Log();

  std::string elsewhere = Environment("session3");
  elsewhere.replace(elsewhere.find("BIOS_TOOLS_LOCK_DIR=") + 20, (dir / "lock").size(), dir / "session3");
  EXPECT_EQ(RunBrimlet("/silent /wb", elsewhere), 22);
  EXPECT_NE(Log().find("brimlet: refused: Brimlet have been running ! (another process holds the "
                       "machine (lock "),
            std::string::npos)
      << Log();
  EXPECT_EQ(Backups().size(), 1u) << "the refused run left no backup";
  EXPECT_EQ(Rom(), oldRom) << "nothing was written while the first held the machine";

  std::ofstream(dir / "machine/go") << "go\n";
  ASSERT_TRUE(Eventually([&] { return fs::exists(dir / "status1"); }));
  std::ifstream status(dir / "status1");
  int code = -1;
  status >> code;
  EXPECT_EQ(code, 0) << std::string(ReadBytes(dir / "log1").begin(), ReadBytes(dir / "log1").end());
  EXPECT_EQ(Rom(), image);
}

// One flipped bit in the new image's NVS directory entry: the merge rules
// leave the area behind, and the user is told.
TEST_F(SafeFlash, KeptAreaThatCouldNotBeCarriedOverIsReported) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9));
  const size_t nvsEntry = 0xF1000 + 8 + 12 * 3;
  ASSERT_EQ(std::memcmp(image.data() + nvsEntry, "A!KN", 4), 0);
  image[nvsEntry + 3] ^= 0x01;
  Prepare(oldRom, 0x10, image, kSettings);

  EXPECT_EQ(RunBrimlet("/silent /kall"), 0) << Log();
  EXPECT_NE(Log().find("brimlet: Keep NVS (A!KN) : not carried over, the new image has no such area"),
            std::string::npos)
      << Log();
  ASSERT_EQ(HistoryLines().size(), 1u);
  EXPECT_TRUE(Json(HistoryLines()[0]).WholeObject());
  EXPECT_NE(HistoryLines()[0].find("\"notKept\":[{\"area\":\"NVS (A!KN)\""), std::string::npos)
      << HistoryLines()[0];
}

// A /f: file is read up to the ROM size + 2 MiB: a package header further on
// is never reached, and the head of the file is what gets flashed.
TEST_F(SafeFlash, FileOptionReadsNoFurtherThanTheBound) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  const Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9));
  Prepare(oldRom, 0x10, image, kSettings);
  Bytes file = image;
  file.resize(image.size() + 0x200000 + 0x1000, 0);
  const Bytes stray = imagegen::BuildPackage(imagegen::BuildQuorvel(Quorvel("07/15/07", 11)),
                                             "0000000000000000000000000001000000");
  file.insert(file.end(), stray.begin(), stray.end());
  WriteBytes(dir / "prog/big.rom", file);
  std::ofstream(dir / "prog/setting.ini") << "[EXECUTE_MODULE]\nEXECUTEFROMNEWBIOS=1\n";

  EXPECT_EQ(RunBrimlet("/silent /wb /f:big.rom"), 0) << Log();
  EXPECT_EQ(Rom(), image);
}

}  // namespace

namespace {
// Successful opens in an strace log of paths holding `name`, with `flags` among their flags.
int CountOpens(const std::string& trace, const std::string& name, const std::string& flags = "") {
  std::istringstream in(trace);
  int n = 0;
  for (std::string line; std::getline(in, line);)
    if (line.find("open") != std::string::npos && line.find(name) != std::string::npos &&
        line.find(flags) != std::string::npos && line.find("= -1") == std::string::npos)
      ++n;
  return n;
}
}  // namespace

// A silent flash of a 16 MiB machine reads the machine's description and
// opens its ROM file a handful of times, not once per block, and installs
// and loads the driver module once.
TEST_F(SafeFlash, OneFlashOpensTheMachineFilesAHandfulOfTimes) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  imagegen::QuorvelSpec oldSpec = Quorvel("06/28/07", 3), newSpec = Quorvel("07/15/07", 9);
  for (imagegen::QuorvelSpec* spec : {&oldSpec, &newSpec}) {
    spec->size = 0x1000000;
    spec->base = 0xFF000000;
    spec->directory = {{"A!ES", spec->base + 0x80000, 0x2000}, {"A!PS", spec->base + 0x15000, 0x1000}};
  }
  const Bytes image = imagegen::BuildQuorvel(newSpec);
  Prepare(imagegen::BuildQuorvel(oldSpec), 0x10, image, kSettings);
  std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nBASE=0xFF000000\nFLAG=16\n";

  const std::string cmd = "cd " + (dir / "prog") + " && " + Environment() +
                          " ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=open,openat,creat -o " +
                          (dir / "trace") +
                          " ./brimlet /silent /wb </dev/null >" + (dir / "log") + " 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << Log();
  EXPECT_EQ(Rom(), image);
  const Bytes bytes = ReadBytes(dir / "trace");
  const std::string trace(bytes.begin(), bytes.end());
  EXPECT_EQ(CountOpens(trace, "/machine/machine.ini\""), 1) << trace;
  EXPECT_EQ(CountOpens(trace, "/machine/rom.bin\""), 1) << trace;
  EXPECT_EQ(CountOpens(trace, "/drivers/.tmp-flash.sys-", "O_CREAT"), 1) << "one copy of the module\n" << trace;
  EXPECT_EQ(CountOpens(trace, "/flash-driver-", "O_CREAT"), 1) << "one module loaded\n" << trace;
}

// INT, TERM and HUP in the middle of programming: the flash completes and is
// verified, the run is recorded, and only then brimlet ends, naming the signal.
TEST_F(SafeFlash, SignalsDuringProgrammingWaitForTheFlashToComplete) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    fs::remove_all(dir / "state");
    fs::remove(dir / "status");
    fs::remove(dir / "machine/go");
    const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
    const Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9));
    fs::remove(dir / "prog/flash.sys");
    Prepare(oldRom, 0x10, image, kSettings);
    AddFaults("HOLDUNTIL=go\n");
    const std::string run = "cd " + (dir / "prog") + " && { " + Environment() + " ./brimlet /silent /wb </dev/null >" +
                            (dir / "log") + " 2>&1 & echo $! >" + (dir / "pid") + "; wait $!; echo $? >" +
                            (dir / "status.tmp") + "; mv " + (dir / "status.tmp") + " " + (dir / "status") + "; }";
    ASSERT_EQ(std::system(("(" + run + ") &").c_str()), 0);
    ASSERT_TRUE(Eventually([&] { return fs::exists(dir / "machine/go.waiting"); })) << name;
    pid_t pid = 0;
    std::ifstream(dir / "pid") >> pid;
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, signal), 0);
    // Signals sent together may arrive as one: again until the second is seen.
    EXPECT_TRUE(Eventually([&] {
      return ::kill(pid, signal) == 0 &&
             Log().find("brimlet: the BIOS is being programmed and cannot be stopped safely") !=
                 std::string::npos;
    })) << name << "\n" << Log();
    std::ofstream(dir / "machine/go") << "go\n";
    ASSERT_TRUE(Eventually([&] { return fs::exists(dir / "status"); })) << name;
    int code = -1;
    std::ifstream(dir / "status") >> code;
    EXPECT_EQ(code, 0) << name << "\n" << Log();
    EXPECT_EQ(Rom(), image) << name;
    EXPECT_NE(Log().find("brimlet: " + name + " arrived while the BIOS was being programmed; the flash "
                         "was completed first (exit status 0: flashed and verified)."),
              std::string::npos)
        << Log();
    ASSERT_EQ(HistoryLines().size(), 1u) << name;
    EXPECT_NE(HistoryLines()[0].find("\"verify\":\"passed\""), std::string::npos) << HistoryLines()[0];
  }
}

// A failed run is read again: a ROM the firmware left alone is said to be
// unchanged, with its own status and no power warning; a cut-off run names
// the blocks that changed.
TEST_F(SafeFlash, FailedProgrammingTellsWhatTheRomHolds) {
  struct Case {
    std::string fault;
    int status;
    std::string said;
    bool powerWarning;
  } cases[] = {
      {"AHERROR=0x86\nAHERRORFOR=ProgramFlashROM\n", 27, "The flash ROM is unchanged.", false},
      {"CUTOFF=5\n", 5, "1 of 16 blocks (64 KiB) differ from the old BIOS.", true},  // the one that changes
  };
  for (const Case& c : cases) {
    fs::remove_all(dir / "state");
    fs::remove(dir / "prog/flash.sys");
    const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
    Prepare(oldRom, 0x10, imagegen::BuildQuorvel(Quorvel("07/15/07", 9)), kSettings);
    AddFaults(c.fault);
    EXPECT_EQ(RunBrimlet("/silent /wb"), c.status) << Log();
    EXPECT_NE(Log().find("brimlet: Program ROM Fail ! " + c.said), std::string::npos) << Log();
    EXPECT_EQ(Log().find("DO NOT TURN OFF POWER") != std::string::npos, c.powerWarning) << Log();
    if (c.status == 27) {
      EXPECT_EQ(Rom(), oldRom);
    }
    ASSERT_EQ(HistoryLines().size(), 1u);
    EXPECT_NE(HistoryLines()[0].find("\"exitStatus\":" + std::to_string(c.status)), std::string::npos)
        << HistoryLines()[0];
  }
}

// --restore refuses, with the ROM unchanged and no backup taken, a backup
// whose bytes changed, one of another machine and one of another size.
TEST_F(SafeFlash, RestoreRefusesWhatIsNotThisMachinesBackup) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  const Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9));
  Prepare(oldRom, 0x10, image, kSettings);
  fs::create_directories(dir / "dmi");
  std::ofstream(dir / "dmi/product_uuid") << "4c4c4544-0031-3510-8052-b2c04f4e4d31\n";
  const std::string env = Environment() + " BIOS_TOOLS_DMI_ROOT=" + (dir / "dmi");
  ASSERT_EQ(RunBrimlet("/silent /wb", env), 0) << Log();
  ASSERT_EQ(Backups().size(), 1u);
  const fs::path backup = Backups()[0];
  const Bytes backupBytes = ReadBytes(backup);

  imagegen::TarvexSpec tarvex;
  tarvex.seed = 4;
  struct Case {
    const char* what;
    std::function<void()> change;
    const char* reason;
  } cases[] = {
      {"bytes changed", [&] { Bytes b = backupBytes; b[0x100] ^= 1; WriteBytes(backup, b); },
       "its bytes changed since the backup"},
      {"another machine",
       [&] {
         WriteBytes(backup, backupBytes);
         WriteBytes(dir / "machine/rom.bin", imagegen::BuildTarvex(tarvex));
         std::ofstream(dir / "dmi/product_uuid") << "4c4c4544-0031-3510-8052-b2c04f4e4d32\n";
       },
       "the backup belongs to another machine"},
      {"another size",
       [&] {
         Bytes twice = image;
         twice.insert(twice.begin(), image.begin(), image.end());
         WriteBytes(dir / "machine/rom.bin", twice);
         std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nBASE=0xFFE00000\nFLAG=16\n";
       },
       "the backup holds 1048576 bytes, the flash ROM 2097152"},
  };
  for (const Case& c : cases) {
    c.change();
    const Bytes before = Rom();
    EXPECT_EQ(RunBrimlet("--restore " + backup.string(), env), 29) << c.what << "\n" << Log();
    EXPECT_NE(Log().find(c.reason), std::string::npos) << c.what << "\n" << Log();
    EXPECT_EQ(Rom(), before) << c.what;
    EXPECT_EQ(Backups().size(), 1u) << c.what << ": a refused restore takes no backup";
  }

  // On purpose, another machine's backup of the ROM's size goes on.
  std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nBASE=0xFFF00000\nFLAG=16\n";
  WriteBytes(dir / "machine/rom.bin", imagegen::BuildTarvex(tarvex));
  EXPECT_EQ(RunBrimlet("--restore " + backup.string(), env), 29) << Log();
  EXPECT_EQ(RunBrimlet("--restore " + backup.string() + " --other-machine", env), 0) << Log();
  EXPECT_EQ(Rom(), backupBytes);
}

// --dry-run: every check and the merge as the real run, the blocks that would
// change (as many as the real run then changes), the real run's exit status;
// no backup, no write, no history line.
TEST_F(SafeFlash, DryRunChecksAndReportsButWritesNothing) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  for (const char* date : {"01/02/07", "07/15/07"}) {
    const bool older = std::string(date) == "01/02/07";
    fs::remove(dir / "prog/flash.sys");
    Prepare(oldRom, 0x10, imagegen::BuildQuorvel(Quorvel(date, 9)), kSettings);
    EXPECT_EQ(RunBrimlet("--dry-run /silent /wb"), older ? 4 : 0) << date << "\n" << Log();
    EXPECT_EQ(Rom(), oldRom);
    EXPECT_TRUE(Backups().empty());
    EXPECT_TRUE(HistoryLines().empty());
  }
  const std::string said = Log();
  const size_t at = said.find("brimlet: Dry run: every check passed; ");
  ASSERT_NE(at, std::string::npos) << said;
  const int reported = std::atoi(said.c_str() + at + 38);
  EXPECT_NE(said.find(" block(s) of 64 KiB would change. Nothing was backed up or written."), std::string::npos);

  ASSERT_EQ(RunBrimlet("/silent /wb"), 0) << Log();
  const Bytes now = Rom();
  int changed = 0;
  for (size_t b = 0; b < now.size(); b += 0x10000)
    changed += !std::equal(now.begin() + b, now.begin() + b + 0x10000, oldRom.begin() + b);
  EXPECT_EQ(reported, changed) << "the dry run foretold the real run";
}

// --verify-rom compares the ROM as read with a file and names the blocks that differ.
TEST_F(SafeFlash, VerifyRomNamesTheDifferingBlocks) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  Prepare(oldRom, 0x10, imagegen::BuildQuorvel(Quorvel("07/15/07", 9)), kSettings);
  WriteBytes(dir / "same.rom", oldRom);
  Bytes changed = oldRom;
  changed[0x30000] ^= 1;
  changed[0xF0010] ^= 1;
  WriteBytes(dir / "changed.rom", changed);
  struct Case {
    std::string file;
    int status;
    std::string said;
  } cases[] = {
      {dir / "same.rom", 0, "The ROM equals " + (dir / "same.rom") + " (1048576 bytes)"},
      {dir / "changed.rom", 1, "2 of 16 blocks (64 KiB) differ from " + (dir / "changed.rom") +
                                   ": 3 (0x30000), 15 (0xF0000)"},
      {dir / "missing.rom", 2, (dir / "missing.rom") + ": No such file or directory"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunBrimlet("--verify-rom " + c.file), c.status) << Log();
    EXPECT_NE(Log().find(c.said), std::string::npos) << Log();
  }
  EXPECT_EQ(Rom(), oldRom);
  EXPECT_TRUE(HistoryLines().empty());
}

// A file's name decides nothing: one named like a backup is an image, merged
// as the keep settings say. The history names the version the flash
// replaced, on Quorvel the firmware's own as the window shows it.
TEST_F(SafeFlash, AFileNamedLikeABackupIsAnImageAndTheReplacedVersionIsRecorded) {
  const Bytes oldRom = imagegen::BuildQuorvel(Quorvel("06/28/07", 3));
  const Bytes image = imagegen::BuildQuorvel(Quorvel("07/15/07", 9));
  Prepare(oldRom, 0x10, image, kSettings);
  fs::create_directories(dir / "dmi");
  std::ofstream(dir / "dmi/bios_version") << "R1.07\n";
  const std::string env = Environment() + " BIOS_TOOLS_DMI_ROOT=" + (dir / "dmi");
  std::vector<Bytes> results;
  for (const char* name : {"new.rom", "QVL-update_flashed-by-vendor.rom"}) {
    WriteBytes(dir / "machine/rom.bin", oldRom);
    fs::remove_all(dir / "state");
    WriteBytes(dir / name, image);
    ASSERT_EQ(RunBrimlet("/silent /kall /f:" + (dir / name), env), 0) << name << "\n" << Log();
    results.push_back(Rom());
    ASSERT_EQ(HistoryLines().size(), 1u);
    EXPECT_NE(HistoryLines()[0].find("\"old\":{\"layout\":\"Quorvel\",\"model\":\"QVL\",\"version\":\"R1.07\""),
              std::string::npos)
        << HistoryLines()[0];
  }
  EXPECT_TRUE(results[0] == results[1]) << "the same merge whatever the name";
  EXPECT_FALSE(results[0] == image) << "the kept areas came from the old ROM";
}
