#include "firmware/lock_bit_table.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace brim {

LockBitTable& LockBitsOf(const BiosImage& image) {
  static std::mutex lock;
  static std::map<const BiosImage*, LockBitTable> tables;
  std::lock_guard<std::mutex> guard(lock);
  return tables[&image];  // map nodes stay put, so the reference outlives the lock
}

void MirrorLockBits(BiosImage& image) {
  const LockBitTable& table = LockBitsOf(image);
  std::copy_n(table.addresses.begin(), kMaxLockBitBlocks, image.lockBitAddresses);
}

}  // namespace brim
