// Reading a finished crisis disk back from the medium and comparing it with
// what must be there, worked out from the layout and the file list alone:
// the master boot record, the boot sector, every FAT whole (the files'
// chains, every other entry free), the whole root directory (the files'
// entries, every other slot empty), each file's bytes, and the compressed
// image decoded back to the BIOS image.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "crisis_app/crisis_medium.h"
#include "disk/directory_entry.h"

namespace crisis {

struct ExpectedFile {
  std::string name;            // as the build names it, e.g. "bios.qzw"
  std::vector<uint8_t> bytes;  // what the medium must hold under it
  // The times its directory entry must carry, when they could be taken.
  bool hasTimes = false;
  tavrin::FileTimes times;
  // For the compressed image: the BIOS image it must decode to.
  bool compressed = false;
  std::vector<uint8_t> image;
};

// `files` in copy order. False with the first difference in `error`,
// naming the sector, what it is, and the byte expected there. `bootCode`,
// when not empty, is the boot sector file's first 512 bytes: the medium's
// boot sector must hold them (with the build's parameters, bytes 11 to 61,
// on a key).
bool VerifyCrisisDisk(MediumReadBack& medium, const std::vector<ExpectedFile>& files,
                      const std::vector<uint8_t>& bootCode, std::string* error);

// The build's check after its last file: the files it copied (list names;
// "autoexec.bat" stands for autoexecText) as the working folder holds them,
// with the times `times` took of them before the copy, and, when `encoded`
// is given, "bios.qzw" as that compression of the image file `imageFile`;
// `bootFile` names the boot sector file when the build wrote one. False with
// the reason in `error`.
bool VerifyBuiltDisk(CrisisMedium& medium, const std::vector<std::string>& copied,
                     const std::map<std::string, tavrin::FileTimes>& times, const std::string& autoexecText,
                     const std::vector<uint8_t>* encoded, const std::string& imageFile,
                     const std::string& bootFile, std::string* error);

}  // namespace crisis
