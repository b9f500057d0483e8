#include "disk/directory_entry.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/file_system.h"
#include "platform/le_bytes.h"

namespace tavrin {

namespace {

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

}  // namespace

uint16_t FatTime(const std::tm& t) {
  return static_cast<uint16_t>(t.tm_hour * 2048 + t.tm_min * 32 + t.tm_sec / 2);
}

uint16_t FatDate(const std::tm& t) {
  int year = t.tm_year + 1900 - 1980;
  if (year < 0) year = 0;  // FAT dates start in 1980
  if (year > 127) year = 127;
  return static_cast<uint16_t>(year * 512 + (t.tm_mon + 1) * 32 + t.tm_mday);
}

bool ShortName(const std::string& fileName, char out[11]) {
  if (fileName.find_first_of("/\\:") != std::string::npos) return false;
  size_t dot = fileName.find('.');
  if (dot == std::string::npos || dot == 0) return false;
  std::string upper = plat::ToUpper(fileName);
  std::string base = upper.substr(0, dot), ext = upper.substr(dot + 1);
  std::memset(out, ' ', 11);
  std::memcpy(out, base.data(), base.size() < 8 ? base.size() : 8);
  std::memcpy(out + 8, ext.data(), ext.size() < 3 ? ext.size() : 3);
  return true;
}

bool FileTimesOf(const std::string& path, FileTimes* times) {
  struct statx sx;
  std::string native = plat::ResolvePath(path);
  if (::statx(AT_FDCWD, native.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
  times->written = sx.stx_mtime.tv_sec;
  times->accessed = sx.stx_atime.tv_sec;
  times->created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec;
  return true;
}

DirectoryEntry MakeDirectoryEntry(const char name[11], const FileTimes& times, uint16_t firstCluster,
                                  uint32_t size) {
  DirectoryEntry e{};
  std::memcpy(e.data(), name, 11);
  e[11] = 0x20;
  std::tm created = LocalTime(times.created), accessed = LocalTime(times.accessed),
          written = LocalTime(times.written);
  uint8_t* d = e.data();
  plat::PutLe16(d, 32, 14, FatTime(created));
  plat::PutLe16(d, 32, 16, FatDate(created));
  plat::PutLe16(d, 32, 18, FatDate(accessed));
  plat::PutLe16(d, 32, 20, 0);
  plat::PutLe16(d, 32, 22, FatTime(written));
  plat::PutLe16(d, 32, 24, FatDate(written));
  plat::PutLe16(d, 32, 26, firstCluster);
  plat::PutLe32(d, 32, 28, size);
  return e;
}

}  // namespace tavrin
