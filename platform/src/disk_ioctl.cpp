#include "platform/disk_ioctl.h"

#include "platform/le_bytes.h"

namespace plat {

void EncodeDiskGeometry(const DISK_GEOMETRY& g, uint8_t out[kDiskGeometrySize]) {
  PutLe64(out, kDiskGeometrySize, 0, g.Cylinders);
  PutLe32(out, kDiskGeometrySize, 8, g.MediaType);
  PutLe32(out, kDiskGeometrySize, 12, g.TracksPerCylinder);
  PutLe32(out, kDiskGeometrySize, 16, g.SectorsPerTrack);
  PutLe32(out, kDiskGeometrySize, 20, g.BytesPerSector);
}

DISK_GEOMETRY DecodeDiskGeometry(const uint8_t in[kDiskGeometrySize]) {
  DISK_GEOMETRY g;
  g.Cylinders = Le64(in, kDiskGeometrySize, 0);
  g.MediaType = Le32(in, kDiskGeometrySize, 8);
  g.TracksPerCylinder = Le32(in, kDiskGeometrySize, 12);
  g.SectorsPerTrack = Le32(in, kDiskGeometrySize, 16);
  g.BytesPerSector = Le32(in, kDiskGeometrySize, 20);
  return g;
}

void EncodeRegisters(const DIOC_REGISTERS& r, uint8_t out[kDiocRegistersSize]) {
  const uint32_t regs[7] = {r.reg_EBX, r.reg_EDX, r.reg_ECX, r.reg_EAX, r.reg_EDI, r.reg_ESI, r.reg_Flags};
  for (unsigned i = 0; i < 7; ++i) PutLe32(out, kDiocRegistersSize, 4 * i, regs[i]);
}

DIOC_REGISTERS DecodeRegisters(const uint8_t in[kDiocRegistersSize]) {
  DIOC_REGISTERS r;
  r.reg_EBX = Le32(in, kDiocRegistersSize, 0);
  r.reg_EDX = Le32(in, kDiocRegistersSize, 4);
  r.reg_ECX = Le32(in, kDiocRegistersSize, 8);
  r.reg_EAX = Le32(in, kDiocRegistersSize, 12);
  r.reg_EDI = Le32(in, kDiocRegistersSize, 16);
  r.reg_ESI = Le32(in, kDiocRegistersSize, 20);
  r.reg_Flags = Le32(in, kDiocRegistersSize, 24);
  return r;
}

void EncodeInt13ExtRequest(const Int13ExtRequest& r, uint8_t out[kInt13ExtRequestSize]) {
  out[0] = r.drive;
  PutLe32(out, kInt13ExtRequestSize, 1, r.lba);
  PutLe16(out, kInt13ExtRequestSize, 5, r.count);
  PutLe32(out, kInt13ExtRequestSize, 7, r.address);
  out[11] = r.write;
}

Int13ExtRequest DecodeInt13ExtRequest(const uint8_t in[kInt13ExtRequestSize]) {
  Int13ExtRequest r;
  r.drive = in[0];
  r.lba = Le32(in, kInt13ExtRequestSize, 1);
  r.count = Le16(in, kInt13ExtRequestSize, 5);
  r.address = Le32(in, kInt13ExtRequestSize, 7);
  r.write = in[11];
  return r;
}

}  // namespace plat
