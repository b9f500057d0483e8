#include "firmware/rom_backup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "bios_tools_version.h"
#include "firmware/backup_record.h"
#include "firmware/machine_identity.h"
#include "firmware/sha256.h"
#include "image/image_layout.h"
#include "image/image_loader.h"
#include "image/info_report.h"
#include "platform/file_system.h"
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

namespace {
constexpr size_t kBackupPiece = 8 << 20;

// Writes the bytes a piece at a time, each handed to the disk at once, and
// hashes a piece (when `hash` is given) while the disk takes it: the final
// fsync then waits for the last piece only, and the hash costs no time of
// its own.
bool WriteOverlapped(int fd, const uint8_t* data, size_t length, Sha256* hash) {
  bool startWriteback = true;
  for (size_t done = 0; done < length;) {
    const size_t n = std::min(length - done, kBackupPiece);
    if (!WriteAll(fd, data + done, n)) return false;
    // Only a hint: where the file system refuses it, the fsync still does all.
    if (startWriteback)
      startWriteback = ::sync_file_range(fd, static_cast<off_t>(done), static_cast<off_t>(n),
                                         SYNC_FILE_RANGE_WRITE) == 0;
    if (hash) hash->Add(data + done, n);
    done += n;
  }
  return true;
}

// Writes `length` bytes to a temporary file in `folder`, synced; its name in
// *temporary; their SHA-256 in *sha256 when asked.
bool WriteTemporary(const std::string& folder, const uint8_t* data, size_t length,
                    std::string* temporary, RomBackup* failure, std::string* sha256 = nullptr) {
  std::string name = folder + "/.backup-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    *failure = Failed(folder, "cannot create a file in");
    return false;
  }
  *temporary = name;
  Sha256 hash;
  bool ok = WriteOverlapped(fd, data, length, sha256 ? &hash : nullptr);
  if (!ok) *failure = Failed(name, "cannot write");
  if (ok && sha256) *sha256 = hash.HexDigest();
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    *failure = Failed(name, "cannot sync");
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    *failure = Failed(name, "cannot close");
  }
  if (!ok) ::unlink(name.c_str());
  return ok;
}

// Gives the temporary file its name; never replaces a file of that name.
bool Publish(const std::string& temporary, const std::string& path, RomBackup* failure) {
  const bool ok = ::link(temporary.c_str(), path.c_str()) == 0;
  if (!ok) *failure = Failed(path, "cannot create");
  ::unlink(temporary.c_str());
  return ok;
}

std::string UtcText(std::time_t when) {
  std::tm utc{};
  gmtime_r(&when, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}
}  // namespace

