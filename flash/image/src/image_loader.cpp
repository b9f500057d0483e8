#include "image/image_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/exit_status.h"
#include "core/flash_settings.h"
#include "image/image_checksum.h"
#include "image/load_host.h"
#include "image/message_list.h"
#include "image/package_search.h"
#include "image/region_locator.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace brim {

namespace {

constexpr unsigned kErrorBoxFlags = plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST;

void Report(const char* box, const char* caption, const char* line) {
  SilentNote(Settings(), box);
  if (Settings().silentMode) return;
  plat::MessageBox(box, caption, kErrorBoxFlags);
  AppendListLine(line);
}

// Result of reading the source into the new-image buffer.
struct ReadResult {
  bool opened = false;
  bool notRegular = false;  // a folder, a FIFO or a device: never read
  bool ok = false;
  size_t bytesRead = 0;
  PackageMatch package;  // positions relative to the buffer start
  // Settings texts of every header with "W!SH", in file order.
  std::vector<std::string> settingsTexts;
};

std::vector<std::string> SettingsTexts(const uint8_t* data, const PackageMatch& m) {
  std::vector<std::string> texts;
  for (size_t at : m.settingsOffsets)
    texts.emplace_back(reinterpret_cast<const char*>(data + at), kPackageSettingsCount);
  return texts;
}

size_t ReadInto(std::FILE* f, uint8_t* to, size_t capacity, bool& ok) {
  size_t total = 0;
  while (total < capacity) {
    size_t n = std::fread(to + total, 1, capacity - total, f);
    total += n;
    if (n == 0) break;
  }
  ok = !std::ferror(f);
  return total;
}

// Reads at most the buffer's size from the file. Only brimlet's own program
// file (larger than the buffer on Linux) is searched whole, and streamed: the
// buffer receives the bytes from its last package header on.
// Opened without waiting and read only when it is a regular file: a FIFO or
// a device named as an image would otherwise block or feed endless bytes.
std::FILE* OpenRegular(const std::string& path, bool* notRegular) {
  const int fd = ::open(plat::ResolvePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *notRegular = true;
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) ::close(fd);
  return f;
}

ReadResult ReadSource(const std::string& path, std::vector<uint8_t>& buffer, bool wholeFileSearch) {
  ReadResult result;
  std::FILE* f = OpenRegular(path, &result.notRegular);
  if (!f) return result;
  result.opened = true;
  bool ok = true;
  size_t n = ReadInto(f, buffer.data(), buffer.size(), ok);
  int extra = EOF;
  if (wholeFileSearch && ok && n == buffer.size()) extra = std::fgetc(f);
  if (extra == EOF) {
    std::fclose(f);
    result.ok = ok;
    result.bytesRead = n;
    if (ok) {
      result.package = FindPackageHeader(buffer.data(), n);
      result.settingsTexts = SettingsTexts(buffer.data(), result.package);
    }
    return result;
  }
  std::vector<uint8_t> whole(buffer.begin(), buffer.end());
  whole.push_back(static_cast<uint8_t>(extra));
  uint8_t chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) whole.insert(whole.end(), chunk, chunk + got);
  ok = !std::ferror(f);
  std::fclose(f);
  result.ok = ok;
  if (!ok) {
    result.bytesRead = n;
    return result;
  }
  PackageMatch inFile = FindPackageHeader(whole.data(), whole.size());
  size_t from = inFile.found ? inFile.headerOffset : 0;
  size_t count = std::min(buffer.size(), whole.size() - from);
  std::memcpy(buffer.data(), whole.data() + from, count);
  result.bytesRead = count;
  result.package = FindPackageHeader(buffer.data(), count);
  result.settingsTexts = SettingsTexts(whole.data(), inFile);
  return result;
}

std::string& LoadedPath() {
  static std::string path;
  return path;
}

bool CommandLineFileNamed() {
  const FlashSettings& s = Settings();
  return s.fileFromCommandLine && !s.commandLineFileName.empty();
}

}  // namespace

const std::string& LastLoadedPath() { return LoadedPath(); }

std::string AutomaticLoadPath() {
  const FlashSettings& s = Settings();
  if (CommandLineFileNamed())
    return s.fileNameRelative ? s.exeDir + s.commandLineFileName : s.commandLineFileName;
  return s.exeDir + s.exeFileName;
}

void LoadNewImage() {
  FlashSettings& s = Settings();
  BiosImage& image = NewImage();
  if (image.buffer.empty()) {
    // Sizes stay 32-bit, so the buffer may not grow beyond that.
    size_t want = std::min<size_t>(size_t{CurrentRomImage().size} + kNewImageSlack, 0xFFFFFFFFu);
    if (!AllocateImageBuffer(image, want)) {
      s.errorCode = kErrOpenImage;
      Report("Allocate Buffer Fail !", "Brimlet Error", "Allocate Buffer Fail !!");
      return;
    }
    image.size = 0;
  }
  LoadHost* host = CurrentLoadHost();

  std::string path;
  bool fromProgramFile = false;
  if (s.autoFlashPending) {
    path = AutomaticLoadPath();
    if (CommandLineFileNamed() && s.fileNameRelative) {
      // The completed path replaces the stored name, once.
      s.commandLineFileName = path;
      s.fileNameRelative = 0;
    }
    fromProgramFile = !CommandLineFileNamed();
  } else if (!s.ftpFileGiven) {
    if (!host || !host->ChooseImageFile(path)) return;
  }
  if (!s.silentMode && host) host->SaveDialogData();

  if (!s.ftpFileGiven) {
    ReadResult read = ReadSource(path, image.buffer, fromProgramFile);
    if (!read.opened) {
      s.errorCode = kErrOpenImage;
      SilentNote(s, "Could not open file " + path + (read.notRegular ? ": not a regular file" : ""));
      if (!s.silentMode) {
        plat::MessageBox("Could not open file.", "Brimlet error", kErrorBoxFlags);
        AppendListLine("Could not open file");
      }
      return;
    }
    image.bytes = image.buffer.data();
    image.size = static_cast<uint32_t>(read.bytesRead);
    if (!read.ok) {
      s.errorCode = kErrReadImage;
      Report("Read File Error !", "Brimlet Error", "Read File Error !!");
      return;
    }
    if (fromProgramFile && !read.package.found) {
      // Program bytes must never pass for a BIOS image.
      image.size = 0;
      s.errorCode = kErrOpenImage;
      Report("No BIOS image package found in the program file.", "Brimlet Error",
             "No BIOS image package found !!");
      return;
    }
    for (const std::string& text : read.settingsTexts) ApplyPackageSettings(text.c_str());
    if (read.package.found) {
      image.bytes = image.buffer.data() + read.package.imageOffset;
      image.size = static_cast<uint32_t>(read.bytesRead - read.package.imageOffset);
    }
  } else if (!image.bytes) {
    image.bytes = image.buffer.data();
  }

  LoadedPath() = s.ftpFileGiven ? s.ftpFileName : plat::ResolvePath(path);
  s.imageLoaded = 1;
  if (!s.silentMode) AppendListLine("Loading BIOS binary file OK !!!");
  LocateRegions(image);
  ComputeImageChecksum(image);
  if (!s.silentMode && host) host->NewImageLoaded();
}

}  // namespace brim
