// Message boxes with Win32-like flags and answers, behind a replaceable back end.
#pragma once
#include <cstdio>
#include <string>

namespace plat {

enum MessageBoxFlags : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_TOPMOST = 0x40000,
};
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONMASK = 0xF0;

enum MessageBoxAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class MessageBoxBackend {
 public:
  virtual ~MessageBoxBackend() = default;
  virtual int Show(const std::string& text, const std::string& caption, unsigned flags) = 0;
};

// Shows a box through the current back end and returns the answer.
int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

// Replaces the back end; nullptr restores the default (the terminal one).
// The caller keeps ownership. Returns the previous back end.
MessageBoxBackend* SetMessageBoxBackend(MessageBoxBackend* backend);
MessageBoxBackend* CurrentMessageBoxBackend();

// Prints the box to an output stream and reads the answer from an input
// stream (standard error and the terminal by default). With no input (EOF or
// not a terminal) it answers the way a closed box would: IDOK for MB_OK,
// IDCANCEL for MB_OKCANCEL, IDNO for MB_YESNO.
class TerminalMessageBox : public MessageBoxBackend {
 public:
  TerminalMessageBox();  // stderr and /dev/tty
  TerminalMessageBox(std::FILE* out, std::FILE* in);
  int Show(const std::string& text, const std::string& caption, unsigned flags) override;

 private:
  std::FILE* out_;
  std::FILE* in_;
  bool interactive_;
};

// The answer a closed box gives for the flags' button set.
int DefaultAnswer(unsigned flags);

}  // namespace plat
