#include "disk/sector_buffer.h"

#include <cstring>

#include "platform/virtual_memory.h"

namespace tavrin {

SectorBuffer::SectorBuffer(size_t sectors) {
  if (sectors == 0 || sectors > SIZE_MAX / kSectorSize) return;
  data_ = static_cast<uint8_t*>(plat::VirtualAlloc(sectors * kSectorSize));
  if (data_) size_ = sectors * kSectorSize;
}

SectorBuffer::~SectorBuffer() { plat::VirtualFree(data_); }

void SectorBuffer::Zero() {
  if (data_) std::memset(data_, 0, size_);
}

}  // namespace tavrin
