// SHA-256 of bytes and of files, as lowercase hex, for backup records.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace brim {

// How the blocks are hashed: the processor's SHA instructions are some ten
// times faster; the portable code serves where they are missing.
enum class Sha256Engine { kBest, kPortable, kShaInstructions };

// True when the engine can run on this processor.
bool Sha256EngineAvailable(Sha256Engine engine);

class Sha256 {
 public:
  // An engine that is not available falls back to the portable one.
  explicit Sha256(Sha256Engine engine = Sha256Engine::kBest);
  void Add(const uint8_t* data, size_t length);
  std::string HexDigest();  // ends the hash

 private:
  void Blocks(const uint8_t* blocks, size_t count);
  bool shaInstructions_;
  uint32_t h_[8];
  uint8_t pending_[64];
  size_t pendingLength_ = 0;
  uint64_t totalLength_ = 0;
};

std::string Sha256Hex(const uint8_t* data, size_t length);
// False with *error (file and reason) when the file cannot be read.
bool Sha256OfFile(const std::string& path, std::string* hex, uint64_t* size, std::string* error);

}  // namespace brim
