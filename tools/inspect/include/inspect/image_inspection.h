// What brimlet-inspect finds in an image file, and its text and JSON forms.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace inspect {

// Inputs above this size are refused, as are devices and pipes.
constexpr uint64_t kInspectSizeLimit = 256ull * 1024 * 1024;
// The serial number is the identity block's first text; no more of it is shown.
constexpr size_t kSerialFieldChars = 32;

struct InspectOptions {
  std::string path;
  uint32_t flagWord = 0;
  uint32_t baseAddress = 0xFFF00000;
  bool flagGiven = false;  // else the layout is found from the image's tags
};

struct AreaInfo {
  std::string name;
  std::string tag;
  uint32_t offset = 0;
  uint32_t length = 0;
};

struct Inspection {
  bool loaded = false;
  int errorCode = 0;
  std::string refusal;       // why the file was not read at all
  std::string layout;
  uint32_t flagWord = 0;
  std::string layoutReason;  // "--flag" or the tags that decided
  uint64_t fileSize = 0;
  bool packageHeader = false;
  // The package sits behind a program (an ELF file such as a packaged
  // brimlet): what is shown is the package's image, never the program's bytes.
  bool programFile = false;
  uint64_t headerOffset = 0;     // in the file
  std::string settingsText;      // 34 characters, or empty
  std::vector<std::string> settingsOn;  // named settings the package turned on
  uint32_t imageOffset = 0;      // image start in the file
  uint32_t imageSize = 0;
  std::string modelCode, versionText, serial, dateText, buildTimeText;
  uint32_t releaseNumber = 0, buildTimeNumber = 0;
  uint32_t checksum = 0;
  int64_t flashModule = -1;      // offset in the image or -1
  uint32_t bootBlockTagSeen = 0, bootBlockByte = 0, fSegmentBank = 0;
  uint32_t imageStatus = 0;
  std::vector<AreaInfo> areas;
};

// Loads the file as the image loader does and locates its regions. The
// layout, when not given, is found from the tags of the image alone: a
// program file in front of a package holds tag texts of its own. A program
// file without a package is refused, as the loader refuses it.
Inspection InspectImage(const InspectOptions& options);

std::string FormatText(const Inspection& result);
std::string FormatJson(const Inspection& result);

// A field's bytes as single-byte (Latin-1) text in UTF-8: control bytes,
// 0xA0 and 0xFF (erased flash) as \xNN, a run of one such byte once with its
// count ("\xFF x81920").
std::string PrintableText(const std::string& bytes);

// Decimal or 0x-prefixed hexadecimal, fitting 32 bits.
bool ParseNumber(const std::string& text, uint32_t& value);

}  // namespace inspect
