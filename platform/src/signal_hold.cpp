#include "platform/signal_hold.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

namespace plat {

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile sig_atomic_t g_first = 0;
volatile sig_atomic_t g_count = 0;
const char* g_secondLine = nullptr;
size_t g_secondLength = 0;

std::mutex g_lock;
bool g_active = false;
struct sigaction g_previous[sizeof kSignals / sizeof kSignals[0]];

// Only async-signal-safe work here.
void Note(int signal) {
  if (!g_first) g_first = signal;
  if (++g_count == 2 && g_secondLine) {
    ssize_t ignored = ::write(STDERR_FILENO, g_secondLine, g_secondLength);
    (void)ignored;
  }
}
}  // namespace

void SignalHold::Begin(const char* secondLine) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_active) return;
  g_first = 0;
  g_count = 0;
  g_secondLine = secondLine;
  g_secondLength = secondLine ? std::strlen(secondLine) : 0;
  struct sigaction hold;
  std::memset(&hold, 0, sizeof hold);
  hold.sa_handler = Note;
  sigfillset(&hold.sa_mask);
  hold.sa_flags = SA_RESTART;
  for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    ::sigaction(kSignals[i], &hold, &g_previous[i]);
  g_active = true;
}

int SignalHold::End() {
  std::lock_guard<std::mutex> guard(g_lock);
  if (!g_active) return 0;
  for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    ::sigaction(kSignals[i], &g_previous[i], nullptr);
  g_active = false;
  return g_first;
}

bool SignalHold::Active() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_active;
}

std::string SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
  }
  return "signal " + std::to_string(signal);
}

}  // namespace plat
