#include "firmware/backup_restore.h"

#include <cstring>

#include "firmware/sha256.h"

namespace brim {

namespace {
// The file's hash and size against the record's.
bool Matches(const std::string& path, const std::string& sha256, uint64_t size, std::string* why) {
  std::string hex, error;
  uint64_t actual = 0;
  if (!Sha256OfFile(path, &hex, &actual, &error)) {
    *why = "the backup cannot be read: " + error;
    return false;
  }
  if (hex != sha256 || actual != size) {
    *why = path + " is not the file its record describes (its bytes changed since the backup)";
    return false;
  }
  return true;
}
}  // namespace

bool CheckBackupForRestore(const std::string& romPath, const BiosImage& currentRom,
                           const MachineIdentity& machine, BackupRecord* record, std::string* why) {
  if (!ReadBackupRecord(RecordPathOf(romPath), record, why)) return false;
  if (!Matches(romPath, record->sha256, record->size, why)) return false;
  if (record->size != currentRom.size) {
    *why = "the backup holds " + std::to_string(record->size) + " bytes, the flash ROM " +
           std::to_string(currentRom.size);
    return false;
  }
  // A cut-off ROM may have lost its model code; the DMI identity still ties
  // the backup to the machine.
  const std::string model(currentRom.modelCode, strnlen(currentRom.modelCode, sizeof currentRom.modelCode));
  const bool sameModel = !record->model.empty() && record->model == model;
  if (!machine.SameMachineAs(record->machine) && !sameModel) {
    *why = "the backup belongs to another machine (model " +
           (record->model.empty() ? std::string("unknown") : record->model) +
           (record->machine.productName.empty() ? "" : ", " + record->machine.productName) +
           "); this one is model " + (model.empty() ? std::string("unknown") : model);
    return false;
  }
  if (!record->moduleFile.empty() &&
      !Matches(ModulePathOf(romPath), record->moduleSha256, record->moduleSize, why))
    return false;
  return true;
}

}  // namespace brim
