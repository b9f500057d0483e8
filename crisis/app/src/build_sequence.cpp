// One crisis disk build: erase warning, medium, boot sector, the disk files
// collected in the working folder (optionally compressed) and copied on.
#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "crisis_app/checked_file.h"
#include "crisis_app/compressor.h"
#include "crisis_app/control_ids.h"
#include "crisis_app/disk_verify.h"
#include "crisis_app/file_pattern.h"
#include "crisis_app/scratch_files.h"
#include "crisis_app/tavrin_dlg.h"
#include "disk/directory_entry.h"
#include "disk/drive_description.h"
#include "platform/disk_drives.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/quit_request.h"

namespace crisis {

namespace {

const char kTitle[] = "Tavrin";
const char kEraseWarning[] =
    "Warning, this will erase all the data on the removable disk! \n\n  To continue, click OK. To "
    "quit, click CANCEL.";
const char kNoDiskObject[] = "Error, Can't create the object for the removable disk!";
const char kFullDosOnNt[] =
    "FULLDOS Crisis Recovery Diskette will not build properly under Windows NT.\nPlease boot to "
    "DOS and run CRISDISK.BAT \n";
const char kDoneUsbKey[] =
    "Crisis Recovery Diskette was Successfully Created. \n\n         PLEASE RE-PLUG IN THE "
    "REMOVABLE DISK ! \n";
const char kDoneFloppy[] =
    "Crisis Recovery Diskette was Successfully Created. \n\n         PLEASE REMOVE DISKETTE ! \n";
const char kAnother[] =
    " Do you wish to create another Crisis Diskette ? \n\n If Yes, Please insert a new diskette or "
    "plug in the removable disk now.  \n\n";
const char kCopiedAll[] = "Crisis Recovery Diskette was Successfully Created.";
const char kCompressMissing[] = " Failed to compress BIOS.QZW \n\n ";
const char kCheckExists[] = "- Check if file exists. \n\n When ready, try again.\n";
const char kCompressFails[] = "Compress file fails!";
// Texts that carry the system's reason after them.
const char kNotVerified[] = "The crisis disk could not be verified: what was read back from it differs from what must be there.\n\n";
const char kDoNotUse[] = "\n\n Do not use this disk. When ready, try again.\n";
const char kFolderFails[] = " Failed to prepare the working folder. \n\n ";
const char kFolderNotRestored[] = " The working folder could not be restored as it was. \n\n ";
const char kFolderBusy[] = "the working folder is in use by another build";
const char kFolderRecovered[] = "The working folder was put back as it was before an interrupted build: ";
const char kCopyFailTail[] =
    "  - Make sure Diskette format completed. \n  - Check if file exists. \n\n When ready, try "
    "again.\n";

const char* const kPackagedList[] = {"minidos.sys", "kavlo16.exe", "vgabios.exe", "bios.qzw",
                                     "autoexec.bat"};
const char* const kRawList[] = {"minidos.sys", "kavlo.exe", "platform.bin", "vgabios.exe",
                                "bios.rom",    "autoexec.bat"};

// The disk classes ask the program to end after a fault in their sector
// work, yet report success; the build must not go on and call it a disk.
bool QuitPending() { return plat::QuitRequested(nullptr); }

}  // namespace

int CTavrinDlg::CreateCrisisDisk(int mode) {
  // A build that was killed left the user's files aside: back first.
  std::vector<std::string> undone;
  std::string why;
  if (::chdir(m_szWorkDir.c_str()) != 0) why = IoError(m_szWorkDir, errno);
  // While another build runs here its records are its own, not leftovers.
  FolderLock folder(false);
  if (!why.empty() || (folder.Held() && !RecoverInterruptedBuild(&undone, &why))) {
    plat::MessageBox(kFolderNotRestored + why + "\n", kTitle, plat::MB_ICONERROR);
    return kBuildFailed;
  }
  if (!undone.empty()) {
    std::string names;
    for (const std::string& n : undone) names += (names.empty() ? "" : ", ") + n;
    SetStatusText(kFolderRecovered + names);
  }

  const int sel = m_controls.Selection(IDC_DRIVE);
  const std::string drive =
      sel >= 0 && sel < m_nDriveCount ? m_strDrives[static_cast<size_t>(sel)] : std::string();

  // The fixed text says "the removable disk": which one, as tavrin-build names it.
  std::string warning = kEraseWarning;
  plat::DiskDrive target;
  if (!drive.empty() && plat::FindNamedDrive(drive, &target))
    warning += "\n\n" + target.path + " (" + tavrin::DriveDescription(target, drive) + ")";
  if (plat::MessageBox(warning, kTitle, plat::MB_OKCANCEL | plat::MB_ICONEXCLAMATION) != plat::IDOK)
    return kBuildFailed;

  m_pDisk.reset();
  UpdateData(true);
  m_pDisk = m_media.Create(drive, m_nDiskFormat == 1);
  if (!m_pDisk) {
    plat::MessageBox(kNoDiskObject, kTitle, plat::MB_ICONERROR);
    return kBuildFailed;
  }
  if (!m_pDisk->CheckMedia()) return kBuildFailed;

  if (!SelectImageSource()) {
    EnableControls(true);
    return m_bProjectRejected ? kBuildProjectRejected : kBuildFailed;
  }
  EnableControls(false);

  if (mode == kModeFullDos && GetPlatformId() == 2) {
    plat::MessageBox(kFullDosOnNt, kTitle, plat::MB_ICONEXCLAMATION);
    return kBuildRefused;
  }

  m_pDisk->Format();
  m_view.RedrawNow();

  if (mode == kModeMiniDos) {
    m_view.BeginWaitCursor();
    SetStatusText("Updating Boot Sector...");
    // The files must fit the layout before the medium gets it.
    if (!m_pDisk->CheckRoom(DiskFileSizes(mode)) || !m_pDisk->WriteBootSector("crisboot.bin") ||
        QuitPending()) {
      m_view.EndWaitCursor();
      return kBuildFailed;
    }
    m_view.EndWaitCursor();
    ClearStatus();
  }

  if (!BuildDiskFiles(mode, drive)) return kBuildFailed;

  if (m_pDisk->IsUsbKey()) {
    m_pDisk->EjectMedia();
    plat::MessageBox(kDoneUsbKey, kTitle, plat::MB_OK | plat::MB_ICONEXCLAMATION);
  } else {
    plat::MessageBox(kDoneFloppy, kTitle, plat::MB_OK | plat::MB_ICONEXCLAMATION);
  }
  int answer = plat::MessageBox(kAnother, kTitle, plat::MB_YESNO | plat::MB_ICONQUESTION);
  ClearStatus();
  EnableControls(true);
  return answer;
}

bool CTavrinDlg::BuildDiskFiles(int mode, const std::string& /*drive*/) {
  // 1. The list: packaged image when the working folder has KAVLO16.EXE.
  const bool packaged = plat::FileExists("KAVLO16.EXE");
  const char* const* list = packaged ? kPackagedList : kRawList;
  const int count = packaged ? 4 : 5;
  const int first = mode == kModeFullDos ? 1 : 0;
  const std::vector<std::string> names(list + first, list + first + count);

  // A build that started meanwhile in this folder has either been refused
  // its medium or is building on another one: its end is near.
  FolderLock folder(true);
  if (!folder.Held()) {
    plat::MessageBox(std::string(kFolderFails) + kFolderBusy + "\n\n When ready, try again.\n", kTitle,
                     plat::MB_ICONERROR);
    return false;
  }
  // Declared before the files it guards: its end, which ends the program
  // after a signal, comes after theirs.
  InterruptGuard guard;

  // 2. The project's files, for this build only.
  ScratchFiles scratch;
  if (!m_bUseWorkDir) {
    const std::string project = m_strProjectPath + "\\";
    scratch.Bring(project + "vgabios.exe", "vgabios.exe");
    if (packaged) {
      scratch.Bring(project + "flashabl.rom", "bios.qzw");
    } else {
      scratch.Bring(project + "platform.bin", "platform.bin");
      // Later candidates win: the test ROM over the devel ROM.
      std::string match = FindFirstMatch(m_strProjectPath, "??" + m_strPartNum + "???.rom");
      if (!match.empty()) scratch.Bring(project + match, "bios.rom");
      scratch.Bring(project + "devel" + m_strPartNum + ".rom", "bios.rom");
      scratch.Bring(project + "test" + m_strPartNum + ".rom", "bios.rom");
    }
  }

  // 3. Compression: the disk gets the compressed image as bios.qzw, the
  // folder gets its own image back.
  ImageBackup backup;
  auto cleanUp = [&] {
    std::string why;
    if (!backup.End()) why = backup.Error();
    if (!scratch.Restore() && why.empty()) why = scratch.Error();
    if (why.empty()) return true;
    plat::MessageBox(kFolderNotRestored + why + "\n", kTitle, plat::MB_ICONERROR);
    return false;
  };
  if (!scratch.Error().empty()) {
    plat::MessageBox(kFolderFails + scratch.Error() + "\n\n When ready, try again.\n", kTitle,
                     plat::MB_ICONERROR);
    cleanUp();
    return false;
  }
  // At each step a signal ends the build with the folder put back.
  auto interrupted = [&](const std::string& step) {
    if (!guard.Interrupted(step)) return false;
    cleanUp();
    return true;
  };
  if (interrupted("brought")) return false;
  std::vector<uint8_t> encoded;
  if (m_bCompress) {
    // An existing BIOS.BAK would be taken for the image or lost: refuse.
    bool ready = plat::FileExists("BIOS.QZW") && !plat::FileExists("BIOS.BAK") && backup.Begin();
    if (!ready) {
      plat::MessageBox(std::string(kCompressMissing) + kCheckExists, kTitle, plat::MB_OK);
      cleanUp();
      return false;
    }
    if (interrupted("backed-up")) return false;
    std::string why;
    if (!CompressImage("BIOS.BAK", "BIOS.QZW", &why, &encoded)) {
      plat::MessageBox(std::string(kCompressFails) + "\n\n" + why, kTitle, plat::MB_OK);
      cleanUp();
      return false;
    }
    if (interrupted("compressed")) return false;
  }

  // 4. Sizes for the progress bar.
  const std::string autoexecLine = names[0];
  std::vector<uint32_t> sizes;
  uint32_t total = 0;
  for (const std::string& name : names) {
    uint32_t size = name == "autoexec.bat" ? static_cast<uint32_t>(autoexecLine.size())
                                           : GetFileSize(name);
    sizes.push_back(size);
    total += size;
  }

  // 5, 6. Copy in list order. The bar follows the bytes copied so far, so
  // rounding down per file can't keep it short of its end.
  m_view.BeginWaitCursor();
  m_view.SetProgress(m_nProgress);
  const int startProgress = m_nProgress;
  uint64_t copiedBytes = 0;
  std::vector<std::string> onDisk;
  // Taken before the copy reads the files (which may move their access
  // times): the directory entries must carry these.
  std::map<std::string, tavrin::FileTimes> times;
  for (const std::string& name : names) {
    tavrin::FileTimes t;
    if (name != "autoexec.bat" && tavrin::FileTimesOf(plat::ToUpper(name), &t)) times[name] = t;
  }
  auto stop = [&](const std::string& text) {
    plat::MessageBox(text, kTitle, plat::MB_ICONERROR);
    m_view.EndWaitCursor();
    ClearStatus();
    cleanUp();
    return false;
  };
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    SetStatusText("Copying " + name + "...");
    if (total != 0) {  // every file missing or empty: the bar stays
      copiedBytes += sizes[i];
      m_nProgress = std::min(kProgressMax, startProgress + static_cast<int>(copiedBytes * kProgressMax / total));
      m_view.SetProgress(m_nProgress);
    }
    bool copied;
    if (name == "autoexec.bat") {
      // A:\AUTOEXEC.BAT reaches the floppy through the medium like any file.
      ScratchFiles batch;
      if (!batch.Write("AUTOEXEC.BAT", autoexecLine + "\r\n"))
        return stop(kFolderFails + batch.Error() + "\n\n When ready, try again.\n");
      copied = m_pDisk->CopyFileToDisk("AUTOEXEC.BAT");
      if (!batch.Restore()) return stop(kFolderNotRestored + batch.Error() + "\n");
    } else {
      copied = m_pDisk->CopyFileToDisk(name);
      if (QuitPending()) {
        m_view.EndWaitCursor();
        ClearStatus();
        cleanUp();
        return false;
      }
      if (!copied && name == "vgabios.exe") continue;  // the video BIOS program is optional
    }
    if (!copied) {
      plat::MessageBox(" Failed to copy " + name + " file.\n\n" + kCopyFailTail, kTitle,
                       plat::MB_OK);
      m_view.EndWaitCursor();
      ClearStatus();
      cleanUp();
      return false;
    }
    onDisk.push_back(name);
    if (interrupted("copied " + name)) {
      m_view.EndWaitCursor();
      ClearStatus();
      return false;
    }
  }

