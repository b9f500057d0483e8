// Starts a windowed program on the test display, waits until its window is
// on the screen, then ends it; gives what it wrote on standard error and
// which top-level windows were showing.
#pragma once
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace plat {

struct WindowStart {
  bool appeared = false;      // the window was seen mapped
  bool exitedEarly = false;   // the program ended before we ended it
  std::vector<std::string> shownWindows;  // names of the mapped windows then
  std::string errors;         // standard error
};

namespace window_start_detail {

inline void MappedNames(Display* d, Window w, std::vector<std::string>& names) {
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes a;
    char* name = nullptr;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
        XFetchName(d, children[i], &name) && name) {
      names.emplace_back(name);
    }
    if (name) XFree(name);
    MappedNames(d, children[i], names);
  }
  if (children) XFree(children);
}

}  // namespace window_start_detail

// argv[0] is the program's path; the child runs in cwd with this process's
// environment. Gives up waiting after `patience` (the result then says the
// window never appeared).
inline WindowStart StartUntilWindow(const std::vector<std::string>& argv, const std::string& cwd,
                                    const std::string& title, const std::string& errorFile,
                                    std::chrono::seconds patience = std::chrono::seconds(120)) {
  WindowStart result;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = ::open("/dev/null", O_RDWR);
    if (err < 0 || null < 0) ::_exit(126);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(err, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (pid < 0) return result;
  Display* d = XOpenDisplay(nullptr);
  const auto giveUp = std::chrono::steady_clock::now() + patience;
  int settled = -1;  // rounds left after the window appeared
  while (d && std::chrono::steady_clock::now() < giveUp && settled != 0) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      result.exitedEarly = true;
      break;
    }
    std::vector<std::string> names;
    window_start_detail::MappedNames(d, DefaultRootWindow(d), names);
    for (const std::string& n : names)
      if (n == title && settled < 0) {
        result.appeared = true;
        settled = 10;  // let the first layouts and paints run
      }
    if (result.appeared) result.shownWindows = names;
    if (settled > 0) --settled;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (d) XCloseDisplay(d);
  if (!result.exitedEarly) {
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  std::ifstream in(errorFile);
  std::stringstream text;
  text << in.rdbuf();
  result.errors = text.str();
  return result;
}

// GTK's and GLib's complaints as they print them.
inline bool HasToolkitWarnings(const std::string& errors) {
  return errors.find("-CRITICAL **") != std::string::npos || errors.find("-WARNING **") != std::string::npos;
}

}  // namespace plat
