// What brimlet-inspect finds in an image file, and its text and JSON forms.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace inspect {

struct InspectOptions {
  std::string path;
  uint32_t flagWord = 0;
  uint32_t baseAddress = 0xFFF00000;
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
  std::string layout;
  uint64_t fileSize = 0;
  bool packageHeader = false;
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

// Loads the file as the image loader does and locates its regions.
Inspection InspectImage(const InspectOptions& options);

std::string FormatText(const Inspection& result);
std::string FormatJson(const Inspection& result);

// Decimal or 0x-prefixed hexadecimal, fitting 32 bits.
bool ParseNumber(const std::string& text, uint32_t& value);

}  // namespace inspect
