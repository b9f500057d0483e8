#include "disk/disk_messages.h"

#include <atomic>

#include "platform/disk_drives.h"

namespace tavrin {

namespace {
std::atomic<bool> g_byDevice{false};
}  // namespace

void NameDrivesByDevice(bool byDevice) { g_byDevice = byDevice; }

std::string ShownDriveName(const std::string& drive) {
  plat::DiskDrive d;
  if (g_byDevice && plat::FindNamedDrive(drive, &d)) return d.path;
  return drive;
}

std::string NoFloppyMessage(const std::string& drive) {
  return " There is no floppy in drive " + drive + ", insert a floppy and press Start Button again.\t";
}

std::string MissingBootFileMessage(const std::string& file) {
  return std::string("Error, the file ") + file + " doesn't exist in the current directory, " +
         " please check the file and try again!";
}

std::string NotRemovableMessage(const std::string& drive) {
  return "Error, the disk " + drive + " is not a removable disk, it will not be written!";
}

std::string SystemDiskMessage(const std::string& drive) {
  return "Error, the disk " + drive + " holds the running system, it will not be written!";
}

std::string InUseMessage(const std::string& drive) {
  return "Error, the disk " + drive +
         " is in use (mounted or opened by another program), please release it and try again!";
}

std::string ReadOnlyMessage(const std::string& drive) {
  return "Error, the disk " + drive + " is write-protected, please unlock it and try again!";
}

std::string MissingDiskMessage(const std::string& drive) {
  return "Error, the disk " + drive + " can't be opened, please plug it in and try again!";
}

std::string TooLargeMessage(const std::string& drive) {
  return "Error, the disk " + drive + " is too large for a FAT16 crisis disk (4 GB at most)!";
}

std::string TooSmallMessage(const std::string& drive) {
  return "Error, the disk " + drive + " is too small for a crisis disk, or its size can't be read!";
}

std::string BadFileNameMessage(const std::string& file) {
  return "Error, the file " + file + " has no NAME.EXT name in the current directory!";
}

std::string RootFullMessage(const std::string& file) {
  return "Error, the root directory of the disk is full, the file " + file + " can't be added!";
}

std::string NoRoomMessage(const std::string& file) {
  return "Error, there isn't enough room on the disk for the file " + file + "!";
}

std::string NotPreparedMessage(const std::string& drive) {
  return "Error, the disk " + drive + " has not been prepared as a crisis disk, please start again!";
}

std::string ReadFailedMessage(const std::string& drive, uint32_t sector) {
  return "Error, sector " + std::to_string(sector) + " of the disk " + drive +
         " can't be read, please check the disk!";
}

std::string WriteFailedMessage(const std::string& drive, uint32_t sector) {
  return "Error, sector " + std::to_string(sector) + " of the disk " + drive +
         " can't be written, the crisis disk is not usable!";
}

}  // namespace tavrin
