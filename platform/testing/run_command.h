// Runs a shell command for a test; returns its exit status and, when asked,
// what it printed on both streams.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace plat {

inline int RunCommand(const std::string& cmd, std::string* output = nullptr) {
  std::FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = ::pclose(p);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace plat
