#include "core/command_line.h"

#include <cctype>

namespace brim {

namespace {

enum class State {
  Skip,       // outside an option: wait for '/'
  Slash,      // right after '/' (or a space after a complete option)
  Partial,    // inside an option, `spelled` letters of `word` matched
  Complete,   // an option's last letter was read; repeating it repeats it
  ForceTail,  // after /FORCE: letters ignored until a space
  FileName,   // after /F:
};

struct Option {
  const char* word;
  bool setsCommandLineOptions;
};

// Options by the letters that follow '/'. "F" starts both /FORCE and /F:.
const Option kOptions[] = {
    {"CD", true},    {"FORCE", false}, {"KALL", true}, {"KBBK", true},  {"KBUC", true},
    {"KDMI", true},  {"KPSW", true},   {"LDCMOS", true}, {"REB", true}, {"SILENT", true},
    {"WB", true},
};

void Apply(const std::string& word, FlashSettings& s) {
  if (word == "CD") {
    s.clearDmi = 1;
    s.keepDmiData = 0;
  } else if (word == "FORCE") {
    s.forceNoVerify = 1;
  } else if (word == "KALL") {
    s.keepAll = 1;
  } else if (word == "KBBK") {
    s.keepBootBlock = 1;
  } else if (word == "KBUC") {
    s.keepBuCodeData = 1;
  } else if (word == "KDMI") {
    s.keepDmiData = 1;
  } else if (word == "KPSW") {
    s.keepPassword = 1;
  } else if (word == "LDCMOS") {
    s.loadDefaultCmos = 1;
  } else if (word == "REB") {
    s.rebootAfterFlash = 1;
  } else if (word == "SILENT") {
    s.silentMode = 1;
  } else if (word == "WB") {
    s.writeBootBlock = 1;
    s.keepBootBlock = 0;
  }
}

bool SetsCommandLineOptions(const std::string& word) {
  for (const Option& o : kOptions)
    if (word == o.word) return o.setsCommandLineOptions;
  return false;
}

// True when some option starts with prefix.
bool IsPrefix(const std::string& prefix) {
  for (const Option& o : kOptions)
    if (std::string(o.word).compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

bool IsWord(const std::string& w) {
  for (const Option& o : kOptions)
    if (w == o.word) return true;
  return false;
}

void AppendNameChar(char c, FlashSettings& s) {
  // A cut name could name another file: remember it, so start-up refuses it.
  if (s.commandLineFileName.size() < kMaxPathChars)
    s.commandLineFileName += c;
  else
    s.fileNameTooLong = 1;
  if (c == '\\') s.fileNameRelative = 0;
  s.autoFlashPending = 1;
  s.fileFromCommandLine = 1;
  s.commandLineOptions = 1;
}

}  // namespace

void ParseCommandLine(std::string& text, FlashSettings& s) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  State state = State::Skip;
  std::string spelled;  // letters of the option read so far
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];

    if (state == State::FileName) {
      if (c == '/') {
        state = State::Slash;
      } else if (c == ' ' && i + 1 < text.size() && text[i + 1] == '/') {
        state = State::Skip;  // the '/' that follows begins the next option
      } else {
        AppendNameChar(c, s);
      }
      continue;
    }

    // A '/' always begins a new option, also straight after another one.
    if (c == '/') {
      state = State::Slash;
      continue;
    }

    switch (state) {
      case State::Skip:
        break;

      case State::Slash:
        if (c == '?') {
          s.showHelp = 1;
        } else if (c == 'C' || c == 'F' || c == 'K' || c == 'L' || c == 'R' || c == 'S' ||
                   c == 'W') {
          spelled.assign(1, c);
          state = State::Partial;
        }
        break;

      case State::Partial:
        if (spelled == "F" && c == ':') {
          state = State::FileName;
          break;
        }
        if (!IsPrefix(spelled + c)) {
          state = State::Skip;
          break;
        }
        spelled += c;
        if (IsWord(spelled)) {
          Apply(spelled, s);
          if (SetsCommandLineOptions(spelled)) s.commandLineOptions = 1;
          if (spelled == "SILENT") {
            state = State::Skip;  // an option after /SILENT needs its own '/'
          } else if (spelled == "FORCE") {
            state = State::ForceTail;
          } else {
            state = State::Complete;
          }
        }
        break;

      case State::Complete:
        if (c == spelled.back()) {
          Apply(spelled, s);
          if (SetsCommandLineOptions(spelled)) s.commandLineOptions = 1;
        } else if (c == ' ') {
          state = State::Slash;
        } else {
          state = State::Skip;
        }
        break;

      case State::ForceTail:
        if (c == ' ') state = State::Slash;
        break;

      case State::FileName:
        break;
    }
  }
}

std::string JoinArguments(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    if (arg == kDryRunOption) continue;  // a Linux option, not one of the line's
    if (arg.size() >= 3 && arg[0] == '/' && (arg[1] == 'f' || arg[1] == 'F') && arg[2] == ':') {
      for (size_t k = 3; k < arg.size(); ++k)
        if (arg[k] == '/') arg[k] = '\\';
    }
    if (!text.empty()) text += ' ';
    text += arg;
  }
  return text;
}

}  // namespace brim
