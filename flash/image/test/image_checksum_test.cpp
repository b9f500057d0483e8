#include "image/image_checksum.h"

#include <vector>

#include <gtest/gtest.h>

namespace brim {
namespace {

// Lengths on both sides of the 64-byte steps, all-0xFF bytes for the largest
// lane sums, and a start off the word alignment.
TEST(ByteSum16, EqualsTheWrappingSumOfEveryByte) {
  struct Case {
    size_t size;
    size_t start;
    bool allOnes;
  } cases[] = {{0, 0, false},   {1, 0, true},    {63, 0, true},     {64, 0, true},  {65, 1, true},
               {127, 3, false}, {128, 0, true},  {4096, 5, true},   {70001, 7, false}, {0x20000, 0, true}};
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(c.start + c.size);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = c.allOnes ? 0xFF : static_cast<uint8_t>(i * 131 + 7);
    uint32_t want = 0;
    for (size_t i = c.start; i < bytes.size(); ++i) want += bytes[i];
    EXPECT_EQ(ByteSum16(bytes.data() + c.start, c.size), static_cast<uint16_t>(want)) << c.size;
  }
}

}  // namespace
}  // namespace brim
