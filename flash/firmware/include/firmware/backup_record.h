// The record beside a ROM backup (NAME.json beside NAME.rom): what the
// backup holds and which machine it came from, so that a restore can prove
// both before it writes anything.
#pragma once
#include <cstdint>
#include <string>

#include "firmware/machine_identity.h"

namespace brim {

constexpr int kBackupRecordFormat = 1;

struct BackupRecord {
  int format = kBackupRecordFormat;
  std::string romFile;  // file name, in the record's folder
  std::string sha256;
  uint64_t size = 0;
  std::string layout, model, version, date;
  MachineIdentity machine;
  std::string time;  // UTC, ISO 8601
  std::string brimletVersion;
  // The flash module a ROM without one of its own is programmed back with ("" for none).
  std::string moduleFile;
  std::string moduleSha256;
  uint64_t moduleSize = 0;
};

// NAME.rom -> NAME.json; NAME.rom -> NAME.module.
std::string RecordPathOf(const std::string& romPath);
std::string ModulePathOf(const std::string& romPath);

std::string BackupRecordJson(const BackupRecord& record);
// False with *error naming the file and what is wrong with it.
bool ReadBackupRecord(const std::string& path, BackupRecord* record, std::string* error);

}  // namespace brim
