#include "app/state_listing.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/flash_history.h"
#include "core/json_text.h"
#include "firmware/backup_record.h"
#include "firmware/machine_identity.h"
#include "firmware/rom_backup.h"

namespace brim {

namespace {
// "yes", "no", or "unknown" when either side has no identity to compare.
const char* ThisMachine(const BackupRecord& r, const MachineIdentity& here) {
  if (here.SameMachineAs(r.machine)) return "yes";
  const bool comparable = (!here.productUuid.empty() && !r.machine.productUuid.empty()) ||
                          (!here.productSerial.empty() && !r.machine.productSerial.empty()) ||
                          (!here.boardSerial.empty() && !r.machine.boardSerial.empty());
  return comparable ? "no" : "unknown";
}

int ListBackups(bool json, std::FILE* out) {
  const std::string folder = BackupFolder();
  std::vector<std::pair<BackupRecord, std::string>> backups;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name.size() <= 5 || name.compare(name.size() - 5, 5, ".json") != 0) continue;
      BackupRecord record;
      std::string error;
      if (ReadBackupRecord(folder + "/" + name, &record, &error))
        backups.emplace_back(record, folder + "/" + record.romFile);
    }
    ::closedir(dir);
  }
  std::sort(backups.begin(), backups.end(),
            [](const auto& a, const auto& b) { return a.first.time < b.first.time; });
  const MachineIdentity here = ReadMachineIdentity();
  for (const auto& [r, path] : backups) {
    if (json)
      std::fprintf(out,
                   "{\"time\":%s,\"layout\":%s,\"model\":%s,\"version\":%s,\"date\":%s,\"size\":%llu,"
                   "\"thisMachine\":\"%s\",\"path\":%s}\n",
                   JsonQuoted(r.time).c_str(), JsonQuoted(r.layout).c_str(), JsonQuoted(r.model).c_str(),
                   JsonQuoted(r.version).c_str(), JsonQuoted(r.date).c_str(),
                   static_cast<unsigned long long>(r.size), ThisMachine(r, here), JsonQuoted(path).c_str());
    else
      std::fprintf(out, "%s  %s %s %s  %llu bytes  this machine: %s  %s\n", r.time.c_str(), r.model.c_str(),
                   r.version.c_str(), r.date.c_str(), static_cast<unsigned long long>(r.size),
                   ThisMachine(r, here), path.c_str());
  }
  if (!json && backups.empty()) std::fprintf(out, "No backups in %s\n", folder.c_str());
  return 0;
}

int ShowHistory(bool json, std::FILE* out, std::FILE* err) {
  std::ifstream in(HistoryPath(), std::ios::binary);
  if (!in) {
    if (errno == ENOENT) {
      if (!json) std::fprintf(out, "No flash history yet (%s)\n", HistoryPath().c_str());
      return 0;
    }
    std::fprintf(err, "brimlet: %s: %s\n", HistoryPath().c_str(), std::strerror(errno));
    return 1;
  }
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    if (json) {
      std::fprintf(out, "%s\n", line.c_str());
      continue;
    }
    std::string time, operation, result, status, source;
    if (!JsonTopLevelValue(line, "time", &time)) {
      std::fprintf(out, "(a damaged line)\n");
      continue;
    }
    if (!JsonTopLevelValue(line, "operation", &operation)) operation = "flash";
    JsonTopLevelValue(line, "result", &result);
    JsonTopLevelValue(line, "exitStatus", &status);
    JsonTopLevelValue(line, "source", &source);
    std::fprintf(out, "%s  %-7s  %s (exit %s)  %s\n", time.c_str(), operation.c_str(), result.c_str(),
                 status.c_str(), source.c_str());
  }
  return 0;
}
}  // namespace

int AnswerStateOption(const LinuxOptionCheck& check, std::FILE* out, std::FILE* err) {
  const bool json = check.argument == "json";
  return check.option == LinuxOption::kBackups ? ListBackups(json, out) : ShowHistory(json, out, err);
}

}  // namespace brim
