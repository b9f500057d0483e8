#include "disk_device.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/le_bytes.h"

namespace plat {

namespace {

uint32_t ErrnoToError(int e) {
  switch (e) {
    case ENOENT: case ENXIO: case ENODEV: return ERROR_FILE_NOT_FOUND;
    case EACCES: case EPERM: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EBUSY: case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case ENOMEDIUM: return ERROR_NOT_READY;
    default: return ERROR_READ_FAULT;
  }
}

void SetError(uint32_t* lastError, uint32_t e) {
  if (lastError) *lastError = e;
}

}  // namespace

bool BlockDeviceSize(const std::string& path, uint64_t* bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  uint64_t size = 0;
  bool ok = ::ioctl(fd, BLKGETSIZE64, &size) == 0;
  ::close(fd);
  if (ok) *bytes = size;
  return ok;
}

bool ExclusiveOpenPossible(const DiskDrive& drive) {
  if (HeldHere(drive.path)) return true;  // our own build holds it
  if (drive.blockDevice) {
    // The kernel refuses O_EXCL on a block device that is mounted or claimed.
    int fd = ::open(drive.path.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
    if (fd < 0) return errno != EBUSY;
    ::close(fd);
    return true;
  }
  int fd = ::open(drive.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;  // a missing file is reported by the open itself
  bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

std::unique_ptr<DiskDevice> OpenDisk(const DiskDrive& drive, bool write, uint32_t* lastError) {
  DiskRefusal refusal = CheckDriveWritable(drive);
  // Nothing that must not be written is opened for writing; a held or
  // write-protected key may still be probed (so lists show it), a mounted
  // disk or the system's own disk not at all.
  if (write ? refusal != DiskRefusal::None : !ReadableDespite(refusal)) {
    SetError(lastError, RefusalError(refusal));
    return nullptr;
  }
  int fd = DupHeldDisk(drive.path);
  if (fd >= 0) return std::make_unique<DiskDevice>(drive, fd, write);
  int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  if (drive.blockDevice && write) flags |= O_EXCL;
  fd = ::open(drive.path.c_str(), flags);
  if (fd < 0) {
    SetError(lastError, ErrnoToError(errno));
    return nullptr;
  }
  if (!drive.blockDevice) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (write && ::flock(fd, LOCK_EX | LOCK_NB) != 0)) {
      ::close(fd);
      SetError(lastError, ERROR_SHARING_VIOLATION);
      return nullptr;
    }
  }
  return std::make_unique<DiskDevice>(drive, fd, write);
}

DiskDevice::DiskDevice(const DiskDrive& drive, int fd, bool writable)
    : drive_(drive), fd_(fd), writable_(writable) {}

DiskDevice::~DiskDevice() { ::close(fd_); }

DISK_GEOMETRY DiskDevice::Geometry() const {
  DISK_GEOMETRY g = drive_.geometry;
  if (drive_.blockDevice && !drive_.floppy) {
    struct hd_geometry geo;
    if (::ioctl(fd_, HDIO_GETGEO, &geo) == 0 && geo.heads && geo.sectors) {
      // The cylinder field is 16 bits wide; count them from the size instead.
      g.TracksPerCylinder = geo.heads;
      g.SectorsPerTrack = geo.sectors;
      g.Cylinders = drive_.sizeBytes / 512 / (static_cast<uint64_t>(geo.heads) * geo.sectors);
    }
  }
  return g;
}

bool DiskDevice::ReadAt(uint64_t offset, void* buf, uint32_t size, uint32_t* lastError) {
  if (offset > drive_.sizeBytes || size > drive_.sizeBytes - offset) {
    SetError(lastError, ERROR_SECTOR_NOT_FOUND);
    return false;
  }
  uint8_t* p = static_cast<uint8_t*>(buf);
  uint32_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SetError(lastError, n < 0 ? ErrnoToError(errno) : ERROR_SECTOR_NOT_FOUND);
      return false;
    }
    done += static_cast<uint32_t>(n);
  }
  return true;
}

