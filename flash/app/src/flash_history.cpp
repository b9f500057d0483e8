#include "app/flash_history.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/exit_status.h"
#include "core/json_text.h"
#include "image/image_layout.h"
#include "platform/system_paths.h"

namespace brim {

namespace {

std::string Quoted(const std::string& text) { return JsonQuoted(text); }

std::string Fixed(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

std::string Identity(const BiosIdentity& id) {
  return "{\"layout\":" + Quoted(id.layout) + ",\"model\":" + Quoted(id.model) +
         ",\"version\":" + Quoted(id.version) + ",\"date\":" + Quoted(id.date) + "}";
}

std::string VerifyText(const FlashRecord& r) {
  if (!r.verifyRan) return "not run";
  if (!r.verify.readBack) return "failed: ROM not read back";
  if (r.verify.badBlocks == 0) return "passed";
  return "failed: " + std::to_string(r.verify.badBlocks) + " of " + std::to_string(r.verify.blocks) +
         " blocks differ";
}

}  // namespace

BiosIdentity IdentityOf(const BiosImage& image, uint32_t flagWord) {
  BiosIdentity id;
  id.layout = LayoutName(LayoutOf(flagWord));
  id.model = Fixed(image.modelCode, sizeof image.modelCode);
  id.version = Fixed(image.versionText, sizeof image.versionText);
  id.date = Fixed(image.dateText, sizeof image.dateText);
  return id;
}

std::string HistoryPath() { return plat::StateFolder() + "/history.jsonl"; }

std::string HistoryLine(const FlashRecord& r) {
  std::tm utc{};
  gmtime_r(&r.time, &utc);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
  char word[16];
  std::snprintf(word, sizeof word, "0x%08X", r.settingsWord);
  std::string unkept = "[";
  for (size_t i = 0; i < r.unkept.size(); ++i)
    unkept += (i ? "," : "") + std::string("{\"area\":") + Quoted(r.unkept[i].area) +
              ",\"reason\":" + Quoted(r.unkept[i].reason) + "}";
  unkept += "]";
  return std::string("{\"time\":") + Quoted(when) + ",\"old\":" + Identity(r.before) +
         ",\"new\":" + Identity(r.image) + ",\"operation\":" + Quoted(r.restore ? "restore" : "flash") + ",\"source\":" + Quoted(r.source) +
         ",\"settingsWord\":" + Quoted(word) + ",\"exitStatus\":" + std::to_string(r.exitStatus) +
         ",\"result\":" + Quoted(ExitStatusMeaning(r.exitStatus)) +
         ",\"backup\":" + (r.backupPath.empty() ? std::string("null") : Quoted(r.backupPath)) +
         ",\"verify\":" + Quoted(VerifyText(r)) + ",\"notKept\":" + unkept + "}\n";
}

bool AppendHistory(const FlashRecord& r, std::string* error) {
  const std::string path = HistoryPath();
  if (!plat::MakeDirectories(plat::StateFolder())) {
    *error = "cannot create " + plat::StateFolder() + ": " + std::strerror(errno);
    return false;
  }
  std::string line = HistoryLine(r);
  const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  // A line cut short by an earlier crash must not swallow this one.
  const off_t end = ::lseek(fd, 0, SEEK_END);
  char last = '\n';
  if (end > 0 && ::pread(fd, &last, 1, end - 1) == 1 && last != '\n') line.insert(0, 1, '\n');
  const ssize_t n = ::write(fd, line.data(), line.size());
  const int writeErrno = errno;
  bool ok = n == static_cast<ssize_t>(line.size());
  if (!ok) *error = "cannot write " + path + ": " + (n < 0 ? std::strerror(writeErrno) : "short write");
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    *error = "cannot sync " + path + ": " + std::strerror(errno);
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    *error = "cannot close " + path + ": " + std::strerror(errno);
  }
  return ok;
}

}  // namespace brim
