#include "disk/floppy_disk.h"

#include <cstdio>

#include "disk/disk_messages.h"
#include "disk/sector_buffer.h"
#include "platform/disk_drives.h"
#include "platform/file_system.h"
#include "platform/floppy_tools.h"
#include "platform/le_bytes.h"
#include "platform/message_box.h"

namespace tavrin {

CFloppyDisk::CFloppyDisk(const std::string& name) : CDisk(name, 0) {}

bool CFloppyDisk::CheckMedia() {
  SectorBuffer buffer(1);
  bool ok = false;
  for (int attempt = 0; attempt < 3 && !ok && buffer.ok(); ++attempt) ok = ReadSectors(0, buffer.data(), 1);
  if (ok) return true;
  // A diskette that is there but must not be written says why, not "no floppy".
  plat::DiskRefusal refusal = plat::CheckDiskWritable(m_strName);
  if (refusal != plat::DiskRefusal::None && refusal != plat::DiskRefusal::Missing) return CheckWritable();
  plat::MessageBox(NoFloppyMessage(m_strName), kTitle, plat::MB_ICONERROR);
  return false;
}

void CFloppyDisk::Format() {
  if (m_strName.empty() || m_strName[0] < 'A' || m_strName[0] > 'Z') return;
  plat::SHFormatDrive(static_cast<unsigned>(m_strName[0] - 'A'), plat::SHFMT_ID_DEFAULT, 0);
}

bool CFloppyDisk::CopyFileToDisk(const std::string& file) {
  if (!plat::FileExists(file)) return false;
  if (!CheckWritable()) return false;
  return plat::CopyFileToFloppy(file, file);
}

bool CFloppyDisk::WriteBootSector(const std::string& file) {
  std::FILE* f = plat::OpenFile(file, "rb");
  if (!f) {
    plat::MessageBox(MissingBootFileMessage(file), kTitle, plat::MB_ICONERROR);
    return false;
  }
  SectorBuffer sector(1);
  size_t got = sector.ok() ? std::fread(sector.data(), 1, kSectorSize, f) : 0;
  const bool readError = std::ferror(f) != 0;
  std::fclose(f);
  (void)got;  // a short file leaves the rest of the sector zero
  if (!sector.ok()) return false;
  if (readError || !CheckWritable()) {
    if (readError) plat::MessageBox("Error, the file " + file + " can't be read, please try again!", kTitle, plat::MB_ICONERROR);
    return false;
  }
  if (!WriteSectors(0, sector.data(), 1)) {
    plat::MessageBox("Error, the boot sector of drive " + m_strName + " can't be written, please try again!", kTitle,
                     plat::MB_ICONERROR);
    return false;
  }
  return true;
}

BootParams FloppyBootParams() {
  BootParams p;
  uint8_t* d = p.bytes().data();
  const size_t n = p.bytes().size();
  auto at = [](unsigned off) { return off - kBootParamsOffset; };
  plat::PutLe16(d, n, at(11), 512);
  d[at(13)] = 1;
  plat::PutLe16(d, n, at(14), 1);
  d[at(16)] = 2;
  plat::PutLe16(d, n, at(17), 224);
  p.SetTotalSectors(2880);
  d[at(21)] = 0xF0;
  plat::PutLe16(d, n, at(22), 9);
  plat::PutLe16(d, n, at(24), 18);
  plat::PutLe16(d, n, at(26), 2);
  return p;
}

}  // namespace tavrin
