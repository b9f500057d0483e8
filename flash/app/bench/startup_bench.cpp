// On-demand benchmark: start-up time of whole programs, the minimum of N runs
// each (output to /dev/null), side by side, with each one's ratio to the first.
// Usage: brimlet_startup_bench RUNS 'LABEL=PROGRAM ARG...' ...
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Program {
  std::string label;
  std::vector<std::string> argv;
};

bool Parse(const char* text, Program& p) {
  const char* eq = std::strchr(text, '=');
  if (!eq || eq == text) return false;
  p.label.assign(text, eq);
  std::istringstream words(eq + 1);
  for (std::string w; words >> w;) p.argv.push_back(w);
  return !p.argv.empty();
}

// Wall time of one run in milliseconds; negative when it could not start or failed.
double RunOnce(const Program& p) {
  std::vector<char*> argv;
  for (const std::string& a : p.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  int err = posix_spawn_file_actions_init(&actions);
  if (err == 0) err = posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  if (err == 0) err = posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  if (err != 0) {
    std::fprintf(stderr, "%s: cannot send its output to /dev/null: %s\n", argv[0], std::strerror(err));
    return -1;
  }
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    std::fprintf(stderr, "%s: cannot start: %s\n", argv[0], std::strerror(err));
    return -1;
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) {
    std::fprintf(stderr, "%s: cannot wait for it: %s\n", argv[0], std::strerror(errno));
    return -1;
  }
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s: exit status %d\n", argv[0], WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return -1;
  }
  return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s RUNS 'LABEL=PROGRAM ARG...' ...\n", argv[0]);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  std::vector<Program> programs;
  for (int i = 2; i < argc; ++i) {
    Program p;
    if (!Parse(argv[i], p)) {
      std::fprintf(stderr, "not LABEL=PROGRAM ARG...: %s\n", argv[i]);
      return 2;
    }
    programs.push_back(p);
  }
  // Interleaved, so that a busy moment on the machine hits every program alike.
  std::vector<double> best(programs.size(), 1e300);
  for (int r = 0; r < runs; ++r)
    for (size_t i = 0; i < programs.size(); ++i) {
      const double ms = RunOnce(programs[i]);
      if (ms < 0) return 1;
      best[i] = std::min(best[i], ms);
    }
  std::printf("%-28s %10s %8s   (min of %d runs)\n", "program", "ms", "ratio", runs);
  for (size_t i = 0; i < programs.size(); ++i)
    std::printf("%-28s %10.2f %7.1fx\n", programs[i].label.c_str(), best[i], best[i] / best[0]);
  return 0;
}
