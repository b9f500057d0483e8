#include "image/image_loader.h"

#include <algorithm>
#include <cstring>

#include "core/settings_word.h"
#include "image/image_checksum.h"
#include "image/image_layout.h"
#include "image/load_host.h"
#include "image/package_search.h"
#include "image_test_support.h"
#include "imagegen/layouts.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

using Bytes = std::vector<uint8_t>;

class FakeHost : public LoadHost {
 public:
  bool ChooseImageFile(std::string& p) override {
    ++chooseCalls;
    if (path.empty()) return false;
    p = path;
    return true;
  }
  void SaveDialogData() override { ++saveCalls; }
  void NewImageLoaded() override { ++loadedCalls; }
  std::string path;
  int chooseCalls = 0, saveCalls = 0, loadedCalls = 0;
};

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class Loader : public ImageTest {
 protected:
  void SetUp() override {
    ImageTest::SetUp();
    previousHost_ = SetLoadHost(&host);
    CurrentRomImage().baseAddress = 0xFFF00000;
    CurrentRomImage().size = 0x100000;
    NewImage().flagWord = kFlagQuorvel;
  }
  void TearDown() override {
    SetLoadHost(previousHost_);
    ImageTest::TearDown();
  }
  // Loads `bytes` as a file chosen in the dialog.
  void LoadFile(const Bytes& bytes, const std::string& name = "image.bin") {
    host.path = dir.Write(name, bytes);
    LoadNewImage();
  }
  size_t ImageOffsetInBuffer() const {
    return static_cast<size_t>(NewImage().bytes - NewImage().buffer.data());
  }

  plat::ScriptedMessageBox boxes;
  FakeHost host;
  TempDir dir;

 private:
  LoadHost* previousHost_ = nullptr;
};

TEST_F(Loader, HeaderAtStartIsStrippedAndItsSettingsApplied) {
  Bytes image = imagegen::BuildReferenceImage();
  LoadFile(imagegen::BuildPackage(image));
  BiosImage& img = NewImage();
  EXPECT_EQ(img.size, image.size());
  EXPECT_EQ(ImageOffsetInBuffer(), 48u);
  EXPECT_EQ(0, std::memcmp(img.bytes, image.data(), image.size()));
  EXPECT_EQ(img.buffer.size(), 0x100000u + 0x200000u);
  EXPECT_EQ(Settings().imageLoaded, 1);
  EXPECT_EQ(Settings().keepPassword, 1);
  EXPECT_EQ(Settings().keepDmiData, 0);
  EXPECT_EQ(img.checksum, ByteSum16(image.data(), image.size()));
  EXPECT_STREQ(img.modelCode, "HLB");  // located
  EXPECT_EQ(list.appended, std::vector<std::string>{"Loading BIOS binary file OK !!!"});
  EXPECT_EQ(host.saveCalls, 1);
  EXPECT_EQ(host.loadedCalls, 1);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Loader, ModelCodeWithoutSettingsTagStartsImageAfterLineBreak) {
  Settings().keepDmiData = 1;
  Settings().settingsWord = kKeepDmiData;
  Bytes image(0x1000, 0x5A);
  LoadFile(imagegen::BuildPackage(image, "", "HOLBRIKE", false));
  EXPECT_EQ(ImageOffsetInBuffer(), 10u);
  EXPECT_EQ(NewImage().size, 0x1000u);
  EXPECT_EQ(Settings().keepDmiData, 1);
  EXPECT_EQ(Settings().settingsWord, kKeepDmiData);
}

TEST_F(Loader, LastOfSeveralHeadersDecides) {
  std::string first(34, '1'), second(34, '0');
  Bytes image(0x800, 0x11);
  LoadFile(Concat(imagegen::BuildPackage(Bytes(0x400, 0x22), first),
                  imagegen::BuildPackage(image, second)));
  EXPECT_EQ(ImageOffsetInBuffer(), 48u + 0x400 + 48u);
  EXPECT_EQ(NewImage().size, 0x800u);
  EXPECT_EQ(Settings().keepPassword, 0);
  EXPECT_EQ(Settings().settingsWord, 0u);
}

