#include "image/image_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
  std::string why;  // the system's reason when not opened or not read
  bool opened = false;
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

size_t ReadInto(std::FILE* f, uint8_t* to, size_t capacity, bool& ok, std::string& why) {
  size_t total = 0;
  errno = 0;
  while (total < capacity) {
    size_t n = std::fread(to + total, 1, capacity - total, f);
    total += n;
    if (n == 0) break;
  }
  ok = !std::ferror(f);
  if (!ok) why = std::strerror(errno);
  return total;
}

// Opens the file the name stands for: as written when it exists so, else
// the one entry that matches without regard to case; several such entries
// are refused, naming them, since which one was meant cannot be told.
std::FILE* OpenNamed(const std::string& path, std::string& why) {
  const plat::ResolvedPath where = plat::ResolvePathChecked(path);
  if (!where.ambiguous.empty()) {
    why = "names that differ only in case:";
    for (const std::string& name : where.ambiguous) why += " " + name;
    return nullptr;
  }
  // Opened without waiting and read only when it is a regular file: a FIFO
  // or a device named as an image would otherwise block or feed endless bytes.
  const int fd = ::open(where.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "not a regular file";
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    why = std::strerror(errno);
    ::close(fd);
  }
  return f;
}

// The program file searched in one pass for its last package header, found
// exactly as FindPackageHeader finds it in the whole file held at once. The
// bytes from the last header on (at most the buffer's size) land in the
// buffer as they are read, so the package is read once; the settings texts
// of every header come in file order.
struct PackageStream {
  bool ok = false;
  bool found = false;
  size_t bytesRead = 0;  // buffer bytes from the last header on
  std::vector<std::string> settingsTexts;
};

PackageStream StreamLastPackage(std::FILE* f, ImageBytes& buffer, std::string& why) {
  PackageStream out;
  constexpr size_t kPiece = 1 << 20;
  std::vector<uint8_t> spare(kPiece + kPackageHeaderSize);
  // The scan runs over one window: the buffer while it holds the last header
  // found and has room, else the spare window.
  uint8_t* window = spare.data();
  size_t capacity = spare.size();
  bool inBuffer = false;
  uint64_t start = 0;  // file offset of window[0]
  size_t held = 0;
  bool end = false;
  uint64_t p = 0;
  uint64_t last = 0;           // the last header found
  bool bufferHolds = false;    // the buffer starts with a header's bytes ...
  uint64_t bufferOrigin = 0;   // ... this one
  errno = 0;
  if (std::fseek(f, 0, SEEK_SET) != 0) {
    why = std::strerror(errno);
    return out;
  }
  auto has = [&](uint64_t at, uint64_t n) { return at + n <= start + held; };
  auto tag = [&](uint64_t at, const char* t) {
    return has(at, 4) && std::memcmp(window + (at - start), t, 4) == 0;
  };
  // A header found since the last move lies in the window: the buffer takes
  // the bytes from it on. Done once per piece read, so any number of headers
  // costs at most a piece's move each time.
  auto settle = [&] {
    if (!out.found || (bufferHolds && last == bufferOrigin)) return;
    const size_t n = std::min<size_t>(static_cast<size_t>(start + held - last), buffer.size());
    if (inBuffer)
      std::memmove(buffer.data(), window + (last - start), n);
    else
      std::memcpy(buffer.data(), window + (last - start), n);
    window = buffer.data();
    capacity = buffer.size();
    inBuffer = bufferHolds = true;
    start = bufferOrigin = last;
    held = n;
  };
  for (;;) {
    // A header is judged only with all its bytes at hand or at the file's end.
    if (!end && !has(p, kPackageHeaderSize)) {
      settle();
      const size_t keep = p < start + held ? static_cast<size_t>(start + held - p) : 0;
      if (inBuffer && held == capacity) {
        // The buffer is full of the package; what follows is only searched.
        std::memcpy(spare.data(), window + (held - keep), keep);
        window = spare.data();
        capacity = spare.size();
        inBuffer = false;
        start += held - keep;
        held = keep;
      } else if (!inBuffer) {
        std::memmove(window, window + (held - keep), keep);
        start += held - keep;
        held = keep;
      }
      const size_t want = std::min(capacity - held, kPiece);
      bool ok = true;
      const size_t n = ReadInto(f, window + held, want, ok, why);
      if (!ok) return out;
      held += n;
      end = n < want;
      continue;
    }
    if (p >= start + held) break;
    const void* hit = std::memchr(window + (p - start), 'H', static_cast<size_t>(start + held - p));
    if (!hit) {
      p = start + held;
      if (end) break;
      continue;
    }
    p = start + static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - window);
    if (!end && !has(p, kPackageHeaderSize)) continue;
    if (!tag(p, "HOLB")) {
      p += 1;
      continue;
    }
    if (!tag(p + 4, "RIKE")) {
      p += 5;
      continue;
    }
    out.found = true;
    last = p;
    if (tag(p + 10, "W!SH") && has(p, kPackageHeaderSize))
      out.settingsTexts.emplace_back(reinterpret_cast<const char*>(window + (p + 14 - start)),
                                     kPackageSettingsCount);
    p += 11;
  }
  settle();
  out.ok = true;
  if (out.found) out.bytesRead = inBuffer ? held : buffer.size();
  return out;
}

