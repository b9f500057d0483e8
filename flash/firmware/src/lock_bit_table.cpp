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

void SizeLockBits(const BiosImage& image, size_t blocks) {
  LockBitsOf(image).addresses.resize(std::max(blocks, kMaxCl8Blocks), 0);
}

void MirrorLockBits(BiosImage& image) {
  const LockBitTable& table = LockBitsOf(image);
  std::copy_n(table.addresses.begin(), std::min(kMaxLockBitBlocks, table.addresses.size()),
              image.lockBitAddresses);
}

}  // namespace brim
