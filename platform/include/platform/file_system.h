// Files addressed with Windows path semantics: '\' and '/' separate folders,
// and a name that does not exist as written is looked up without regard to
// case in its folder (taken when exactly one entry matches).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace plat {

// Native path for a Windows-style path; each component that does not exist
// as written is resolved case-insensitively. Components that cannot be
// resolved are kept as written (so the path can be created).
std::string ResolvePath(const std::string& path);

struct ResolvedPath {
  std::string path;  // as ResolvePath gives it
  // When a missing component matched several entries without regard to
  // case (and none exactly): those entries' paths, sorted. Nothing is then
  // resolved, and the path should be refused naming them.
  std::vector<std::string> ambiguous;
};
ResolvedPath ResolvePathChecked(const std::string& path);

// The path with '\' turned into '/': a name as the user wrote it, in the
// form messages show it.
std::string WithSlashes(std::string path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Size in bytes, or -1 when the file cannot be opened.
int64_t FileSize(const std::string& path);

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);
bool WriteWholeFile(const std::string& path, const void* data, size_t size);
bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);
bool DeleteFile(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);

// Opens a file with stdio modes after resolving the path.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Upper-cased copy (ASCII only, as the Windows ANSI calls do for these names).
std::string ToUpper(std::string s);
bool EqualsNoCase(const std::string& a, const std::string& b);

// Folder part of a path up to and including its last separator ('\' or '/'),
// or "" when it has none.
std::string DirectoryOf(const std::string& path);
// Name after the last separator.
std::string BaseName(const std::string& path);

}  // namespace plat
