#include "firmware/backup_record.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "core/json_text.h"

namespace brim {

namespace {
std::string Stem(const std::string& romPath) {
  const size_t slash = romPath.find_last_of('/');
  const size_t dot = romPath.find_last_of('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash) ? romPath.substr(0, dot)
                                                                                 : romPath;
}

bool Number(const std::map<std::string, std::string>& v, const char* key, uint64_t* out) {
  auto it = v.find(key);
  if (it == v.end() || it->second.empty() || it->second.size() > 19) return false;
  for (char c : it->second)
    if (c < '0' || c > '9') return false;
  *out = std::stoull(it->second);
  return true;
}

std::string Text(const std::map<std::string, std::string>& v, const char* key) {
  auto it = v.find(key);
  return it == v.end() ? std::string() : it->second;
}
}  // namespace

std::string RecordPathOf(const std::string& romPath) { return Stem(romPath) + ".json"; }
std::string ModulePathOf(const std::string& romPath) { return Stem(romPath) + ".module"; }

std::string BackupRecordJson(const BackupRecord& r) {
  std::string out = "{\"format\":" + std::to_string(r.format) + ",\"file\":" + JsonQuoted(r.romFile) +
                    ",\"sha256\":" + JsonQuoted(r.sha256) + ",\"size\":" + std::to_string(r.size) +
                    ",\"layout\":" + JsonQuoted(r.layout) + ",\"model\":" + JsonQuoted(r.model) +
                    ",\"version\":" + JsonQuoted(r.version) + ",\"date\":" + JsonQuoted(r.date) +
                    ",\"productUuid\":" + JsonQuoted(r.machine.productUuid) +
                    ",\"productSerial\":" + JsonQuoted(r.machine.productSerial) +
                    ",\"boardSerial\":" + JsonQuoted(r.machine.boardSerial) +
                    ",\"productName\":" + JsonQuoted(r.machine.productName) +
                    ",\"time\":" + JsonQuoted(r.time) + ",\"brimletVersion\":" + JsonQuoted(r.brimletVersion);
  if (!r.moduleFile.empty())
    out += ",\"moduleFile\":" + JsonQuoted(r.moduleFile) + ",\"moduleSha256\":" + JsonQuoted(r.moduleSha256) +
           ",\"moduleSize\":" + std::to_string(r.moduleSize);
  return out + "}\n";
}

bool ReadBackupRecord(const std::string& path, BackupRecord* r, std::string* error) {
  // Only a regular file is a record: a link in the state folder is not followed.
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    *error = "the backup's record " + path + " is not a regular file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "the backup's record " + path + " cannot be read: " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::map<std::string, std::string> v;
  uint64_t format = 0;
  *r = BackupRecord();
  if (!ParseFlatJsonObject(text.str(), &v) || !Number(v, "format", &format) ||
      !Number(v, "size", &r->size) || Text(v, "sha256").size() != 64) {
    *error = "the backup's record " + path + " is damaged";
    return false;
  }
  if (format != kBackupRecordFormat) {
    *error = "the backup's record " + path + " has format " + std::to_string(format) +
             ", which this brimlet does not know";
    return false;
  }
  r->format = static_cast<int>(format);
  r->romFile = Text(v, "file");
  r->sha256 = Text(v, "sha256");
  r->layout = Text(v, "layout");
  r->model = Text(v, "model");
  r->version = Text(v, "version");
  r->date = Text(v, "date");
  r->machine.productUuid = Text(v, "productUuid");
  r->machine.productSerial = Text(v, "productSerial");
  r->machine.boardSerial = Text(v, "boardSerial");
  r->machine.productName = Text(v, "productName");
  r->time = Text(v, "time");
  r->brimletVersion = Text(v, "brimletVersion");
  r->moduleFile = Text(v, "moduleFile");
  r->moduleSha256 = Text(v, "moduleSha256");
  if (!r->moduleFile.empty() && (!Number(v, "moduleSize", &r->moduleSize) || r->moduleSha256.size() != 64)) {
    *error = "the backup's record " + path + " is damaged (its module)";
    return false;
  }
  return true;
}

}  // namespace brim
