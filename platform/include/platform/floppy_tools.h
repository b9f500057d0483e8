// The floppy's file system work, done by dosfstools and mtools on the floppy
// device or image: the SHFormatDrive stand-in formats a 1.44 MB FAT12
// diskette, CopyFileToFloppy stands in for CopyFileA to "A:\".
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace plat {

constexpr unsigned SHFMT_ID_DEFAULT = 0xFFFF;
constexpr unsigned long SHFMT_ERROR = 0xFFFFFFFFul;
constexpr unsigned long SHFMT_CANCEL = 0xFFFFFFFEul;
constexpr unsigned long SHFMT_NOFORMAT = 0xFFFFFFFDul;

// Formats drive `drive` (0 = A:); returns 0 on success or an SHFMT_ code.
// The front end may replace the handler by one that asks the user first.
unsigned long SHFormatDrive(unsigned drive, unsigned formatId, unsigned options);
using FormatDriveHandler = std::function<unsigned long(unsigned drive, unsigned formatId, unsigned options)>;
void SetFormatDriveHandler(FormatDriveHandler handler);  // empty restores the default
// The default: mkfs.fat as a 1.44 MB FAT12 diskette, no questions asked.
unsigned long FormatFloppyWithMkfs(unsigned drive);

// Copies a local file into the root of A: under the given 8.3 name,
// replacing a file of that name. False when A: is missing or refuses writes.
bool CopyFileToFloppy(const std::string& source, const std::string& name);

// Runs a program with arguments (no shell), output discarded; its exit status,
// or -1 when it could not be started.
int RunTool(const std::vector<std::string>& argv);

}  // namespace plat
