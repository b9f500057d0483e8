// Byte sources and sinks the compressor works on: files for the build,
// memory for tools and tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace crisis {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Positions the next read; false when the position cannot be reached.
  virtual bool Seek(uint64_t pos) = 0;
  // Reads up to n bytes; returns how many were read (0 at the end, and
  // after a failure).
  virtual size_t Read(uint8_t* buf, size_t n) = 0;
  // The errno of the first failed read or seek, 0 when none failed. The
  // coder stops at a failed read as at the end; its caller asks here.
  virtual int Error() const { return 0; }
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const uint8_t* buf, size_t n) = 0;
  // The errno of the first failed write, 0 when none failed.
  virtual int Error() const { return 0; }
};

class FileSource : public ByteSource {
 public:
  explicit FileSource(std::FILE* f) : f_(f) {}
  bool Seek(uint64_t pos) override;
  size_t Read(uint8_t* buf, size_t n) override;
  int Error() const override { return error_; }

 private:
  std::FILE* f_;
  int error_ = 0;
};

class FileSink : public ByteSink {
 public:
  explicit FileSink(std::FILE* f) : f_(f) {}
  void Write(const uint8_t* buf, size_t n) override;
  int Error() const override { return error_; }

 private:
  std::FILE* f_;
  int error_ = 0;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& v) : MemorySource(v.data(), v.size()) {}
  bool Seek(uint64_t pos) override;
  size_t Read(uint8_t* buf, size_t n) override;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

class MemorySink : public ByteSink {
 public:
  explicit MemorySink(std::vector<uint8_t>& out) : out_(out) {}
  void Write(const uint8_t* buf, size_t n) override { out_.insert(out_.end(), buf, buf + n); }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace crisis
