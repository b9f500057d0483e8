// A 32-byte FAT directory entry for a file Tavrin adds to a key's root
// directory, with the FAT encodings of dates and times.
#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace tavrin {

using DirectoryEntry = std::array<uint8_t, 32>;

uint16_t FatTime(const std::tm& t);  // hour x 2048 + minute x 32 + second / 2
uint16_t FatDate(const std::tm& t);  // (year - 1980) x 512 + month x 32 + day

// The 11-byte 8.3 name: the part before the first dot and the part after it,
// upper case, cut to 8 and 3 characters, padded with blanks. False for a name
// with a folder, without a dot, or with nothing before the dot.
bool ShortName(const std::string& fileName, char out[11]);

struct FileTimes {
  std::time_t created = 0;
  std::time_t accessed = 0;
  std::time_t written = 0;
};

// Times of a file (creation falls back to the last change when the file
// system keeps no birth time).
bool FileTimesOf(const std::string& path, FileTimes* times);

DirectoryEntry MakeDirectoryEntry(const char name[11], const FileTimes& times, uint16_t firstCluster,
                                  uint32_t size);

}  // namespace tavrin