// Reads at most the buffer's size from the file. Only brimlet's own program
// file (larger than the buffer on Linux) is searched whole, and streamed: the
// buffer receives the bytes from its last package header on.
ReadResult ReadSource(const std::string& path, ImageBytes& buffer, bool wholeFileSearch) {
  ReadResult result;
  std::FILE* f = OpenNamed(path, result.why);
  if (!f) return result;
  result.opened = true;
  bool ok = true;
  struct stat st;
  const bool larger = wholeFileSearch && ::fstat(::fileno(f), &st) == 0 &&
                      static_cast<uint64_t>(st.st_size) > buffer.size();
  size_t n = 0;
  int extra = EOF;
  if (!larger) {
    n = ReadInto(f, buffer.data(), buffer.size(), ok, result.why);
    if (wholeFileSearch && ok && n == buffer.size()) extra = std::fgetc(f);
  }
  if (!larger && extra == EOF) {
    std::fclose(f);
    result.ok = ok;
    result.bytesRead = n;
    if (ok) {
      result.package = FindPackageHeader(buffer.data(), n);
      result.settingsTexts = SettingsTexts(buffer.data(), result.package);
    }
    return result;
  }
  // Never the whole file in memory, and read once: the buffer receives the
  // bytes from the last header on as the search passes them.
  const PackageStream stream = StreamLastPackage(f, buffer, result.why);
  std::fclose(f);
  result.ok = stream.ok;
  result.bytesRead = stream.bytesRead;
  if (!stream.ok) return result;
  result.package = FindPackageHeader(buffer.data(), stream.bytesRead);
  result.settingsTexts = stream.settingsTexts;
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
  if (CommandLineFileNamed()) {
    // Settings filled by older code paths may carry the upper-cased name only.
    const std::string& name =
        s.commandLineFileAsWritten.empty() ? s.commandLineFileName : s.commandLineFileAsWritten;
    return s.fileNameRelative ? s.exeDir + name : name;
  }
  return s.exeDir + s.exeFileName;
}

void LoadNewImage() {
  FlashSettings& s = Settings();
  BiosImage& image = NewImage();
  bool fresh = false;
  if (image.buffer.empty()) {
    fresh = true;
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
      s.commandLineFileName = s.exeDir + s.commandLineFileName;
      s.commandLineFileAsWritten = path;
      s.fileNameRelative = 0;
    }
    fromProgramFile = !CommandLineFileNamed();
  } else if (!s.ftpFileGiven) {
    if (!host || !host->ChooseImageFile(path)) return;
  }
  if (!s.silentMode && host) host->SaveDialogData();

  if (!s.ftpFileGiven) {
    ReadResult read = ReadSource(path, image.buffer, fromProgramFile);
    // The buffer is not zeroed when it is made: what the file did not fill is,
    // so no byte past a short image is ever undefined.
    // memset, not a byte loop: instrumented builds would otherwise zero the
    // whole slack byte by byte on every load.
    std::memset(image.buffer.data() + read.bytesRead, 0, image.buffer.size() - read.bytesRead);
    // The name as the user wrote it, and why the system would not have it.
    const std::string named = plat::WithSlashes(path) + ": " + read.why;
    if (!read.opened) {
      s.errorCode = kErrOpenImage;
      SilentNote(s, "Could not open file " + named);
      if (!s.silentMode) {
        plat::MessageBox("Could not open file.\n" + named, "Brimlet error", kErrorBoxFlags);
        AppendListLine("Could not open file " + named);
      }
      return;
    }
    image.bytes = image.buffer.data();
    image.size = static_cast<uint32_t>(read.bytesRead);
    if (!read.ok) {
      s.errorCode = kErrReadImage;
      Report(("Read File Error !\n" + named).c_str(), "Brimlet Error", ("Read File Error !! " + named).c_str());
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
  } else {
    if (!image.bytes) image.bytes = image.buffer.data();
    if (fresh) std::memset(image.buffer.data(), 0, image.buffer.size());
  }

  LoadedPath() = s.ftpFileGiven ? s.ftpFileName : plat::ResolvePath(path);
  s.imageLoaded = 1;
  if (!s.silentMode) AppendListLine("Loading BIOS binary file OK !!!");
  LocateRegions(image);
  ComputeImageChecksum(image);
  if (!s.silentMode && host) host->NewImageLoaded();
}

}  // namespace brim
