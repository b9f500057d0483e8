#include "disk/drive_list.h"

#include <cstdio>
#include <memory>

#include "disk/disk_messages.h"
#include "disk/int13ext.h"
#include "platform/device.h"
#include "platform/disk_drives.h"
#include "platform/disk_ioctl.h"
#include "platform/message_box.h"

namespace tavrin {

namespace {

constexpr int kProbedDrives = 254;

std::string Format(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

std::string RemovableText(int k) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Removable Disk %d ", k);
  return buf;
}

void SetRadio(plat::DialogControls& c, const int* ids, int count, int value) {
  for (int i = 0; i < count; ++i) c.SetCheck(ids[i], i == value);
}

}  // namespace

std::string SizeText(double megabytes) {
  return megabytes <= 1000 ? Format("(%.1fMb)", megabytes) : Format("(%.1fGb)", megabytes / 1024);
}

double GeometryMegabytes(const plat::DISK_GEOMETRY& g) {
  uint64_t c = static_cast<uint32_t>(g.Cylinders);
  if (c & 1) ++c;
  // 64-bit product: keys past 4 GiB would wrap a 32-bit one.
  const uint64_t bytes = c * g.TracksPerCylinder * g.SectorsPerTrack * g.BytesPerSector;
  return static_cast<double>(bytes) / 1048576.0;
}

void DriveList::Add(plat::DialogControls& controls, const std::string& name, const std::string& text) {
  if (m_nDriveCount >= kMaxDrives) return;
  m_strDrives[m_nDriveCount++] = name;
  controls.AddItem(IDC_DRIVE, text);
}

void DriveList::FillNT(plat::DialogControls& controls) {
  if ((plat::GetLogicalDrives() & 1) && plat::GetDriveType("A:") == plat::DRIVE_REMOVABLE)
    Add(controls, "A:", kFloppyEntry);
  int k = 0;
  for (int n = 0; n < kProbedDrives; ++n) {
    char path[40];
    std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%d", n);
    uint32_t err = 0;
    std::unique_ptr<plat::Device> dev = plat::OpenDevice(path, plat::GENERIC_READ, &err);
    if (!dev) continue;
    uint8_t out[plat::kDiskGeometrySize] = {};
    uint32_t returned = 0;
    if (!dev->IoControl(plat::IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out, sizeof out, &returned, &err) ||
        returned != plat::kDiskGeometrySize)
      continue;
    plat::DISK_GEOMETRY g = plat::DecodeDiskGeometry(out);
    if (g.MediaType != plat::MEDIA_REMOVABLE) continue;
    Add(controls, path, RemovableText(k) + SizeText(GeometryMegabytes(g)));
    ++k;
  }
}

bool DriveList::Fill9x(plat::DialogControls& controls) {
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    char root[4] = {letter, ':', '\\', 0};
    uint32_t a, b, c, d;
    plat::GetDiskFreeSpace(root, &a, &b, &c, &d);
  }
  std::unique_ptr<plat::Device> dev = OpenInt13Ext();
  if (!dev) {
    plat::MessageBox(kNoInt13Ext, kTitle, plat::MB_OK);
    return false;
  }
  int k = 0;
  for (int j = 0; j < kProbedDrives; ++j) {
    DriveParams params;
    if (!Int13ExtGetParams(j, &params, dev.get())) continue;
    if (j > 127 && !(params.flags & 0x0004)) continue;
    double mb = static_cast<double>(params.totalSectors) / 2048.0;
    if (mb < 1.44) {
      Add(controls, "A:", kFloppyEntry);
    } else {
      Add(controls, std::to_string(j), RemovableText(k) + SizeText(mb));
      ++k;
    }
  }
  return true;
}

bool DriveList::FillDriveList(plat::DialogControls& controls, int platformId, DriveOptions& options) {
  plat::EnsureDiskDevices();
  if (platformId == 2)
    FillNT(controls);
  else if (!Fill9x(controls))
    return false;
  if (controls.ItemCount(IDC_DRIVE) == 0) return false;
  controls.Select(IDC_DRIVE, 0);
  OnSelectDrive(controls, options);
  return true;
}

void DriveList::OnSelectDrive(plat::DialogControls& controls, DriveOptions& options) {
  if (m_nDriveCount == 0) return;
  int sel = controls.Selection(IDC_DRIVE);
  if (sel < 0 || sel >= m_nDriveCount) return;  // no valid selection: nothing to fit
  bool floppy = m_strDrives[sel] == "A:";
  if (floppy)
    options.m_nDiskFormat = 0;
  else
    options.m_nMode = 0;
  if (options.updateData) {
    options.updateData();
  } else {
    static const int modes[] = {IDC_MINIDOS, IDC_FULLDOS, IDC_FORMAT_ONLY};
    static const int formats[] = {IDC_REMOVABLE, IDC_FIXED};
    SetRadio(controls, modes, 3, options.m_nMode);
    SetRadio(controls, formats, 2, options.m_nDiskFormat);
  }
  controls.Enable(IDC_REMOVABLE, !floppy);
  controls.Enable(IDC_FIXED, !floppy);
  controls.Enable(IDC_FULLDOS, floppy);
  controls.Enable(IDC_FORMAT_ONLY, floppy);
}

}  // namespace tavrin
