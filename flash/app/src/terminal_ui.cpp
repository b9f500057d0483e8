#include "app/terminal_ui.h"

#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <iostream>
#include <thread>

#include "app/bios_text.h"
#include "firmware/firmware_queries.h"
#include "image/bios_image.h"
#include "image/image_layout.h"
#include "image/info_report.h"
#include "platform/message_box.h"

namespace brim {

namespace {

// Set-1 scan codes of the US keyboard's main block.
uint8_t ScanCode(char c) {
  static const char* const kRows[] = {"1234567890", "qwertyuiop", "asdfghjkl;", "zxcvbnm"};
  static const uint8_t kRowStart[] = {0x02, 0x10, 0x1E, 0x2C};
  for (int r = 0; r < 4; ++r)
    for (int i = 0; kRows[r][i]; ++i)
      if (kRows[r][i] == c) return static_cast<uint8_t>(kRowStart[r] + i);
  return 0;
}

std::string ReadHiddenLine() {
  termios old{};
  const bool tty = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &old) == 0;
  if (tty) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (tty) ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
  return line;
}

}  // namespace

std::string PasswordCodesFromText(const std::string& text, bool quorvelLayout) {
  std::string codes;
  for (char raw : text) {
    if (codes.size() == 8) break;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != ';') continue;
    codes += quorvelLayout ? c : static_cast<char>(ScanCode(c));
  }
  return codes;
}

TerminalUi::TerminalUi(std::FILE* out) : out_(out) {}

TerminalUi::~TerminalUi() { DestroyMainWindow(); }

void TerminalUi::CreateMainWindow(StartupHost&) {
  previousList_ = SetMessageList(this);
  previousHost_ = SetLoadHost(this);
  listInstalled_ = true;
}

void TerminalUi::ShowMainWindowModal(StartupHost& host) {
  std::fprintf(out_, "Brimlet V1.05.08 (no display: working in the terminal)\n");
  ShowRomInfo();
  if (Settings().autoFlashPending) RunAutomaticFlash(Settings(), host);
}

void TerminalUi::DestroyMainWindow() {
  if (!listInstalled_) return;
  SetMessageList(previousList_);
  SetLoadHost(previousHost_);
  listInstalled_ = false;
}

bool TerminalUi::AskSetupPassword() {
  if (!::isatty(STDIN_FILENO)) {
    std::fprintf(out_, "A BIOS setup password is set, and there is no terminal to ask it on.\n");
    return false;
  }
  std::fprintf(out_, "Please input your BIOS setup password :");
  std::fflush(out_);
  const std::string line = ReadHiddenLine();
  std::fprintf(out_, "\n");
  const bool quorvel = LayoutOf(CurrentRomImage().flagWord) == ImageLayout::kQuorvel;
  const std::string codes = PasswordCodesFromText(line, quorvel);
  uint32_t code = 0;
  if (!SetChkSetupPasswd(kCheckPasswordFunction, reinterpret_cast<const uint8_t*>(codes.data()),
                         static_cast<uint32_t>(codes.size()), &code)) {
    plat::MessageBox("Password Check Error !", "Check Password", plat::MB_OK | plat::MB_TOPMOST);
    return false;
  }
  return true;
}

void TerminalUi::ShowRomInfo() {
  const BiosImage& rom = CurrentRomImage();
  const bool quorvel = LayoutOf(rom.flagWord) == ImageLayout::kQuorvel;
  const RomInfoLines lines = BuildRomInfoLines(rom, quorvel ? SmbiosBiosVersion() : std::string());
  std::fprintf(out_, "ROM BIOS Information\n");
  for (const std::string& line : lines.info) std::fprintf(out_, "%s\n", BiosTextToUtf8(line).c_str());
  if (!lines.flashRomType.empty()) std::fprintf(out_, "%s\n", BiosTextToUtf8(lines.flashRomType).c_str());
}

void TerminalUi::NewImageLoaded() {
  std::fprintf(out_, "New BIOS Information\n");
  for (const std::string& line : BuildNewImageInfoLines(NewImage()))
    std::fprintf(out_, "%s\n", BiosTextToUtf8(line).c_str());
  std::fflush(out_);
}

void TerminalUi::AppendStatusLine(const std::string& line) {
  std::fprintf(out_, "%s\n", line.c_str());
  // Boxes go to stderr: the lines must not lag behind them.
  std::fflush(out_);
}

void TerminalUi::ShowProgrammingDialog(bool shown) {
  if (shown) {
    std::fprintf(out_, "Please wait while Brimlet updates your system BIOS.\nDO NOT TURN OFF POWER!\n");
    barDrawn_ = false;
    lastTenth_ = -1;
    lastTimeLine_ = -1;
    lastStage_ = -1;
  } else if (barDrawn_) {
    std::fputc('\n', out_);
    barDrawn_ = false;
  }
  std::fflush(out_);
}

void TerminalUi::ShowProgress(const ProgressShown& p) {
  const long seconds = static_cast<long>(p.elapsed.count());
  const char* stage = p.stage == FlashStage::kProgramming ? "programming" : "verifying";
  if (::isatty(::fileno(out_))) {
    // One line drawn over: a bar that fills, or (the driver cannot tell) a
    // block that moves to and fro, and the time.
    constexpr int kWidth = 40;
    char bar[kWidth + 1];
    if (p.measured) {
      const int filled = static_cast<int>(int64_t(p.position) * kWidth / kProgressRange);
      for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    } else {
      const int cycle = 2 * (kWidth - 4);
      const int step = spinner_++ % cycle;
      const int at = step < kWidth - 4 ? step : cycle - step;
      for (int i = 0; i < kWidth; ++i) bar[i] = i >= at && i < at + 4 ? '#' : '.';
    }
    bar[kWidth] = '\0';
    if (p.measured)
      std::fprintf(out_, "\r[%s] %3d %%  %ld:%02ld  %s ", bar, p.Percent(), seconds / 60, seconds % 60, stage);
    else
      std::fprintf(out_, "\r[%s]  %ld:%02ld  %s ", bar, seconds / 60, seconds % 60, stage);
    barDrawn_ = true;
    std::fflush(out_);
    return;
  }
  // A log: a line at each tenth reached, or, with no number to give, at
  // each stage and every ten seconds.
  if (p.measured) {
    const int tenth = p.Percent() / 10;
    if (tenth <= lastTenth_) return;
    lastTenth_ = tenth;
    std::fprintf(out_, "Progress %d %% (%s, %ld:%02ld)\n", tenth * 10, stage, seconds / 60, seconds % 60);
  } else {
    const int stageNumber = static_cast<int>(p.stage);
    if (stageNumber == lastStage_ && seconds / 10 <= lastTimeLine_) return;
    lastStage_ = stageNumber;
    lastTimeLine_ = seconds / 10;
    std::fprintf(out_, "Still %s (%ld:%02ld); the driver does not say how far\n", stage, seconds / 60,
                 seconds % 60);
  }
  std::fflush(out_);
}

void TerminalUi::Pause(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

void TerminalUi::AppendAndSelect(const std::string& line) { AppendStatusLine(line); }

void TerminalUi::InsertAtTop(const std::string& line) { AppendStatusLine(line); }

}  // namespace brim
