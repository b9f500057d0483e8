#include "platform/message_box.h"

#include <unistd.h>

#include <cctype>
#include <cstring>
#include <mutex>

namespace plat {

namespace {
std::mutex g_backendLock;
MessageBoxBackend* g_backend = nullptr;

TerminalMessageBox& DefaultBackend() {
  static TerminalMessageBox terminal;
  return terminal;
}

const char* IconWord(unsigned flags) {
  switch (flags & MB_ICONMASK) {
    case MB_ICONERROR: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "warning";
    case MB_ICONINFORMATION: return "information";
    default: return nullptr;
  }
}
}  // namespace

int DefaultAnswer(unsigned flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    default: return IDOK;
  }
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  MessageBoxBackend* backend;
  {
    std::lock_guard<std::mutex> lock(g_backendLock);
    backend = g_backend;
  }
  if (!backend) backend = &DefaultBackend();
  return backend->Show(text, caption, flags);
}

MessageBoxBackend* SetMessageBoxBackend(MessageBoxBackend* backend) {
  std::lock_guard<std::mutex> lock(g_backendLock);
  MessageBoxBackend* previous = g_backend;
  g_backend = backend;
  return previous;
}

MessageBoxBackend* CurrentMessageBoxBackend() {
  std::lock_guard<std::mutex> lock(g_backendLock);
  return g_backend;
}

TerminalMessageBox::TerminalMessageBox() : out_(stderr), in_(nullptr), interactive_(false) {
  // Answers come from the terminal only; a pipe or no input means nobody can answer.
  if (isatty(STDIN_FILENO)) {
    in_ = stdin;
    interactive_ = true;
  }
}

TerminalMessageBox::TerminalMessageBox(std::FILE* out, std::FILE* in)
    : out_(out), in_(in), interactive_(in != nullptr) {}

int TerminalMessageBox::Show(const std::string& text, const std::string& caption, unsigned flags) {
  const char* icon = IconWord(flags);
  std::fprintf(out_, "[%s]%s%s\n%s\n", caption.c_str(), icon ? " " : "", icon ? icon : "",
               text.c_str());
  unsigned type = flags & MB_TYPEMASK;
  if (type != MB_OKCANCEL && type != MB_YESNO) {
    std::fflush(out_);
    return IDOK;
  }
  if (!interactive_) {
    std::fprintf(out_, "(no answer possible: %s)\n", type == MB_YESNO ? "No" : "Cancel");
    std::fflush(out_);
    return DefaultAnswer(flags);
  }
  for (;;) {
    std::fprintf(out_, type == MB_YESNO ? "[y]es / [n]o? " : "[o]k / [c]ancel? ");
    std::fflush(out_);
    char line[64];
    if (!std::fgets(line, sizeof line, in_)) return DefaultAnswer(flags);
    int c = std::tolower(static_cast<unsigned char>(line[0]));
    if (type == MB_YESNO) {
      if (c == 'y') return IDYES;
      if (c == 'n') return IDNO;
    } else {
      if (c == 'o') return IDOK;
      if (c == 'c') return IDCANCEL;
    }
  }
}

}  // namespace plat
