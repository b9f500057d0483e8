#include "platform/ini_profile.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/file_system.h"

namespace plat {

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

// Lines without their terminators; remembers whether the file used CR LF.
struct IniText {
  std::vector<std::string> lines;
  bool crlf = true;
};

bool LoadIni(const std::string& path, IniText& ini) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  std::string text(bytes.begin(), bytes.end());
  ini.crlf = text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ini.lines.push_back(line);
    start = nl + 1;
  }
  return true;
}

// "[name]" -> name; false for lines that are not section headers.
bool SectionName(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t[0] != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

// "key=value" -> key, value; false for lines without '='.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

// The value of key in section, def when there is none.
std::string Lookup(const std::vector<std::string>& lines, const std::string& section,
                   const std::string& key, const std::string& def) {
  bool inSection = false;
  for (const std::string& line : lines) {
    std::string name, k, v;
    if (SectionName(line, name)) {
      inSection = EqualsNoCase(name, section);
      continue;
    }
    if (inSection && KeyValue(line, k, v) && EqualsNoCase(k, key)) {
      // A value in matching quotes loses them, as the Windows call does.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return v;
    }
  }
  return def;
}

// The Windows call's copy: at most size-1 characters, terminated.
uint32_t CopyCut(const std::string& result, char* buf, uint32_t size) {
  size_t n = std::min<size_t>(result.size(), size - 1);
  std::memcpy(buf, result.data(), n);
  buf[n] = '\0';
  // A value cut short may hold a zero byte; the count stops where the text stops.
  return static_cast<uint32_t>(std::strlen(buf));
}

}  // namespace

IniSnapshot::IniSnapshot(const std::string& path) {
  IniText ini;
  if (LoadIni(path, ini)) lines_ = std::move(ini.lines);
}

std::string IniSnapshot::Get(const std::string& section, const std::string& key,
                             const std::string& def, uint32_t size) const {
  if (size == 0) return std::string();
  std::vector<char> buf(size);
  CopyCut(Lookup(lines_, section, key, def), buf.data(), size);
  return std::string(buf.data());
}

uint32_t GetPrivateProfileString(const std::string& section, const std::string& key,
                                 const std::string& def, char* buf, uint32_t size,
                                 const std::string& path) {
  if (!buf || size == 0) return 0;
  IniText ini;
  return CopyCut(LoadIni(path, ini) ? Lookup(ini.lines, section, key, def) : def, buf, size);
}

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def, uint32_t size, const std::string& path) {
  if (size == 0) return std::string();
  std::vector<char> buf(size);
  GetPrivateProfileString(section, key, def, buf.data(), size, path);
  return std::string(buf.data());
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path) {
  IniText ini;
  LoadIni(path, ini);
  const std::string entry = key + "=" + value;

  bool inSection = false;
  bool replaced = false;
  long sectionStart = -1;   // index of the matching header
  long lastInSection = -1;  // last non-empty line of the matching section
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    std::string name, k, v;
    if (SectionName(ini.lines[i], name)) {
      if (inSection) break;  // the matching section ended
      inSection = EqualsNoCase(name, section);
      if (inSection) {
        sectionStart = static_cast<long>(i);
        lastInSection = static_cast<long>(i);
      }
      continue;
    }
    if (!inSection) continue;
    if (KeyValue(ini.lines[i], k, v) && EqualsNoCase(k, key)) {
      ini.lines[i] = entry;  // replaced in place
      replaced = true;
      break;
    }
    if (!Trim(ini.lines[i]).empty()) lastInSection = static_cast<long>(i);
  }
  if (!replaced && sectionStart < 0) {
    if (!ini.lines.empty() && !Trim(ini.lines.back()).empty()) ini.lines.push_back("");
    ini.lines.push_back("[" + section + "]");
    ini.lines.push_back(entry);
  } else if (!replaced) {
    ini.lines.insert(ini.lines.begin() + lastInSection + 1, entry);
  }

  std::string text;
  const char* eol = ini.crlf ? "\r\n" : "\n";
  for (const std::string& line : ini.lines) {
    text += line;
    text += eol;
  }
  // Written whole under a temporary name: a kill never leaves half a file.
  return WriteFileAtomically(ResolvePath(path), text.data(), text.size());
}

}  // namespace plat
