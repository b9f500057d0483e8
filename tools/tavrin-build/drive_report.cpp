#include "drive_report.h"

#include <set>

#include "disk/drive_description.h"

namespace tavrin_build {

std::string DescribeDrive(const plat::DiskDrive& d, const std::string& name) {
  return tavrin::DriveDescription(d, name);
}

std::string StateText(plat::DiskRefusal refusal) {
  switch (refusal) {
    case plat::DiskRefusal::None: return "";
    case plat::DiskRefusal::ReadOnly: return "write-protected";
    case plat::DiskRefusal::InUse: return "in use by another program";
    case plat::DiskRefusal::Mounted: return "mounted";
    case plat::DiskRefusal::SystemDisk: return "system disk";
    case plat::DiskRefusal::NotRemovable: return "not removable";
    case plat::DiskRefusal::Missing: return "can't be opened";
  }
  return "";
}

std::string LeftOutReason(const plat::DiskDrive& d) {
  std::string reason = StateText(plat::CheckDriveWritable(d));
  return reason.empty() || reason == "write-protected" || reason == "in use by another program"
             ? "no geometry answer"
             : reason;
}

void PrintDriveReport(std::FILE* out, const std::vector<crisis::DriveEntry>& entries) {
  std::set<std::string> listed;
  std::fprintf(out, "Drives a crisis disk can be built on:\n");
  if (entries.empty()) std::fprintf(out, "  (none)\n");
  for (const crisis::DriveEntry& e : entries) {
    plat::DiskDrive d;
    if (!plat::FindNamedDrive(e.name, &d)) {
      std::fprintf(out, "  %-22s %s\n", e.name.c_str(), e.text.c_str());
      continue;
    }
    listed.insert(d.path);
    std::string state = StateText(plat::CheckDriveWritable(d));
    std::fprintf(out, "  %-22s %-26s %s (%s)%s%s\n", e.name.c_str(), e.text.c_str(), d.path.c_str(),
                 DescribeDrive(d, e.name).c_str(), state.empty() ? "" : ", ", state.c_str());
  }
  bool header = false;
  for (const plat::DiskDrive& d : plat::ListDiskDrives()) {
    if (listed.count(d.path)) continue;
    if (!header) std::fprintf(out, "Left out:\n");
    header = true;
    std::fprintf(out, "  %s (%s): %s\n", d.path.c_str(), DescribeDrive(d).c_str(), LeftOutReason(d).c_str());
  }
}

}  // namespace tavrin_build
