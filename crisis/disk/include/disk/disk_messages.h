// The texts Tavrin's disk layer shows, all in boxes titled "Tavrin".
#pragma once
#include <cstdint>
#include <string>

namespace tavrin {

constexpr const char* kTitle = "Tavrin";

constexpr const char* kNoMemory = "Error, There isn't enough memory, Please try it again!";
constexpr const char* kMemoryFault = "Error, Memory Access fault!";
constexpr const char* kNoMbrFile =
    "Error, the file crismbr.bin doesn't exist in the current directory, please try again!";
constexpr const char* kCantInitTable = "Can't init the partion table of the disk!";
constexpr const char* kNoInt13Ext =
    "Error loading INT13EXT.VXD, please check if this file exist \n\n\t\t\t\t\t\t\t\t\tin the current director! ";

std::string NoFloppyMessage(const std::string& drive);
std::string MissingBootFileMessage(const std::string& file);

// The name a message gives a drive: the dialog's own ("\\.\PhysicalDrive1")
// unless device names were asked for, then the Linux device or image file
// behind it ("/dev/sdb"), as a command-line tool names it.
void NameDrivesByDevice(bool byDevice);
std::string ShownDriveName(const std::string& drive);

// Refusals of our own, shown before anything is written.
std::string NotRemovableMessage(const std::string& drive);
std::string SystemDiskMessage(const std::string& drive);
std::string InUseMessage(const std::string& drive);
std::string ReadOnlyMessage(const std::string& drive);
std::string MissingDiskMessage(const std::string& drive);
std::string TooLargeMessage(const std::string& drive);
std::string TooSmallMessage(const std::string& drive);
std::string BadFileNameMessage(const std::string& file);
std::string RootFullMessage(const std::string& file);
std::string NoRoomMessage(const std::string& file);
std::string NotPreparedMessage(const std::string& drive);
std::string ReadFailedMessage(const std::string& drive, uint32_t sector);
std::string WriteFailedMessage(const std::string& drive, uint32_t sector);

}  // namespace tavrin
