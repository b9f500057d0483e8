// How the terminal draws progress on a terminal device: one line drawn over.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/terminal_ui.h"

namespace brim {
namespace {

// What TerminalUi writes to a pseudo-terminal while shown `steps`.
std::string DrawnOnATerminal(const std::vector<ProgressShown>& steps) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return "no pseudo-terminal";
  const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  std::FILE* out = slave >= 0 ? ::fdopen(slave, "w") : nullptr;
  if (!out) {
    ::close(master);
    return "no pseudo-terminal";
  }
  {
    TerminalUi ui(out);
    ui.ShowProgrammingDialog(true);
    for (const ProgressShown& p : steps) ui.ShowProgress(p);
    ui.ShowProgrammingDialog(false);
  }
  std::fclose(out);
  std::string drawn;
  char buf[4096];
  pollfd in{master, POLLIN, 0};
  while (::poll(&in, 1, 200) > 0 && (in.revents & POLLIN)) {
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;
    drawn.append(buf, static_cast<size_t>(n));
  }
  ::close(master);
  return drawn;
}

TEST(TerminalProgress, OnATerminalOneBarFillsInPlaceOrMovesWithoutANumber) {
  std::vector<ProgressShown> measured;
  for (int position : {0, 8000, 16000, 20000}) {
    ProgressShown p;
    p.measured = true;
    p.position = position;
    p.stage = position > 16000 ? FlashStage::kVerifying : FlashStage::kProgramming;
    measured.push_back(p);
  }
  const std::string bar = DrawnOnATerminal(measured);
  EXPECT_NE(bar.find("\r[########################################] 100 %  0:00  verifying"), std::string::npos)
      << bar;
  EXPECT_NE(bar.find("\r[################........................]  40 %"), std::string::npos) << bar;
  EXPECT_EQ(bar.find("Progress "), std::string::npos) << "no log lines on a terminal";

  std::vector<ProgressShown> unknown(3);
  const std::string moving = DrawnOnATerminal(unknown);
  EXPECT_NE(moving.find("\r[####....................................]  0:00  programming"), std::string::npos)
      << moving;
  EXPECT_NE(moving.find("\r[.####..................................."), std::string::npos) << "it moves: " << moving;
  const std::string afterMessage = moving.substr(moving.find("POWER!"));
  EXPECT_EQ(afterMessage.find('%'), std::string::npos) << "no number when the driver cannot tell";
}

}  // namespace
}  // namespace brim
