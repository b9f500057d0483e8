// The digests backup records carry: known answers, and the processor's SHA
// instructions giving the portable code's digest for every length and way
// of feeding the bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/sha256.h"

namespace brim {
namespace {

std::string Digest(Sha256Engine engine, const std::vector<uint8_t>& bytes, size_t step) {
  Sha256 hash(engine);
  for (size_t at = 0; at < bytes.size(); at += step)
    hash.Add(bytes.data() + at, std::min(step, bytes.size() - at));
  return hash.HexDigest();
}

TEST(Sha256, KnownAnswersFromEveryEngine) {
  const struct {
    std::string text;
    size_t repeat;
    const char* digest;
  } cases[] = {
      {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a", 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (Sha256Engine engine : {Sha256Engine::kPortable, Sha256Engine::kShaInstructions}) {
    if (!Sha256EngineAvailable(engine)) continue;
    for (const auto& c : cases) {
      std::vector<uint8_t> bytes;
      for (size_t i = 0; i < c.repeat; ++i) bytes.insert(bytes.end(), c.text.begin(), c.text.end());
      for (size_t step : {size_t{1}, size_t{63}, size_t{4096}})
        EXPECT_EQ(Digest(engine, bytes, step), c.digest) << c.text.substr(0, 8) << " x" << c.repeat;
    }
  }
}

TEST(Sha256, ShaInstructionsAgreeWithThePortableCode) {
  if (!Sha256EngineAvailable(Sha256Engine::kShaInstructions)) GTEST_SKIP() << "no SHA instructions";
  std::vector<uint8_t> bytes(4 * 64 + 9);
  uint32_t x = 12345;
  for (uint8_t& b : bytes) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  for (size_t length = 0; length <= bytes.size(); ++length) {
    const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + length);
    for (size_t step : {size_t{1}, size_t{7}, size_t{64}, size_t{200}})
      EXPECT_EQ(Digest(Sha256Engine::kShaInstructions, part, step), Digest(Sha256Engine::kPortable, part, 64))
          << length << " bytes fed " << step << " at a time";
  }
}

}  // namespace
}  // namespace brim
