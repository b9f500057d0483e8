// Deterministic synthetic BIOS images of the three layouts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace imagegen {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBank = 0x10000;

// An area marked in the image itself: tag at offset, area filled with a pattern.
struct TaggedArea {
  std::string tag;
  uint32_t offset = 0;
  uint32_t length = 0;
};

// A module index or directory entry; `where` is an image offset (module
// index) or a physical address (directory).
struct Entry {
  std::string tag;
  uint32_t where = 0;
  uint32_t length = 0;
  bool fillArea = true;  // write a pattern into the area it names
};

struct TarvexSpec {
  uint32_t size = 0x100000;
  std::vector<uint32_t> fSegmentBanks = {15};  // banks that carry "A!F0"
  uint32_t identityLink = 0x40;   // bank offset L stored at bank offset 0x34
  uint32_t identityBlock = 0x100; // bank offset stored at bank offset L + 1
  std::string serial = "S1";      // block bytes 0..2
  std::string modelCode = "TX";   // block bytes 3, 4
  std::string release = "070628"; // block bytes 13..18
  std::string version = "V1.05";  // bank offset 0xE005
  std::string date = "06/28/07";  // bank offset 0xFFF5
  bool moduleIndex = true;
  uint32_t moduleIndexAt = 0x200;  // bank offset, 16-aligned
  std::vector<Entry> moduleEntries = {{"DMA!", 0x20000, 0x800}, {"BUA!", 0x30000, 0x1000}};
  std::vector<uint32_t> smAnchors;        // "_SM_" positions
  std::vector<TaggedArea> areas;          // "A!PS", "A!SC", "A!KA", "A!42", "A!43"
  std::vector<uint32_t> flashModules;     // "A!FR" positions
  std::vector<uint32_t> bootBlockTags;    // "A!B0" positions
  bool zeroByteSum = true;  // last byte makes the 8-bit sum 0
  uint32_t seed = 1;
};

struct CompressedChecksumSpec {
  bool present = false;
  uint32_t lh5At = 0xF0010;
  uint32_t bs1At = 0xF0100;
  uint8_t bootType = 6;
  uint8_t flags = 0;
  uint32_t bbssAt = 0xF0200;
  bool correct = true;  // store the right sum at E + 1
};

struct LindarSpec {
  uint32_t size = 0x100000;
  uint32_t base = 0xFFF00000;
  uint32_t identityAt = 0xF0000;  // "A!ID", 16-aligned
  // Texts 0..4: serial, (unused), version part 1, version part 2, MMDDYY.
  std::vector<std::string> texts = {"LN1AB", "X", "P", "04", "062807"};
  uint32_t directoryAt = 0xF1000;
  int directoryLength = -1;  // -1: 8 + 12 * entries
  std::vector<Entry> directory = {{"A!DM", 0xFFF20000, 0x800}, {"A!NV", 0xFFF30000, 0x2000}};
  std::vector<uint32_t> flashModules;
  CompressedChecksumSpec checksum;
  uint32_t seed = 2;
};

struct QuorvelSpec {
  uint32_t size = 0x100000;
  uint32_t base = 0xFFF00000;
  int develAt = 0xE0000;           // -1: none
  std::string develModel = "QVL";
  int bcpsysAt = 0xE0100;          // -1: none
  std::string date = "06/28/07";
  std::string buildTime = "11:50:05";
  int identityAt = 0xF0000;        // "A!ID", 16-aligned; -1: none
  std::string serial = "Q1";
  std::string identityModel = "QVL";
  uint8_t bootBlockByte = 0;
  std::string version = "R1.07";
  std::vector<uint32_t> invertEepromTags;  // "A!KA" positions
  uint32_t directoryAt = 0xF1000;
  int directoryLength = -1;
  std::vector<Entry> directory = {{"A!ES", 0xFFF80000, 0x2000},
                                  {"A!PS", 0xFFF15000, 0x1000},
                                  {"A!KA", 0xFFF14000, 0x100},
                                  {"A!KN", 0xFFF14000, 0x100}};
  std::vector<uint32_t> flashModules;
  uint32_t seed = 3;
};

Bytes BuildTarvex(const TarvexSpec& spec);
Bytes BuildLindar(const LindarSpec& spec);
Bytes BuildQuorvel(const QuorvelSpec& spec);

// Package: 8-character model code, CR LF, "W!SH", 34 settings, image.
constexpr const char* kReferenceSettings = "0100001000001000011011101001000000";
Bytes BuildPackage(const Bytes& image, const std::string& settings = kReferenceSettings,
                   const std::string& model = "HOLBRIKE", bool withSettings = true);

// The reference-like package: a 1 MiB Quorvel image at 0xFFF00000 followed
// by a flash module block, 1,055,338 bytes in all.
constexpr uint32_t kReferenceFlashModuleSize = 6714;
QuorvelSpec ReferenceImageSpec();
Bytes BuildReferenceImage();  // image plus flash module block, no header
Bytes BuildReferencePackage();
// A newer release for the same machine (11/30/07 09:15:00, V1.21), with its module.
Bytes BuildReferenceUpdate();

// A stand-in program file of `programSize` bytes with `package` appended.
constexpr uint32_t kReferenceProgramSize = 0xAA000;
Bytes BuildExecutable(const Bytes& package, uint32_t programSize = kReferenceProgramSize);

}  // namespace imagegen