  // The medium read back after the last file, before the folder is put back.
  if (m_bVerify) {
    SetStatusText("Verifying...");
    std::string why;
    if (!VerifyBuiltDisk(*m_pDisk, onDisk, times, autoexecLine + "\r\n", m_bCompress ? &encoded : nullptr,
                         "BIOS.BAK", mode == kModeMiniDos ? "crisboot.bin" : "", &why))
      return stop(kNotVerified + why + kDoNotUse);
    if (interrupted("verified")) {
      m_view.EndWaitCursor();
      ClearStatus();
      return false;
    }
  }

  // 7, 8. The full bar stays until the success box has been seen.
  const bool restored = cleanUp();
  m_view.EndWaitCursor();
  if (!restored) {
    ClearStatus();
    return false;
  }
  SetStatusText(kCopiedAll);
  m_nProgress = kProgressMax;
  m_view.SetProgress(m_nProgress);
  return true;
}

std::vector<uint64_t> CTavrinDlg::DiskFileSizes(int mode) {
  const bool packaged = plat::FileExists("KAVLO16.EXE");
  const char* const* list = packaged ? kPackagedList : kRawList;
  const int count = packaged ? 4 : 5;
  const int first = mode == kModeFullDos ? 1 : 0;
  const std::string project = m_strProjectPath + "\\";
  // A project file that is missing leaves the working folder's own in place.
  auto sizeOf = [](const std::vector<std::string>& candidates, const std::string& name) -> uint64_t {
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it)
      if (plat::FileExists(*it)) return GetFileSize(*it);
    return GetFileSize(name);
  };
  std::vector<uint64_t> sizes;
  for (int i = first; i < first + count; ++i) {
    const std::string name = list[i];
    std::vector<std::string> from;
    if (!m_bUseWorkDir) {
      if (name == "vgabios.exe" || name == "platform.bin") from = {project + name};
      if (name == "bios.qzw") from = {project + "flashabl.rom"};
      if (name == "bios.rom") {
        std::string match = FindFirstMatch(m_strProjectPath, "??" + m_strPartNum + "???.rom");
        if (!match.empty()) from.push_back(project + match);
        from.push_back(project + "devel" + m_strPartNum + ".rom");
        from.push_back(project + "test" + m_strPartNum + ".rom");
      }
    }
    uint64_t size = name == "autoexec.bat" ? std::string(list[first]).size() + 2 : sizeOf(from, name);
    if (name == "bios.qzw" && m_bCompress) size += size / 8 + 8192;  // literal flags and header records
    sizes.push_back(size);
  }
  return sizes;
}

void CTavrinDlg::FormatFloppy() {
  if (std::unique_ptr<CrisisMedium> floppy = m_media.Create("A:", false)) floppy->Format();
  m_view.RedrawNow();
}

}  // namespace crisis
