#include "platform/ini_profile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/file_system.h"

namespace plat {

namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y && std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

// Walks the lines of text without copying them: split at '\n', one '\r'
// before it dropped. A lookup runs once per key, so a per-line copy made a
// large file cost a string allocation per line per key.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t nl = text_.find('\n', pos_);
    if (nl == std::string_view::npos) nl = text_.size();
    line = text_.substr(pos_, nl - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = nl + 1;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// "[name]" -> name; false for lines that are not section headers.
bool SectionName(std::string_view line, std::string_view& name) {
  std::string_view t = Trim(line);
  if (t.size() < 2 || t[0] != '[') return false;
  size_t close = t.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

// "key=value" -> key, value; false for lines without '='.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Every section's first value of each key, in file order; names lowered.
// Views point into text.
using IniIndex = std::unordered_map<std::string, std::unordered_map<std::string, std::string_view>>;

IniIndex BuildIndex(std::string_view text) {
  IniIndex index;
  LineReader reader(text);
  std::string_view line, name, k, v;
  std::unordered_map<std::string, std::string_view>* current = nullptr;
  while (reader.Next(line)) {
    if (SectionName(line, name)) {
      current = &index[Lower(name)];
      continue;
    }
    if (current && KeyValue(line, k, v)) current->try_emplace(Lower(k), v);
  }
  return index;
}

// The last file read and its index. Callers read many keys of one file in a
// row (a machine description asks for two dozen), and scanning the whole file
// per key made that cost keys times size. Matched by content, not by path or
// time stamp, so a file rewritten within one clock tick is never served stale.
struct ParsedIni {
  std::vector<uint8_t> bytes;
  IniIndex index;
};

std::mutex g_cacheMutex;
ParsedIni g_cache;

// Lines without their terminators; remembers whether the file used CR LF.
struct IniText {
  std::vector<std::string> lines;
  bool crlf = true;
};

bool LoadIni(const std::string& path, IniText& ini) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  ini.crlf = text.find("\r\n") != std::string_view::npos || text.find('\n') == std::string_view::npos;
  LineReader reader(text);
  std::string_view line;
  while (reader.Next(line)) ini.lines.emplace_back(line);
  return true;
}

// The Windows call's copy: at most size-1 characters, terminated.
uint32_t CopyCut(std::string_view result, char* buf, uint32_t size) {
  size_t n = std::min<size_t>(result.size(), size - 1);
  if (n > 0) std::memcpy(buf, result.data(), n);
  buf[n] = '\0';
  // A value cut short may hold a zero byte; the count stops where the text stops.
  return static_cast<uint32_t>(std::strlen(buf));
}

// A value in matching quotes loses them, as the Windows call does.
std::string_view Unquoted(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

IniSnapshot::IniSnapshot(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return;
  for (const auto& [section, keys] :
       BuildIndex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
    for (const auto& [key, value] : keys) values_[section][key] = std::string(Unquoted(value));
}

std::string IniSnapshot::Get(const std::string& section, const std::string& key, const std::string& def,
                             uint32_t size) const {
  if (size == 0) return std::string();
  std::string_view result = def;
  auto s = values_.find(Lower(section));
  if (s != values_.end()) {
    auto k = s->second.find(Lower(key));
    if (k != s->second.end()) result = k->second;
  }
  std::vector<char> buf(size);
  CopyCut(result, buf.data(), size);
  return std::string(buf.data());
}

uint32_t GetPrivateProfileString(const std::string& section, const std::string& key,
                                 const std::string& def, char* buf, uint32_t size,
                                 const std::string& path) {
  if (!buf || size == 0) return 0;
  std::string_view result = def;
  std::vector<uint8_t> bytes;
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  if (ReadWholeFile(path, bytes)) {
    if (bytes != g_cache.bytes) {
      g_cache.index.clear();
      g_cache.bytes.swap(bytes);
      g_cache.index = BuildIndex(
          std::string_view(reinterpret_cast<const char*>(g_cache.bytes.data()), g_cache.bytes.size()));
    }
    auto s = g_cache.index.find(Lower(section));
    if (s != g_cache.index.end()) {
      auto k = s->second.find(Lower(key));
      if (k != s->second.end()) {
        result = Unquoted(k->second);
      }
    }
  }
  return CopyCut(result, buf, size);
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
    std::string_view name, k, v;
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
