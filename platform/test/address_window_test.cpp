// The 32-bit window through which a driver reaches a program's buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/address_window.h"

namespace plat {
namespace {

TEST(AddressWindow, SpansMustLieWhollyInsideOneBuffer) {
  AddressWindow& w = AddressWindow::Instance();
  uint8_t a[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  MappedBuffer map(static_cast<void*>(a), sizeof a);
  ASSERT_TRUE(map.ok());
  uint8_t got[10] = {};
  EXPECT_TRUE(w.Read(map.address() + 6, got, 4));
  EXPECT_EQ(got[3], 9);
  EXPECT_FALSE(w.Read(map.address() + 7, got, 4));  // runs one byte past the end
  EXPECT_FALSE(w.Read(map.address() - 1, got, 1));
  EXPECT_FALSE(w.Read(0, got, 1));
  EXPECT_FALSE(w.Read(map.address() + 4, got, 0xFFFFFFFF));  // no wrap-around
  const uint8_t b[4] = {0xAA, 0xBB, 0xCC, 0xDD};
  EXPECT_TRUE(w.Write(map.address(), b, 4));
  EXPECT_EQ(a[1], 0xBB);
  EXPECT_TRUE(w.Check(map.address(), 10, true));
  EXPECT_FALSE(w.Check(map.address(), 11, false));
}

TEST(AddressWindow, ReadOnlyBuffersRefuseWritesAndUnmappedAddressesAreGone) {
  AddressWindow& w = AddressWindow::Instance();
  const uint32_t value = 0x12345678;
  uint32_t address;
  {
    MappedBuffer map(static_cast<const void*>(&value), 4);
    address = map.address();
    uint32_t other = 0;
    EXPECT_FALSE(w.Write(address, &other, 4));
    EXPECT_FALSE(w.Check(address, 4, true));
    EXPECT_TRUE(w.Read(address, &other, 4));
    EXPECT_EQ(other, value);
  }
  uint32_t got = 0;
  EXPECT_FALSE(w.Read(address, &got, 4));
  EXPECT_EQ(w.MappedCount(), 0u);
}

TEST(AddressWindow, AddressesAreDeterministicWithAGuardPageBetweenBuffers) {
  uint8_t small[1], page[0x1000];
  MappedBuffer first(static_cast<void*>(small), 1);
  MappedBuffer second(static_cast<void*>(page), sizeof page);
  MappedBuffer third(static_cast<void*>(small), 1);
  EXPECT_EQ(first.address(), AddressWindow::kBase);
  EXPECT_EQ(second.address(), AddressWindow::kBase + 0x2000);
  EXPECT_EQ(third.address(), AddressWindow::kBase + 0x4000);
  {
    MappedBuffer again(static_cast<void*>(small), 1);
    EXPECT_EQ(again.address(), AddressWindow::kBase + 0x6000);
  }
  MappedBuffer reuse(static_cast<void*>(small), 1);
  EXPECT_EQ(reuse.address(), AddressWindow::kBase + 0x6000);  // the lowest free gap
}

}  // namespace
}  // namespace plat
