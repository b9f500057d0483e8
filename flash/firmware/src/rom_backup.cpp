#include "firmware/rom_backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "image/image_loader.h"
#include "platform/system_paths.h"

namespace brim {

namespace {

constexpr uint32_t kBlock = 0x10000;

std::string FileNamePart(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool fit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.';
    out += fit ? c : '-';
  }
  return out;
}

std::string Fixed(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

bool WriteAll(int fd, const uint8_t* data, size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

RomBackup Failed(const std::string& path, const char* what) {
  RomBackup b;
  b.path = path;
  b.error = std::string(what) + " " + path + ": " + std::strerror(errno);
  return b;
}

}  // namespace

std::string BackupFolder() { return plat::StateFolder() + "/backups"; }

std::string BackupBaseName(const BiosImage& rom, std::time_t when) {
  std::string model = FileNamePart(Fixed(rom.modelCode, sizeof rom.modelCode));
  std::string date = FileNamePart(Fixed(rom.dateText, sizeof rom.dateText));
  std::tm utc{};
  gmtime_r(&when, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
  return (model.empty() ? "unknown" : model) + "_bios-" + (date.empty() ? "undated" : date) + "_flashed-" +
         stamp;
}

bool IsRomBackupName(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t stamp = name.find("_flashed-");
  return stamp != std::string::npos && name.size() >= 4 && name.compare(name.size() - 4, 4, ".rom") == 0;
}

bool HoldsFlashModule(const uint8_t* bytes, uint32_t size) {
  for (uint32_t p = 0; bytes && size >= 4 && p <= size - 4; p += 16)
    if (std::memcmp(bytes + p, "A!FR", 4) == 0) return true;
  return false;
}

void ModuleBlockOf(const BiosImage& image, const uint8_t* module, uint32_t romSize, uint32_t* from,
                   uint32_t* length) {
  *from = 0;
  *length = 0;
  const int64_t at = OffsetInImage(image, module);
  if (at < 0) return;
  const uint64_t start = static_cast<uint64_t>(at);
  uint64_t end = start >= romSize ? image.size : (start / kBlock + 1) * kBlock;
  if (end > image.size) end = image.size;
  // The restore reads at most the ROM size and the loader's slack.
  if (end - start > kNewImageSlack) end = start + kNewImageSlack;
  *from = static_cast<uint32_t>(start);
  *length = static_cast<uint32_t>(end - start);
}

RomBackup WriteRomBackup(const BiosImage& rom, const BiosImage& newImage, const uint8_t* module,
                         std::time_t when) {
  const std::string folder = BackupFolder();
  if (!rom.bytes || rom.size == 0) {
    RomBackup b;
    b.error = "no current ROM contents to back up";
    return b;
  }
  if (!plat::MakeDirectories(folder)) return Failed(folder, "cannot create the folder");

  uint32_t from = 0, length = 0;
  if (!HoldsFlashModule(rom.bytes, rom.size)) ModuleBlockOf(newImage, module, rom.size, &from, &length);

  const std::string base = folder + "/" + BackupBaseName(rom, when);
  std::string path;
  int fd = -1;
  // Two runs in one second, or a clock set back, still never overwrite a backup.
  for (int n = 1; n < 1000 && fd < 0; ++n) {
    path = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".rom";
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return Failed(path, "cannot create");
  }
  if (fd < 0) return Failed(path, "cannot create");

  bool ok = WriteAll(fd, rom.bytes, rom.size) && WriteAll(fd, newImage.bytes + from, length);
  RomBackup result;
  if (!ok) result = Failed(path, "cannot write");
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    result = Failed(path, "cannot sync");
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    result = Failed(path, "cannot close");
  }
  if (ok) {
    // The file's name must survive a power loss too.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) {
      ok = false;
      result = Failed(folder, "cannot sync the folder");
    }
    if (dir >= 0) ::close(dir);
  }
  if (!ok) {
    ::unlink(path.c_str());  // half a backup must not pass for one
    return result;
  }
  result.ok = true;
  result.path = path;
  return result;
}

}  // namespace brim
