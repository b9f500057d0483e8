// Reading a finished crisis disk back from the medium and comparing it with
// what the build meant to write: every sector the build wrote itself, then
// the FAT file system as the DOS side will read it (boot sector, all FAT
// copies alike, each file's directory entry, chain and bytes), and the
// compressed image decoded back to the BIOS image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "crisis_app/crisis_medium.h"

namespace crisis {

struct ExpectedFile {
  std::string name;            // as the build names it, e.g. "bios.qzw"
  std::vector<uint8_t> bytes;  // what the medium must hold under it
  // For the compressed image: the BIOS image it must decode to.
  bool compressed = false;
  std::vector<uint8_t> image;
};

// False with the first difference in `error`. `bootCode`, when not empty,
// is the boot sector file's first 512 bytes: the medium's boot sector must
// hold them outside its parameters (bytes 11 to 61).
bool VerifyCrisisDisk(MediumReadBack& medium, const std::vector<ExpectedFile>& files,
                      const std::vector<uint8_t>& bootCode, std::string* error);

// The build's check after its last file: the files it copied (list names;
// "autoexec.bat" stands for autoexecText) as the working folder holds them,
// and, when `encoded` is given, "bios.qzw" as that compression of the image
// file `imageFile`; `bootFile` names the boot sector file when the build
// wrote one. False with the reason in `error`.
bool VerifyBuiltDisk(CrisisMedium& medium, const std::vector<std::string>& copied,
                     const std::string& autoexecText, const std::vector<uint8_t>* encoded,
                     const std::string& imageFile, const std::string& bootFile, std::string* error);

}  // namespace crisis
