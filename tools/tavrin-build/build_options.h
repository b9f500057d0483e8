// tavrin-build's command line: every argument is checked before anything
// is attached, created or written.
#pragma once
#include <string>

namespace tavrin_build {

struct BuildOptions {
  std::string project;
  std::string drive;
  std::string mode = "minidos";
  std::string layout = "removable";
  bool compress = false;
  bool yes = false;  // erase without asking
  bool list = false;
  bool help = false;
  bool version = false;
};

extern const char kUsage[];

// True when the arguments make a command; otherwise *error says why (usage
// errors exit 2). An option's value is never another option.
bool ParseBuildOptions(int argc, const char* const* argv, BuildOptions* options, std::string* error);

}  // namespace tavrin_build
