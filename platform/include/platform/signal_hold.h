// Termination signals (INT, TERM, HUP, QUIT) held while work that must not
// be cut in half runs: they are noted, not obeyed, until the hold ends.
#pragma once
#include <string>

namespace plat {

class SignalHold {
 public:
  // Starts the hold (again a no-op while it lasts). `secondLine` is written
  // to standard error when a second signal arrives during it.
  static void Begin(const char* secondLine);
  // Ends the hold and puts the previous handlers back; the first signal that
  // arrived during it (0: none).
  static int End();
  static bool Active();
};

// "SIGTERM" for SIGTERM; "signal N" for one without a name here.
std::string SignalName(int signal);

}  // namespace plat
