// The medium a build writes: the operations the build sequence calls on a
// floppy or a USB key, so the sequence can be driven by fakes in tests.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace crisis {

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
};

class MediumFactory {
 public:
  virtual ~MediumFactory() = default;
  // A floppy for "A:", a USB key for any other drive name; nullptr when it
  // can't be made.
  virtual std::unique_ptr<CrisisMedium> Create(const std::string& drive, bool fixedDisk) = 0;
};

}  // namespace crisis
