#include "imagegen/layouts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace imagegen {
namespace {

std::string At(const Bytes& b, size_t at, size_t n) {
  return at + n <= b.size() ? std::string(reinterpret_cast<const char*>(&b[at]), n) : std::string();
}

TEST(ImageGen, BuildsAreDeterministic) {
  EXPECT_EQ(BuildTarvex(TarvexSpec{}), BuildTarvex(TarvexSpec{}));
  EXPECT_EQ(BuildLindar(LindarSpec{}), BuildLindar(LindarSpec{}));
  EXPECT_EQ(BuildReferencePackage(), BuildReferencePackage());
}

TEST(ImageGen, ReferencePackageHasTheReferenceShape) {
  Bytes p = BuildReferencePackage();
  ASSERT_EQ(p.size(), 1055338u);
  EXPECT_EQ(At(p, 0, 14), "HOLBRIKE\r\nW!SH");
  EXPECT_EQ(At(p, 14, 34), kReferenceSettings);
  EXPECT_EQ(At(p, 48 + 0x100000, 4), "A!FR");
  // Directory "W!DA", 56, 1 with its four entries.
  const size_t dir = 48 + 0xF1000;
  EXPECT_EQ(At(p, dir, 4), "W!DA");
  EXPECT_EQ(p[dir + 4] | p[dir + 5] << 8, 56);
  EXPECT_EQ(At(p, dir + 8, 4), "A!ES");
  EXPECT_EQ(At(p, dir + 44, 4), "A!KN");
  Bytes exe = BuildExecutable(p);
  EXPECT_EQ(exe.size(), kReferenceProgramSize + p.size());
  EXPECT_EQ(At(exe, kReferenceProgramSize, 8), "HOLBRIKE");
}

TEST(ImageGen, ProgramPartNeverHoldsTheModelCodeStart) {
  Bytes exe = BuildExecutable({}, 0x200000);
  for (size_t i = 0; i + 4 <= exe.size(); ++i) ASSERT_NE(std::memcmp(&exe[i], "HOLB", 4), 0) << i;
}

TEST(ImageGen, TarvexByteSumIsZeroWhenAsked) {
  Bytes b = BuildTarvex(TarvexSpec{});
  uint8_t sum = 0;
  for (uint8_t v : b) sum = static_cast<uint8_t>(sum + v);
  EXPECT_EQ(sum, 0);
}

}  // namespace
}  // namespace imagegen