TEST_F(Loader, EarlierSettingsStayWhenTheLastHeaderHasNone) {
  std::string first(34, '0');
  first[1] = '1';  // KEEPPASSWORD
  LoadFile(Concat(imagegen::BuildPackage(Bytes(0x400, 0x22), first),
                  imagegen::BuildPackage(Bytes(0x800, 0x11), "", "HOLBRIKE", false)));
  EXPECT_EQ(ImageOffsetInBuffer(), 48u + 0x400 + 10u);
  EXPECT_EQ(Settings().keepPassword, 1);
}

TEST_F(Loader, PlainAndEmptyFilesAreUsedWhole) {
  LoadFile(Bytes(0x100000, 0xA5));
  EXPECT_EQ(NewImage().size, 1048576u);
  EXPECT_EQ(ImageOffsetInBuffer(), 0u);
  LoadFile(Bytes{}, "empty.bin");
  EXPECT_EQ(NewImage().size, 0u);
  EXPECT_EQ(NewImage().checksum, 0u);
  EXPECT_EQ(Settings().imageLoaded, 1);
}

TEST_F(Loader, SecondLoadReusesTheBufferFromItsStart) {
  LoadFile(imagegen::BuildPackage(Bytes(0x1000, 1)));
  const uint8_t* allocation = NewImage().buffer.data();
  LoadFile(Bytes(0x2000, 2), "plain.rom");
  EXPECT_EQ(NewImage().buffer.data(), allocation);
  EXPECT_EQ(NewImage().bytes, allocation);
  EXPECT_EQ(NewImage().size, 0x2000u);
}

TEST_F(Loader, ModelCodeHalfWithoutItsSecondHalfSkipsFiveBytes) {
  // "HOLB" without "RIKE" resumes five bytes on, so an overlapping model code is not seen.
  Bytes file = Concat(Text("HOLBHOLBRIKE\r\nW!SH" + std::string(34, '1')), Bytes(0x100, 0));
  LoadFile(file);
  EXPECT_EQ(ImageOffsetInBuffer(), 0u);
  EXPECT_EQ(NewImage().size, file.size());
  EXPECT_EQ(Settings().keepPassword, 0);
}

TEST_F(Loader, FileLongerThanTheBufferIsCutWithoutComplaint) {
  CurrentRomImage().size = 0;  // buffer of 2 MiB
  LoadFile(Bytes(0x200000 + 0x1234, 0x33));
  EXPECT_EQ(NewImage().size, 0x200000u);
  EXPECT_EQ(Settings().errorCode, 0);
}

// Only brimlet's own program file is searched whole: a chosen file's package
// header beyond the buffer is never reached, and its settings are not applied.
TEST_F(Loader, ChosenFileIsReadNoFurtherThanTheBuffer) {
  CurrentRomImage().size = 0;  // buffer of 2 MiB
  const Bytes head(0x200000, 0x44);
  LoadFile(Concat(head, imagegen::BuildPackage(Bytes(0x800, 0x11), std::string(34, '1'))));
  EXPECT_EQ(ImageOffsetInBuffer(), 0u);
  EXPECT_EQ(NewImage().size, 0x200000u);
  EXPECT_EQ(Settings().keepPassword, 0);
  EXPECT_EQ(Settings().errorCode, 0);
}

TEST_F(Loader, OpenFailureKeepsThePreviousImage) {
  LoadFile(Bytes(0x100, 7));
  list.appended.clear();
  host.path = dir.File("missing.bin");
  LoadNewImage();
  EXPECT_EQ(Settings().errorCode, kErrOpenImage);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  const std::string named = dir.File("missing.bin") + ": No such file or directory";
  EXPECT_EQ(boxes.boxes[0].text, "Could not open file.\n" + named);
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet error");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
  EXPECT_EQ(list.appended, std::vector<std::string>{"Could not open file " + named});
  EXPECT_EQ(NewImage().size, 0x100u);
}

