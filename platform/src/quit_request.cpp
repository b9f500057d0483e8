#include "platform/quit_request.h"

#include <atomic>

namespace plat {

namespace {
std::atomic<bool> g_requested{false};
std::atomic<int> g_code{0};
}  // namespace

void PostQuitMessage(int exitCode) {
  g_code.store(exitCode);
  g_requested.store(true);
}

bool QuitRequested(int* exitCode) {
  bool r = g_requested.load();
  if (r && exitCode) *exitCode = g_code.load();
  return r;
}

void ClearQuitRequest() {
  g_requested.store(false);
  g_code.store(0);
}

}  // namespace plat
