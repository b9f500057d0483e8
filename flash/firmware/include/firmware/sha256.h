// SHA-256 of bytes and of files, as lowercase hex, for backup records.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace brim {

class Sha256 {
 public:
  Sha256();
  void Add(const uint8_t* data, size_t length);
  std::string HexDigest();  // ends the hash

 private:
  void Block(const uint8_t* block);
  uint32_t h_[8];
  uint8_t pending_[64];
  size_t pendingLength_ = 0;
  uint64_t totalLength_ = 0;
};

std::string Sha256Hex(const uint8_t* data, size_t length);
// False with *error (file and reason) when the file cannot be read.
bool Sha256OfFile(const std::string& path, std::string* hex, uint64_t* size, std::string* error);

}  // namespace brim