RomBackup WriteRomBackup(const BiosImage& rom, const BiosImage& newImage, const uint8_t* module,
                         std::time_t when) {
  const std::string folder = BackupFolder();
  if (!rom.bytes || rom.size == 0) {
    RomBackup b;
    b.error = "no current ROM contents to back up";
    return b;
  }
  if (!plat::MakeDirectories(folder)) return Failed(folder, "cannot create the folder");

  BackupRecord record;
  record.size = rom.size;
  record.layout = LayoutName(LayoutOf(rom.flagWord));
  record.model = Fixed(rom.modelCode, sizeof rom.modelCode);
  record.version = Fixed(rom.versionText, sizeof rom.versionText);
  if (record.version.empty() && LayoutOf(rom.flagWord) == ImageLayout::kQuorvel)
    record.version = SmbiosBiosVersion();  // a Quorvel ROM carries none of its own
  record.date = Fixed(rom.dateText, sizeof rom.dateText);
  record.machine = ReadMachineIdentity();
  record.time = UtcText(when);
  record.brimletVersion = BIOS_TOOLS_VERSION;
  // A ROM without a flash module of its own is programmed back with the one
  // this run used: it is kept beside the backup, never inside it.
  uint32_t from = 0, length = 0;
  if (!HoldsFlashModule(rom.bytes, rom.size)) ModuleBlockOf(newImage, module, rom.size, &from, &length);

  RomBackup failure;
  std::string romTemp, moduleTemp, recordTemp;
  if (!WriteTemporary(folder, rom.bytes, rom.size, &romTemp, &failure, &record.sha256)) return failure;
  if (length && !WriteTemporary(folder, newImage.bytes + from, length, &moduleTemp, &failure)) {
    ::unlink(romTemp.c_str());
    return failure;
  }
  // Two runs in one second, or a clock set back, still never overwrite a backup.
  const std::string base = folder + "/" + BackupBaseName(rom, when);
  std::string path;
  bool named = false;
  for (int n = 1; n < 1000 && !named; ++n) {
    path = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".rom";
    named = ::link(romTemp.c_str(), path.c_str()) == 0;
    if (!named && errno != EEXIST) break;
  }
  if (!named) failure = Failed(path, "cannot create");
  ::unlink(romTemp.c_str());
  bool ok = named;
  if (ok && length) {
    record.moduleFile = plat::BaseName(ModulePathOf(path));
    record.moduleSha256 = Sha256Hex(newImage.bytes + from, length);
    record.moduleSize = length;
    ok = Publish(moduleTemp, ModulePathOf(path), &failure);
  } else if (!moduleTemp.empty()) {
    ::unlink(moduleTemp.c_str());
  }
  if (ok) {
    record.romFile = plat::BaseName(path);
    const std::string json = BackupRecordJson(record);
    ok = WriteTemporary(folder, reinterpret_cast<const uint8_t*>(json.data()), json.size(), &recordTemp,
                        &failure) &&
         Publish(recordTemp, RecordPathOf(path), &failure);
  }
  if (ok) {
    // The files' names must survive a power loss too.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) {
      ok = false;
      failure = Failed(folder, "cannot sync the folder");
    }
    if (dir >= 0) ::close(dir);
  }
  if (!ok) {
    // Half a backup must not pass for one.
    if (named) {
      ::unlink(path.c_str());
      ::unlink(ModulePathOf(path).c_str());
      ::unlink(RecordPathOf(path).c_str());
    }
    return failure;
  }
  RomBackup result;
  result.ok = true;
  result.path = path;
  PruneBackups(folder, BackupsToKeep());
  return result;
}

int BackupsToKeep() {
  const char* text = std::getenv("BIOS_TOOLS_BACKUP_KEEP");
  char* end = nullptr;
  const long n = text && *text ? std::strtol(text, &end, 10) : 0;
  return end && *end == '\0' && n >= 1 && n <= 1000 ? static_cast<int>(n) : 10;
}

int PruneBackups(const std::string& folder, int keep) {
  struct Entry {
    std::string time, rom;
  };
  std::vector<Entry> backups;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    // A temporary left by a run that was killed while it wrote its backup;
    // the machine's hold keeps any other run from writing one now.
    if (name.compare(0, 8, ".backup-") == 0) {
      ::unlink((folder + "/" + name).c_str());
      continue;
    }
    if (name.size() <= 5 || name.compare(name.size() - 5, 5, ".json") != 0) continue;
    BackupRecord record;
    std::string error;
    const std::string rom = folder + "/" + name.substr(0, name.size() - 5) + ".rom";
    // Only what brimlet wrote: a record naming its own ROM file beside it.
    if (ReadBackupRecord(folder + "/" + name, &record, &error) && record.romFile == plat::BaseName(rom) &&
        plat::FileExists(rom))
      backups.push_back({record.time, rom});
  }
  ::closedir(dir);
  std::sort(backups.begin(), backups.end(), [](const Entry& a, const Entry& b) {
    return a.time != b.time ? a.time < b.time : a.rom < b.rom;
  });
  int removed = 0;
  // The first backup ever taken is the machine's original BIOS: it stays.
  for (size_t i = 1; i + static_cast<size_t>(keep) < backups.size(); ++i) {
    ::unlink(backups[i].rom.c_str());
    ::unlink(ModulePathOf(backups[i].rom).c_str());
    ::unlink(RecordPathOf(backups[i].rom).c_str());
    ++removed;
  }
  return removed;
}

}  // namespace brim
