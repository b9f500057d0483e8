// The "Driver:" combo box of the main dialog: every medium a crisis disk can
// be written to, with the name the build later opens it by, and the options
// a selected medium allows.
#pragma once
#include <functional>
#include <string>

#include "platform/dialog_controls.h"
#include "platform/disk_ioctl.h"

namespace tavrin {

// Control ids of the main dialog used here.
constexpr int IDC_MINIDOS = 1001;
constexpr int IDC_FORMAT_ONLY = 1002;
constexpr int IDC_FULLDOS = 1003;
constexpr int IDC_DRIVE = 1009;
constexpr int IDC_REMOVABLE = 1010;
constexpr int IDC_FIXED = 1011;

constexpr int kMaxDrives = 255;

constexpr const char* kFloppyEntry = "Floppy Driver A (1.44Mb)";

// The dialog members the selection changes; updateData moves all members into
// the controls (UpdateData(FALSE)); when empty the two radio groups are set.
struct DriveOptions {
  int m_nMode = 0;        // 0 MINIDOS, 1 FULLDOS, 2 format only
  int m_nDiskFormat = 0;  // 0 Removable, 1 Fixed
  std::function<void()> updateData;
};

// "(%.1fMb)" up to 1000 MB, else "(%.1fGb)".
std::string SizeText(double megabytes);
// MB (of 1,048,576 bytes) of a geometry as the list counts them: the
// cylinders rounded up to an even number.
double GeometryMegabytes(const plat::DISK_GEOMETRY& g);

class DriveList {
 public:
  // Fills combo box 1009 (NT branch for platform id 2, else the 9x branch),
  // selects entry 0 and runs OnSelectDrive; false when the list is empty.
  bool FillDriveList(plat::DialogControls& controls, int platformId, DriveOptions& options);
  void OnSelectDrive(plat::DialogControls& controls, DriveOptions& options);

  int m_nDriveCount = 0;
  std::string m_strDrives[kMaxDrives];

 private:
  void Add(plat::DialogControls& controls, const std::string& name, const std::string& text);
  void FillNT(plat::DialogControls& controls);
  bool Fill9x(plat::DialogControls& controls);
};

}  // namespace tavrin
