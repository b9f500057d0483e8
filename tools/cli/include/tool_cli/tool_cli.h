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

// For a tool whose only options are --help/-h and --version: -1 to go on with
// the operands from optind, else the status to exit with.
inline int ParseStandardOptions(int argc, char** argv, const char* tool, const char* usage) {
  static const option kOptions[] = {{"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1) {
    switch (c) {
      case 'h': return PrintHelp(usage);
      case 'V': return PrintVersion(tool);
      default: return OptionError(tool, c, argc, argv);
    }
  }
  return -1;
}

}  // namespace toolcli
