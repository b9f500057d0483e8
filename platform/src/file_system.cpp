#include "platform/file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <algorithm>
#include <cstdio>

namespace plat {

std::string ToUpper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

namespace {

bool Exists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

// The entries of dir whose names equal name without regard to case, sorted.
std::vector<std::string> FindNoCase(const std::string& dir, const std::string& name) {
  std::vector<std::string> found;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return found;
  while (struct dirent* e = ::readdir(d))
    if (EqualsNoCase(e->d_name, name)) found.push_back(e->d_name);
  ::closedir(d);
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

std::string ResolvePath(const std::string& path) { return ResolvePathChecked(path).path; }

std::string WithSlashes(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

ResolvedPath ResolvePathChecked(const std::string& path) {
  ResolvedPath result;
  const std::string p = WithSlashes(path);
  result.path = p;
  if (p.empty() || Exists(p)) return result;

  std::string out;
  size_t pos = 0;
  if (p[0] == '/') {
    out = "/";
    pos = 1;
  }
  bool resolving = true;  // once a component is missing, the rest cannot exist either
  while (pos <= p.size()) {
    size_t slash = p.find('/', pos);
    if (slash == std::string::npos) slash = p.size();
    std::string part = p.substr(pos, slash - pos);
    if (!part.empty()) {
      std::string candidate = out + part;
      if (resolving && !Exists(candidate)) {
        const std::vector<std::string> found =
            part != "." && part != ".." ? FindNoCase(out, part) : std::vector<std::string>();
        if (found.size() == 1) {
          candidate = out + found[0];
        } else {
          // Two names that differ only in case: which one was meant cannot be told.
          if (found.size() > 1)
            for (const std::string& f : found) result.ambiguous.push_back(out + f);
          resolving = false;
        }
      }
      out = candidate;
      if (slash < p.size()) out += '/';
    } else if (slash < p.size() && !out.empty() && out.back() != '/') {
      out += '/';
    }
    pos = slash + 1;
  }
  result.path = out;
  return result;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(ResolvePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(ResolvePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (::stat(ResolvePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return std::fopen(ResolvePath(path).c_str(), mode);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  std::FILE* f = OpenFile(path, "rb");
  if (!f) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
  std::FILE* f = OpenFile(path, "wb");
  if (!f) return false;
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (failIfExists && FileExists(to)) return false;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(from, bytes)) return false;
  return WriteWholeFile(to, bytes.data(), bytes.size());
}

bool DeleteFile(const std::string& path) { return ::unlink(ResolvePath(path).c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  return std::rename(ResolvePath(from).c_str(), ResolvePath(to).c_str()) == 0;
}

std::string DirectoryOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace plat
