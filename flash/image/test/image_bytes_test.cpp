#include "image/image_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace brim {
namespace {

ImageBytes Counting(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 1);
  ImageBytes b;
  b.assign(v.begin(), v.end());
  return b;
}

TEST(ImageBytes, ResizeKeepsTheBytesBothSizesShare) {
  constexpr size_t kMiB = size_t(1) << 20;  // from 4 MiB on a buffer is a mapping of its own
  const struct { size_t from, to; } cases[] = {{0, 0},       {0, 16},       {16, 0},           {16, 16},
                                               {16, 5},      {5, 70000},    {5, 5 * kMiB + 3}, {5 * kMiB + 3, 16},
                                               {5 * kMiB, 6 * kMiB}, {6 * kMiB, 4 * kMiB}, {4 * kMiB, 0}};
  for (const auto& c : cases) {
    ImageBytes b = Counting(c.from);
    const ImageBytes before = b;
    b.resize(c.to);
    ASSERT_EQ(b.size(), c.to) << c.from << " -> " << c.to;
    EXPECT_EQ(b.empty(), c.to == 0);
    EXPECT_EQ(b.end() - b.begin(), static_cast<std::ptrdiff_t>(c.to));
    for (size_t i = 0; i < std::min(c.from, c.to); ++i) ASSERT_EQ(b[i], before[i]) << c.from << " -> " << c.to << " at " << i;
  }
}

TEST(ImageBytes, CopiesAreEqualAndApartMovesLeaveTheSourceEmpty) {
  ImageBytes a = Counting(300);
  ImageBytes copy = a;
  EXPECT_EQ(copy, a);
  EXPECT_NE(copy.data(), a.data());
  copy[299] ^= 1;
  EXPECT_NE(copy, a);
  copy = a;  // assignment over bytes of the same size
  EXPECT_EQ(copy, a);

  const uint8_t* held = a.data();
  ImageBytes moved = std::move(a);
  EXPECT_EQ(moved.data(), held);
  EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): a moved-from buffer is empty
  EXPECT_EQ(a.data(), nullptr);
  a = std::move(moved);
  EXPECT_EQ(a.data(), held);
  EXPECT_EQ(a, Counting(300));
  EXPECT_NE(a, Counting(299));
}

}  // namespace
}  // namespace brim