bool DiskDevice::WriteAt(uint64_t offset, const void* buf, uint32_t size, uint32_t* lastError) {
  if (!writable_) {
    SetError(lastError, ERROR_ACCESS_DENIED);
    return false;
  }
  // Never past the medium: an image file would silently grow.
  if (offset > drive_.sizeBytes || size > drive_.sizeBytes - offset) {
    SetError(lastError, ERROR_SECTOR_NOT_FOUND);
    return false;
  }
  const uint8_t* p = static_cast<const uint8_t*>(buf);
  uint32_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd_, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SetError(lastError, n < 0 ? ErrnoToError(errno) : ERROR_WRITE_FAULT);
      return false;
    }
    done += static_cast<uint32_t>(n);
  }
  return true;
}

bool DiskDevice::Read(void* buf, uint32_t size, uint32_t* done, uint32_t* lastError) {
  if (done) *done = 0;
  if (!ReadAt(position_, buf, size, lastError)) return false;
  position_ += size;
  if (done) *done = size;
  return true;
}

bool DiskDevice::Write(const void* buf, uint32_t size, uint32_t* done, uint32_t* lastError) {
  if (done) *done = 0;
  if (!WriteAt(position_, buf, size, lastError)) return false;
  position_ += size;
  if (done) *done = size;
  return true;
}

bool DiskDevice::Seek(int64_t offset, uint32_t* lastError) {
  if (offset < 0 || static_cast<uint64_t>(offset) > drive_.sizeBytes) {
    SetError(lastError, ERROR_INVALID_PARAMETER);
    return false;
  }
  position_ = static_cast<uint64_t>(offset);
  return true;
}

bool DiskDevice::IoControl(uint32_t code, const void*, uint32_t, void* out, uint32_t outSize,
                           uint32_t* bytesReturned, uint32_t* lastError) {
  if (bytesReturned) *bytesReturned = 0;
  switch (code) {
    case FSCTL_LOCK_VOLUME:
      // The exclusive open taken for writing is the lock.
      if (!writable_) {
        SetError(lastError, ERROR_ACCESS_DENIED);
        return false;
      }
      return true;
    case FSCTL_UNLOCK_VOLUME:
      return true;
    case FSCTL_DISMOUNT_VOLUME:
      // A real medium gets its sectors before the lock goes; an image file
      // is flushed when the medium is ejected.
      if (writable_ && drive_.blockDevice) ::fsync(fd_);
      return true;
    case IOCTL_STORAGE_EJECT_MEDIA:
      ::fsync(fd_);
      return true;
    case IOCTL_DISK_GET_DRIVE_GEOMETRY: {
      if (!out || outSize < kDiskGeometrySize) {
        SetError(lastError, ERROR_INSUFFICIENT_BUFFER);
        return false;
      }
      EncodeDiskGeometry(Geometry(), static_cast<uint8_t*>(out));
      if (bytesReturned) *bytesReturned = kDiskGeometrySize;
      return true;
    }
    case IOCTL_DISK_GET_LENGTH_INFO: {
      if (!out || outSize < 8) {
        SetError(lastError, ERROR_INSUFFICIENT_BUFFER);
        return false;
      }
      PutLe64(static_cast<uint8_t*>(out), outSize, 0, drive_.sizeBytes);
      if (bytesReturned) *bytesReturned = 8;
      return true;
    }
    default:
      SetError(lastError, ERROR_INVALID_FUNCTION);
      return false;
  }
}

std::unique_ptr<Device> OpenDiskDriveDevice(const std::string& path, uint32_t access, bool* known,
                                            uint32_t* lastError) {
  DiskDrive drive;
  unsigned n = 0;
  bool found = false;
  if (IsFloppyDevicePath(path)) {
    found = FindFloppyDrive(&drive);
  } else if (PhysicalDriveNumber(path, &n)) {
    found = FindPhysicalDrive(n, &drive);
  } else {
    return nullptr;  // not a disk path
  }
  *known = true;
  if (!found) {
    SetError(lastError, ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return OpenDisk(drive, (access & GENERIC_WRITE) != 0, lastError);
}

}  // namespace plat
