// The conventions every tool keeps: --help/-h on stdout with status 0,
// --version, and an unknown option or a missing value reported on stderr
// with a hint and status 2, before anything is created.
#pragma once
#include <getopt.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "bios_tools_version.h"

namespace toolcli {

constexpr int kUsageStatus = 2;

inline int PrintVersion(const char* tool) {
  std::printf("%s (bios-tools) %s\n", tool, BIOS_TOOLS_VERSION);
  return 0;
}

inline int PrintHelp(const char* usage) {
  std::fputs(usage, stdout);
  return 0;
}

inline int UsageError(const char* tool, const std::string& what) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", tool, what.c_str(), tool);
  return kUsageStatus;
}

// For getopt_long's ':' (value missing) and '?' (unknown option) answers;
// the option string must begin with ':' and opterr be 0.
inline int OptionError(const char* tool, int answer, int argc, char** argv) {
  const std::string arg = optind > 0 && optind <= argc ? argv[optind - 1] : "";
  if (answer == ':') return UsageError(tool, "option '" + arg + "' needs a value");
  if (optopt > 0 && optopt < 128 && std::isprint(optopt))
    return UsageError(tool, std::string("unknown option '-") + static_cast<char>(optopt) + "'");
  return UsageError(tool, "unknown option '" + arg + "'");
}

}  // namespace toolcli
