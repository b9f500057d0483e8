// File reads and writes whose every failure is told as "NAME: reason", for
// the compressor, the build's scratch files and qzw. Inputs are bounded
// regular files; outputs appear under their name only once whole.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace crisis {

// The largest BIOS image the compressor, the decoder and the verify take.
constexpr uint64_t kMaxImageBytes = 64ull << 20;
// The largest compressed file such an image gives: the header, then at most
// nine bytes for every eight literals.
constexpr uint64_t kMaxCompressedBytes = 34 + 47 + 8 + (kMaxImageBytes + 7) / 8 * 9;

// "name: the system's reason for err".
std::string IoError(const std::string& name, int err);

// Opens a regular file for reading. Folders, devices and pipes are refused
// (a pipe is opened without waiting for a writer), and so is a file above
// maxBytes.
std::FILE* OpenInputFile(const std::string& path, uint64_t maxBytes, std::string* error);

// The whole of such a file; a file that grows past maxBytes while it is read
// is refused too.
bool ReadInputFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& out,
                   std::string* error);

// A file written under a temporary name in the target's folder and renamed
// over the target by Commit, after flush, fsync and close all succeeded. An
// existing device or pipe is written in place (there is nothing to rename).
// Dropping it uncommitted removes the temporary file.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { Abandon(); }

  bool Open(const std::string& path, std::string* error);
  std::FILE* get() const { return f_; }
  // The name the user gave, for messages.
  const std::string& Name() const { return name_; }
  bool Commit(std::string* error);
  void Abandon();

 private:
  std::FILE* f_ = nullptr;
  std::string name_, target_, temp_;
};

// data as path, through an OutputFile.
bool WriteOutputFile(const std::string& path, const void* data, size_t size, std::string* error);

}  // namespace crisis
