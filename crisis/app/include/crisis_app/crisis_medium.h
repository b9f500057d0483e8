// The medium a build writes: the operations the build sequence calls on a
// floppy or a USB key, so the sequence can be driven by fakes in tests.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "disk/boot_params.h"

namespace crisis {

// Where the build put the file system, as it planned it: what the medium
// must hold is worked out from this and the file list, never from what the
// medium gives back.
struct MediumLayout {
  uint64_t fsStart = 0;       // sector of the file system's boot sector
  tavrin::BootParams params;  // its parameters
  // What sector 0 must hold when the file system starts past it; else empty.
  std::vector<uint8_t> mbr;
  // Formatted by mkfs.fat and filled by mcopy (the floppy): the boot sector
  // file replaces the whole sector, and the directory's times are the tools'.
  bool byTools = false;
};

// A medium opened again after a build, to be read straight from the device.
class MediumReadBack {
 public:
  virtual ~MediumReadBack() = default;
  virtual uint64_t Size() const = 0;  // bytes
  // False with `error` set when the bytes can't be read.
  virtual bool Read(uint64_t offset, void* buf, size_t size, std::string* error) = 0;
  virtual const MediumLayout& Layout() const = 0;
  // Whether reads bypass the system's cache.
  virtual bool Direct() const = 0;
};

class CrisisMedium {
 public:
  virtual ~CrisisMedium() = default;
  // False after telling the user that no medium is there.
  virtual bool CheckMedia() = 0;
  // The floppy's format dialog; nothing on a USB key.
  virtual void Format() = 0;
  // False on failure, after its own message.
  virtual bool WriteBootSector(const std::string& file) = 0;
  // Copies the file of that name from the current folder into the root; no message.
  virtual bool CopyFileToDisk(const std::string& file) = 0;
  // Whether files of these sizes fit the layout the medium will get; false
  // after its own message. Asked before anything is written.
  virtual bool CheckRoom(const std::vector<uint64_t>& /*fileSizes*/) { return true; }
  virtual bool IsUsbKey() const = 0;
  virtual void EjectMedia() = 0;
  // Flushes what was written to the medium and opens it for reading back;
  // nullptr with `error` set when it can't be.
  virtual std::unique_ptr<MediumReadBack> OpenReadBack(std::string* error) {
    *error = "this medium can't be read back";
    return nullptr;
  }
};

class MediumFactory {
 public:
  virtual ~MediumFactory() = default;
  // A floppy for "A:", a USB key for any other drive name; nullptr when it
  // can't be made.
  virtual std::unique_ptr<CrisisMedium> Create(const std::string& drive, bool fixedDisk) = 0;
};

}  // namespace crisis
