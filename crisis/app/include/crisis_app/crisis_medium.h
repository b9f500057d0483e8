// The medium a build writes: the operations the build sequence calls on a
// floppy or a USB key, so the sequence can be driven by fakes in tests.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace crisis {

// A medium opened again after a build, to be read straight from the device.
class MediumReadBack {
 public:
  using SectorMap = std::map<uint32_t, std::array<uint8_t, 512>>;
  virtual ~MediumReadBack() = default;
  virtual uint64_t Size() const = 0;  // bytes
  // False with `error` set when the bytes can't be read.
  virtual bool Read(uint64_t offset, void* buf, size_t size, std::string* error) = 0;
  // The sectors the build wrote by number, as it meant them; empty where a
  // file system tool did the writing.
  virtual const SectorMap& WrittenSectors() const = 0;
  // Sector number of the file system's boot sector.
  virtual uint64_t FileSystemStart() const = 0;
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