// A folder, a FIFO or a device is never opened as an image: no read that
// blocks or never ends.
TEST_F(Loader, OnlyRegularFilesAreOpened) {
  const std::string fifo = dir.File("pipe.rom");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir.path(), fifo, std::string("/dev/zero")}) {
    Settings() = FlashSettings();
    boxes.boxes.clear();
    host.path = path;
    LoadNewImage();
    EXPECT_EQ(Settings().errorCode, kErrOpenImage) << path;
    ASSERT_EQ(boxes.boxes.size(), 1u) << path;
    EXPECT_EQ(boxes.boxes[0].text, "Could not open file.\n" + path + ": not a regular file");
  }
}

TEST_F(Loader, ReadFailureSetsErrorTen) {
  host.path = "/proc/self/mem";  // opens as a file; reading its start fails
  LoadNewImage();
  EXPECT_EQ(Settings().errorCode, kErrReadImage);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Read File Error !\n/proc/self/mem: Input/output error");
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
  EXPECT_EQ(list.appended, std::vector<std::string>{"Read File Error !! /proc/self/mem: Input/output error"});
  EXPECT_EQ(NewImage().size, 0u);
  EXPECT_EQ(Settings().imageLoaded, 0);
}

// Which name wins is the platform's table; here, that a refusal names them.
TEST_F(Loader, NamesThatDifferOnlyInCaseAreNamedInTheRefusal) {
  dir.Write("upd.rom", Bytes(0x10, 1));
  dir.Write("Upd.rom", Bytes(0x10, 2));
  host.path = dir.File("UPD.ROM");
  LoadNewImage();
  EXPECT_EQ(Settings().errorCode, kErrOpenImage);
  ASSERT_EQ(list.appended.size(), 1u);
  EXPECT_EQ(list.appended[0], "Could not open file " + dir.File("UPD.ROM") +
                                  ": names that differ only in case: " + dir.File("Upd.rom") + " " +
                                  dir.File("upd.rom"));
}

TEST_F(Loader, SilentModeShowsNothing) {
  Settings().silentMode = 1;
  host.path = dir.File("missing.bin");
  LoadNewImage();
  EXPECT_EQ(Settings().errorCode, kErrOpenImage);
  LoadFile(Bytes(0x100, 1));
  EXPECT_EQ(Settings().imageLoaded, 1);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(list.appended.empty());
  EXPECT_EQ(host.saveCalls, 0);
  EXPECT_EQ(host.loadedCalls, 0);
}

TEST_F(Loader, CancelledDialogChangesNothing) {
  host.path.clear();
  LoadNewImage();
  EXPECT_EQ(host.chooseCalls, 1);
  EXPECT_EQ(Settings().imageLoaded, 0);
  EXPECT_EQ(Settings().errorCode, 0);
  EXPECT_TRUE(list.appended.empty());
}

TEST_F(Loader, ServerFileSettingReadsNothing) {
  Settings().ftpFileGiven = 1;
  LoadNewImage();
  EXPECT_EQ(host.chooseCalls, 0);
  EXPECT_EQ(Settings().imageLoaded, 1);
  EXPECT_EQ(NewImage().size, 0u);
}

class AutomaticLoad : public Loader {
 protected:
  void SetUp() override {
    Loader::SetUp();
    Settings().autoFlashPending = 1;
    Settings().exeDir = dir.path() + "/";
    Settings().exeFileName = "brimlet.exe";
  }
};

TEST_F(AutomaticLoad, FindsThePackageBehindTheProgram) {
  Bytes package = imagegen::BuildReferencePackage();
  dir.Write("brimlet.exe", imagegen::BuildExecutable(package));
  LoadNewImage();
  EXPECT_EQ(host.chooseCalls, 0);
  EXPECT_EQ(NewImage().size, package.size() - 48);
  EXPECT_EQ(0, std::memcmp(NewImage().bytes, package.data() + 48, package.size() - 48));
  EXPECT_EQ(Settings().keepNvs, 1);
  EXPECT_EQ(Settings().errorCode, 0);
}

