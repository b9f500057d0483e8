#include "platform/disk_drives.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "disk_device.h"
#include "platform/device.h"
#include "platform/file_system.h"

namespace plat {

namespace {

struct Attached {
  std::string path;
  DiskKind kind;
};

std::mutex g_lock;
std::vector<Attached> g_attached;

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

std::vector<Attached> EnvironmentImages() {
  std::vector<Attached> list;
  std::string spec = Env("BIOS_TOOLS_DISK_IMAGES", "");
  std::stringstream ss(spec);
  std::string item;
  while (std::getline(ss, item, ':')) {
    if (item.empty()) continue;
    DiskKind kind = DiskKind::Removable;
    if (StartsWithNoCase(item, "A=")) {
      kind = DiskKind::Floppy;
      item = item.substr(2);
    } else if (StartsWithNoCase(item, "fixed=")) {
      kind = DiskKind::Fixed;
      item = item.substr(6);
    } else if (StartsWithNoCase(item, "removable=")) {
      item = item.substr(10);
    }
    if (!item.empty()) list.push_back({item, kind});
  }
  return list;
}

std::vector<Attached> ConfiguredImages() {
  {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_attached.empty()) return g_attached;
  }
  return EnvironmentImages();
}

bool SameFile(const struct stat& a, const struct stat& b) {
  if (S_ISBLK(a.st_mode) || S_ISBLK(b.st_mode))
    return S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode) && a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A disk marked fixed anywhere (the environment or an attachment) is fixed
// whichever name or mark it is given elsewhere: a second name must not make
// it writable.
bool MarkedFixed(const struct stat& st) {
  std::vector<Attached> all = EnvironmentImages();
  {
    std::lock_guard<std::mutex> lock(g_lock);
    all.insert(all.end(), g_attached.begin(), g_attached.end());
  }
  for (const Attached& a : all) {
    struct stat other;
    if (a.kind == DiskKind::Fixed && ::stat(a.path.c_str(), &other) == 0 && SameFile(st, other)) return true;
  }
  return false;
}

bool RealDisksAllowed() { return Env("BIOS_TOOLS_REAL_DISKS", "") == "1"; }

std::string Trimmed(std::string s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::string ReadSysfsLine(const std::string& path) {
  std::ifstream f(path);
  std::string line;
  if (f) std::getline(f, line);
  return line;
}

// Block devices worth listing: whole disks that can hold a file system and
// are not virtual (loop, ram, device mapper, optical, floppy).
bool ListableBlockName(const std::string& name) {
  static const char* const skip[] = {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd"};
  if (name.empty() || name[0] == '.') return false;
  for (const char* s : skip)
    if (name.compare(0, std::char_traits<char>::length(s), s) == 0) return false;
  return true;
}

bool FillFromImage(const Attached& a, DiskDrive* out) {
  struct stat st;
  if (::stat(a.path.c_str(), &st) != 0) return false;
  DiskDrive d;
  d.path = a.path;
  d.floppy = a.kind == DiskKind::Floppy;
  d.removable = a.kind != DiskKind::Fixed && !MarkedFixed(st);
  if (S_ISBLK(st.st_mode)) {
    if (!RealDisksAllowed()) return false;  // real disks only when asked for
    // A block device named in the list is still judged by what sysfs says of it.
    d.blockDevice = true;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%u:%u", major(st.st_rdev), minor(st.st_rdev));
    d.sysName = SysNameForDevNumber(buf);
    uint64_t bytes = 0;
    if (!BlockDeviceSize(a.path, &bytes)) return false;
    d.sizeBytes = bytes;
    if (!d.sysName.empty()) {
      std::string sys = Env("BIOS_TOOLS_SYSFS_ROOT", "/sys") + "/block/" + d.sysName;
      d.removable = d.removable && SysfsRemovable(sys);
      d.readOnly = ReadSysfsLine(sys + "/ro") == "1";
      d.vendor = Trimmed(ReadSysfsLine(sys + "/device/vendor"));
      d.model = Trimmed(ReadSysfsLine(sys + "/device/model"));
    } else {
      d.removable = false;  // a partition or unknown device: never a target
    }
  } else if (S_ISREG(st.st_mode)) {
    d.sizeBytes = static_cast<uint64_t>(st.st_size);
    // The mode bits count too: root passes access() on a file nobody may write.
    d.readOnly = ::access(a.path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0;
  } else {
    return false;
  }
  uint32_t media = d.floppy ? MEDIA_F3_1PT44_512 : (d.removable ? MEDIA_REMOVABLE : MEDIA_FIXED);
  d.geometry = GeometryForSize(d.sizeBytes, media);
  *out = d;
  return true;
}

bool FillFromSysfs(const std::string& name, bool floppy, DiskDrive* out) {
  std::string sys = Env("BIOS_TOOLS_SYSFS_ROOT", "/sys") + "/block/" + name;
  std::string sizeText = ReadSysfsLine(sys + "/size");
  if (sizeText.empty()) return false;
  char* end = nullptr;
  unsigned long long sectors = std::strtoull(sizeText.c_str(), &end, 10);
  if (end == sizeText.c_str() || sectors > (UINT64_MAX >> 9)) return false;
  DiskDrive d;
  d.path = Env("BIOS_TOOLS_DEV_ROOT", "/dev") + "/" + name;
  d.sysName = name;
  d.blockDevice = true;
  d.floppy = floppy;
  d.sizeBytes = sectors * 512;  // sysfs counts 512-byte units whatever the sector size
  d.removable = floppy || SysfsRemovable(sys);
  d.readOnly = ReadSysfsLine(sys + "/ro") == "1";
  d.vendor = Trimmed(ReadSysfsLine(sys + "/device/vendor"));
  d.model = Trimmed(ReadSysfsLine(sys + "/device/model"));
  uint32_t media = floppy ? MEDIA_F3_1PT44_512 : (d.removable ? MEDIA_REMOVABLE : MEDIA_FIXED);
  d.geometry = GeometryForSize(d.sizeBytes, media);
  *out = d;
  return true;
}

std::vector<std::string> RealDiskNames() {
  std::vector<std::string> names;
  if (!RealDisksAllowed()) return names;
  std::string dir = Env("BIOS_TOOLS_SYSFS_ROOT", "/sys") + "/block";
  if (DIR* d = ::opendir(dir.c_str())) {
    while (struct dirent* e = ::readdir(d))
      if (ListableBlockName(e->d_name)) names.push_back(e->d_name);
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<DiskDrive> PhysicalDrives() {
  std::vector<DiskDrive> drives;
  for (const std::string& name : RealDiskNames()) {
    DiskDrive d;
    if (FillFromSysfs(name, false, &d)) drives.push_back(d);
  }
  for (const Attached& a : ConfiguredImages()) {
    if (a.kind == DiskKind::Floppy) continue;
    DiskDrive d;
    if (FillFromImage(a, &d)) drives.push_back(d);
  }
  return drives;
}

// Parses "\\.\PhysicalDriveN" (case-insensitive) into N.
bool ParsePhysicalDrivePath(const std::string& path, unsigned* n) {
  static const std::string prefix = "\\\\.\\PhysicalDrive";
  if (!StartsWithNoCase(path, prefix) || path.size() == prefix.size() || path.size() > prefix.size() + 3)
    return false;
  unsigned v = 0;
  for (size_t i = prefix.size(); i < path.size(); ++i) {
    if (path[i] < '0' || path[i] > '9') return false;
    v = v * 10 + static_cast<unsigned>(path[i] - '0');
  }
  *n = v;
  return true;
}

bool ParseDecimal(const std::string& s, unsigned* v) {
  if (s.empty() || s.size() > 3) return false;
  unsigned n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  *v = n;
  return true;
}

}  // namespace

bool SysfsRemovable(const std::string& sysBlockDir) {
  if (ReadSysfsLine(sysBlockDir + "/removable") == "1") return true;
  // USB-attached disks often say removable 0; their device path names the bus.
  char resolved[4096];
  if (::realpath(sysBlockDir.c_str(), resolved)) {
    std::string p(resolved);
    if (p.find("/usb") != std::string::npos) return true;
  }
  return false;
}

std::string SysNameForDevNumber(const std::string& majMin) {
  std::string dir = Env("BIOS_TOOLS_SYSFS_ROOT", "/sys") + "/block";
  std::string found;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (struct dirent* e = ::readdir(d)) {
      if (e->d_name[0] == '.') continue;
      if (ReadSysfsLine(dir + "/" + e->d_name + "/dev") == majMin) found = e->d_name;
    }
    ::closedir(d);
  }
  return found;
}

std::set<std::string> DevNumbersOfDisk(const std::string& sysName) {
  std::set<std::string> nums;
  std::string sys = Env("BIOS_TOOLS_SYSFS_ROOT", "/sys") + "/block/" + sysName;
  std::string own = ReadSysfsLine(sys + "/dev");
  if (!own.empty()) nums.insert(own);
  if (DIR* d = ::opendir(sys.c_str())) {
    while (struct dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n.compare(0, sysName.size(), sysName) != 0 || n == sysName) continue;
      std::string part = ReadSysfsLine(sys + "/" + n + "/dev");
      if (!part.empty()) nums.insert(part);
    }
    ::closedir(d);
  }
  return nums;
}

DISK_GEOMETRY GeometryForSize(uint64_t sizeBytes, uint32_t mediaType) {
  DISK_GEOMETRY g{};
  g.MediaType = mediaType;
  g.BytesPerSector = 512;
  uint64_t sectors = sizeBytes / 512;
  if (sizeBytes == 1474560) {
    g.Cylinders = 80;
    g.TracksPerCylinder = 2;
    g.SectorsPerTrack = 18;
  } else {
    g.TracksPerCylinder = 255;
    g.SectorsPerTrack = 63;
    g.Cylinders = sectors / (255 * 63);
  }
  return g;
}

void AttachDiskImage(const std::string& path, DiskKind kind) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_attached.push_back({path, kind});
}

void DetachDiskImages() {
  std::lock_guard<std::mutex> lock(g_lock);
  g_attached.clear();
}

bool FindFloppyDrive(DiskDrive* out) {
  for (const Attached& a : ConfiguredImages())
    if (a.kind == DiskKind::Floppy) return FillFromImage(a, out);
  if (RealDisksAllowed()) return FillFromSysfs("fd0", true, out);
  return false;
}

bool FindPhysicalDrive(unsigned number, DiskDrive* out) {
  std::vector<DiskDrive> drives = PhysicalDrives();
  if (number >= drives.size()) return false;
  *out = drives[number];
  return true;
}

unsigned PhysicalDriveCount() { return static_cast<unsigned>(PhysicalDrives().size()); }

std::vector<DiskDrive> ListDiskDrives() {
  std::vector<DiskDrive> all;
  DiskDrive floppy;
  if (FindFloppyDrive(&floppy)) all.push_back(floppy);
  std::vector<DiskDrive> physical = PhysicalDrives();
  all.insert(all.end(), physical.begin(), physical.end());
  return all;
}

bool FindBiosDrive(unsigned biosNumber, DiskDrive* out) {
  if (biosNumber == 0) return FindFloppyDrive(out);
  if (biosNumber >= 0x80 && biosNumber <= 0xFF) return FindPhysicalDrive(biosNumber - 0x80, out);
  return false;
}

bool FindNamedDrive(const std::string& name, DiskDrive* out) {
  unsigned n = 0;
  if (EqualsNoCase(name, "A:") || EqualsNoCase(name, "\\\\.\\A:")) return FindFloppyDrive(out);
  if (ParsePhysicalDrivePath(name, &n)) return FindPhysicalDrive(n, out);
  if (ParseDecimal(name, &n)) return FindBiosDrive(n, out);
  return false;
}

bool IsFloppyDevicePath(const std::string& path) { return EqualsNoCase(path, "\\\\.\\A:"); }

bool PhysicalDriveNumber(const std::string& path, unsigned* n) { return ParsePhysicalDrivePath(path, n); }

bool MountedOrRoot(const DiskDrive& drive, bool* root) {
  *root = false;
  if (!drive.blockDevice || drive.sysName.empty()) return false;
  std::set<std::string> nums = DevNumbersOfDisk(drive.sysName);
  struct stat st;
  if (::stat("/", &st) == 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%u:%u", major(st.st_dev), minor(st.st_dev));
    if (nums.count(buf)) *root = true;
  }
  bool mounted = false;
  std::ifstream mi("/proc/self/mountinfo");
  std::string line;
  while (std::getline(mi, line)) {
    std::istringstream ls(line);
    std::string id, parent, majMin;
    ls >> id >> parent >> majMin;
    if (nums.count(majMin)) mounted = true;
  }
  return mounted;
}

DiskRefusal CheckDriveWritable(const DiskDrive& drive) {
  bool root = false;
  bool mounted = MountedOrRoot(drive, &root);
  if (root) return DiskRefusal::SystemDisk;
  if (!drive.removable) return DiskRefusal::NotRemovable;
  if (drive.readOnly) return DiskRefusal::ReadOnly;
  if (mounted) return DiskRefusal::Mounted;
  if (!ExclusiveOpenPossible(drive)) return DiskRefusal::InUse;
  return DiskRefusal::None;
}

bool ReadableDespite(DiskRefusal refusal) {
  return refusal == DiskRefusal::None || refusal == DiskRefusal::NotRemovable || refusal == DiskRefusal::InUse ||
         refusal == DiskRefusal::ReadOnly;
}

DiskRefusal CheckDiskWritable(const std::string& name) {
  DiskDrive d;
  if (!FindNamedDrive(name, &d)) return DiskRefusal::Missing;
  return CheckDriveWritable(d);
}

uint32_t RefusalError(DiskRefusal refusal) {
  switch (refusal) {
    case DiskRefusal::None: return ERROR_SUCCESS;
    case DiskRefusal::Missing: return ERROR_FILE_NOT_FOUND;
    case DiskRefusal::NotRemovable: return ERROR_ACCESS_DENIED;
    case DiskRefusal::SystemDisk: return ERROR_ACCESS_DENIED;
    case DiskRefusal::InUse: return ERROR_SHARING_VIOLATION;
    case DiskRefusal::Mounted: return ERROR_SHARING_VIOLATION;
    case DiskRefusal::ReadOnly: return ERROR_WRITE_PROTECT;
  }
  return ERROR_ACCESS_DENIED;
}

uint32_t GetLogicalDrives() {
  DiskDrive d;
  return FindFloppyDrive(&d) ? 1u : 0u;
}

uint32_t GetDriveType(const std::string& root) {
  if (root.size() < 2 || root[1] != ':' || (root.size() > 2 && root.substr(2) != "\\" && root.substr(2) != "/"))
    return DRIVE_NO_ROOT_DIR;
  DiskDrive d;
  if ((root[0] == 'A' || root[0] == 'a') && FindFloppyDrive(&d)) return DRIVE_REMOVABLE;
  return DRIVE_NO_ROOT_DIR;
}

bool GetDiskFreeSpace(const std::string& root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                      uint32_t* freeClusters, uint32_t* totalClusters) {
  if (GetDriveType(root) != DRIVE_REMOVABLE) return false;
  // Only A: has a drive letter here; report a 1.44 MB diskette's figures.
  if (sectorsPerCluster) *sectorsPerCluster = 1;
  if (bytesPerSector) *bytesPerSector = 512;
  if (freeClusters) *freeClusters = 0;
  if (totalClusters) *totalClusters = 2847;
  return true;
}

void EnsureDiskDevices() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDeviceProvider("disk_drives", OpenDiskDriveDevice);
    RegisterDeviceProvider("disk_devices_9x", Open9xDiskDevice);
  });
}

}  // namespace plat
