// Initialisation files with the semantics of the Windows profile functions.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

namespace plat {

// Copies the value of key in section (both matched without regard to case)
// into buf, or def when the key is missing; at most size-1 characters and a
// terminating zero. Returns the number of characters copied. A missing or
// unreadable file counts as a file without keys.
uint32_t GetPrivateProfileString(const std::string& section, const std::string& key,
                                 const std::string& def, char* buf, uint32_t size,
                                 const std::string& path);

// Convenience form: the value as the Windows call with a buffer of size would give it.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def, uint32_t size, const std::string& path);

// Writes key=value into section, creating the file, the section or the key as
// needed and replacing an existing value in place; other lines are kept as
// they are. Returns false when the file could not be written.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path);

// One read of a file for many lookups, each answered as GetProfileString
// would answer it from the file as it was read.
class IniSnapshot {
 public:
  explicit IniSnapshot(const std::string& path);
  std::string Get(const std::string& section, const std::string& key, const std::string& def,
                  uint32_t size) const;

 private:
  // Section and key names lowered; each key's first value, unquoted.
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> values_;
};

}  // namespace plat