TEST_F(AutomaticLoad, FindsThePackageOfAProgramLargerThanTheBuffer) {
  CurrentRomImage().size = 0;  // buffer of 2 MiB, program of 4 MiB
  Bytes package = imagegen::BuildReferencePackage();
  dir.Write("brimlet.exe", imagegen::BuildExecutable(package, 0x400000));
  LoadNewImage();
  ASSERT_EQ(NewImage().size, package.size() - 48);
  EXPECT_EQ(0, std::memcmp(NewImage().bytes, package.data() + 48, package.size() - 48));
  EXPECT_EQ(Settings().keepNvs, 1);
  EXPECT_EQ(Settings().imageLoaded, 1);
}

// The program file is searched a piece at a time, never held whole: headers
// wherever the pieces meet, several of them, a cut one and a false start
// must be found as a search of the whole file finds them, and the bytes the
// file leaves in the buffer are zero, whatever the buffer held before.
TEST_F(AutomaticLoad, PieceBySearchFindsWhatTheWholeFileSearchFinds) {
  constexpr size_t kPiece = 0x100000;
  // Character 0 keeps the DMI data: on in the first header's settings, off in the second's.
  const Bytes settingsA = [] {
    Bytes b(34, '0');
    b[0] = '1';
    return b;
  }();
  const Bytes settingsB(34, '0');
  struct Placed {
    size_t at;
    bool settings;
  };
  auto Dense = [](size_t from, size_t count) {
    std::vector<Placed> v;
    for (size_t i = 0; i < count; ++i) v.push_back({from + 11 * i, false});
    return v;
  };
  const struct {
    const char* what;
    size_t fileSize;
    std::vector<Placed> headers;
    bool falseStart;  // "HOLB" without "RIKE" just before the first header
  } cases[] = {
      {"across the first seam", 0x300000, {{kPiece - 20, true}}, false},
      {"its settings across the seam", 0x300000, {{kPiece - 30, true}}, true},
      {"ending on the seam", 0x300000, {{kPiece - 48, true}}, false},
      {"starting on the seam", 0x300000, {{kPiece, false}}, true},
      {"two, the last decides", 0x300000, {{kPiece - 5, true}, {2 * kPiece + 3, false}}, false},
      {"the last cut by the file's end", 0x280000, {{0x180000, true}, {0x280000 - 30, true}}, false},
      {"an image shorter than the buffer", 0x240000, {{0x200000, true}}, false},
      // The buffer (2 MiB) fills behind the first header; the search goes on.
      {"a later one after the buffer filled", 0x400000, {{0x10, true}, {0x280000, false}}, false},
      {"a later one across the buffer's end", 0x300000, {{0x100, true}, {0x200100 - 20, true}}, false},
      {"thousands, 11 bytes apart, across a seam", 0x300000, Dense(0x1FF000, 3000), false},
  };
  for (const auto& c : cases) {
    Bytes file(c.fileSize);
    uint32_t x = 7;
    for (uint8_t& b : file) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24) & 0x3F;
    for (size_t i = 0; i < c.headers.size(); ++i) {
      const Placed& h = c.headers[i];
      const std::string tag = h.settings ? "HOLBRIKE\r\nW!SH" : "HOLBRIKE\r\n";
      for (size_t k = 0; k < tag.size() && h.at + k < file.size(); ++k) file[h.at + k] = tag[k];
      const Bytes& text = i % 2 ? settingsB : settingsA;
      for (size_t k = 0; h.settings && k < 34 && h.at + 14 + k < file.size(); ++k) file[h.at + 14 + k] = text[k];
    }
    if (c.falseStart) std::memcpy(&file[c.headers[0].at - 8], "HOLBHOLB", 8);
    const PackageMatch whole = FindPackageHeader(file.data(), file.size());
    ASSERT_TRUE(whole.found) << c.what;

    Settings().keepDmiData = -1;
    CurrentRomImage().size = 0;  // a 2 MiB buffer
    if (!NewImage().buffer.empty()) std::fill(NewImage().buffer.begin(), NewImage().buffer.end(), 0xA5);
    dir.Write("brimlet.exe", file);
    LoadNewImage();
    BiosImage& img = NewImage();
    const size_t count = std::min(img.buffer.size(), file.size() - whole.headerOffset);
    const size_t imageAt = std::min(whole.imageOffset, file.size()) - whole.headerOffset;
    ASSERT_EQ(img.size, count - std::min(imageAt, count)) << c.what;
    EXPECT_EQ(0, std::memcmp(img.buffer.data(), file.data() + whole.headerOffset, count)) << c.what;
    EXPECT_TRUE(std::all_of(img.buffer.begin() + count, img.buffer.end(), [](uint8_t b) { return b == 0; }))
        << c.what;
    // The settings of every header, the last applied last.
    const int keep = whole.settingsOffsets.empty() ? -1 : file[whole.settingsOffsets.back()] == '1';
    EXPECT_EQ(Settings().keepDmiData, keep) << c.what;
  }
}

TEST_F(AutomaticLoad, ProgramWithoutPackageIsRefused) {
  dir.Write("brimlet.exe", imagegen::BuildExecutable(Bytes{}, 0x300000));
  LoadNewImage();
  EXPECT_EQ(Settings().errorCode, kErrOpenImage);
  EXPECT_EQ(Settings().imageLoaded, 0);
  EXPECT_EQ(NewImage().size, 0u);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "No BIOS image package found in the program file.");
  EXPECT_EQ(list.appended, std::vector<std::string>{"No BIOS image package found !!"});
}

TEST_F(AutomaticLoad, SilentProgramWithoutPackageOnlySetsTheErrorCode) {
  Settings().silentMode = 1;
  dir.Write("brimlet.exe", imagegen::BuildExecutable(Bytes{}, 0x1000));
  LoadNewImage();
  EXPECT_EQ(Settings().errorCode, kErrOpenImage);
  EXPECT_EQ(NewImage().size, 0u);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(AutomaticLoad, OpensTheCommandLineFileRelativeToTheProgramFolder) {
  Settings().fileFromCommandLine = 1;
  Settings().fileNameRelative = 1;
  Settings().commandLineFileName = "NEW BIOS.BIN";
  dir.Write("new bios.bin", Bytes(0x4000, 0x44));
  LoadNewImage();
  EXPECT_EQ(Settings().errorCode, 0);
  EXPECT_EQ(NewImage().size, 0x4000u);
  EXPECT_EQ(Settings().commandLineFileName, dir.path() + "/NEW BIOS.BIN");
  EXPECT_EQ(AutomaticLoadPath(), dir.path() + "/NEW BIOS.BIN");  // completed once
}

TEST_F(AutomaticLoad, OpensAnAbsoluteCommandLineFileWithBackslashes) {
  std::filesystem::create_directory(dir.File("sub"));
  dir.Write("sub/plain.rom", Bytes(0x3000, 0x55));
  Settings().fileFromCommandLine = 1;
  Settings().fileNameRelative = 0;
  Settings().commandLineFileName = dir.path() + "\\SUB\\PLAIN.ROM";
  LoadNewImage();
  EXPECT_EQ(Settings().errorCode, 0);
  EXPECT_EQ(NewImage().size, 0x3000u);  // a plain file needs no package
}

// ---- package settings ----

class PackageSettings : public ImageTest {};

TEST_F(PackageSettings, ReferenceTextTurnsOnExactlyTheTenNamedSettings) {
  FlashSettings& s = Settings();
  s.settingsWord = 0xFFFFFFFF;
  s.keepDmiData = s.keepBootBlock = s.showLogo = s.shutdownAfterFlash = s.forceReadIni = 1;
  ApplyPackageSettings(imagegen::kReferenceSettings);
  EXPECT_EQ(s.settingsWord & 0x7FFFFFF,
            kKeepPassword | kKeepEscdData | kKeepNvs | kVerifyReleaseDate | kVerifyModelId |
                kVerifySize | kVerifyPassword | kVerifyPower | kReboot | kExecuteFromNewBios);
  EXPECT_EQ(s.keepPassword + s.keepEscdData + s.keepNvs + s.verifyReleaseDate + s.verifyModelId +
                s.verifySize + s.verifyPassword + s.verifyPower + s.rebootAfterFlash +
                s.executeFromNewBios,
            10);
  EXPECT_EQ(s.keepDmiData + s.keepBootBlock + s.verifyChecksum + s.showLogo + s.shutdownAfterFlash +
                s.loadDefaultCmos + s.forceReadIni + s.keepKbc + s.keepThermalTable,
            0);
}

TEST_F(PackageSettings, OnlyTheCharacterOneCountsAsOn) {
  std::string text(34, '1');
  text[0] = '2';
  text[1] = ' ';
  ApplyPackageSettings(text.c_str());
  EXPECT_EQ(Settings().keepDmiData, 0);
  EXPECT_EQ(Settings().keepPassword, 0);
  EXPECT_EQ(Settings().keepScPassword, 1);
}

TEST_F(PackageSettings, ShutdownTurnsRebootOff) {
  std::string text(34, '0');
  text[24] = text[25] = '1';
  ApplyPackageSettings(text.c_str());
  EXPECT_EQ(Settings().shutdownAfterFlash, 1);
  EXPECT_EQ(Settings().rebootAfterFlash, 0);
  EXPECT_EQ(Settings().settingsWord, uint32_t{kShutdown});
}

TEST_F(PackageSettings, CommandLineAndForceProtectTheirGroups) {
  FlashSettings& s = Settings();
  s.commandLineOptions = 1;
  s.forceNoVerify = 1;
  s.keepDmiData = 1;
  s.settingsWord = kKeepDmiData;
  ApplyPackageSettings(std::string(34, '1').c_str());
  EXPECT_EQ(s.keepDmiData, 1);
  EXPECT_EQ(s.keepPassword, 0);
  EXPECT_EQ(s.rebootAfterFlash, 0);
  EXPECT_EQ(s.verifySize, 0);
  // The last four characters always count.
  EXPECT_EQ(s.showLogo + s.loadDefaultCmos + s.executeFromNewBios + s.forceReadIni, 4);
  EXPECT_EQ(s.settingsWord, kKeepDmiData | kLoadDefaultCmos | kExecuteFromNewBios);
}

// ---- header search ----

TEST(PackageSearch, HeaderCutByTheEndLeavesAnEmptyImageAndNoSettings) {
  Bytes data = Concat(Bytes(20, 0), Text("HOLBRIKE\r\nW!SH0101"));
  PackageMatch m = FindPackageHeader(data.data(), data.size());
  EXPECT_TRUE(m.found);
  EXPECT_FALSE(m.hasSettings);
  EXPECT_TRUE(m.settingsOffsets.empty());
  EXPECT_EQ(m.imageOffset, data.size());
  Bytes bare = Text("xxHOLBRIKE");
  m = FindPackageHeader(bare.data(), bare.size());
  EXPECT_TRUE(m.found);
  EXPECT_EQ(m.imageOffset, bare.size());
}

TEST(PackageSearch, PlainBytesHaveNoHeader) {
  Bytes data = Text("HOLB RIKE HOLBRIK HHHOLBRIK");
  EXPECT_FALSE(FindPackageHeader(data.data(), data.size()).found);
  EXPECT_FALSE(FindPackageHeader(nullptr, 0).found);
}

}  // namespace
}  // namespace brim
