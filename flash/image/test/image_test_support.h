// Shared set-up for the image tests: globals reset, images from fixture bytes.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/flash_settings.h"
#include "image/bios_image.h"
#include "image/message_list.h"

namespace brim {

// Puts fixture bytes into an image record as its own buffer.
inline void Adopt(BiosImage& image, const std::vector<uint8_t>& bytes, uint32_t flagWord,
                  uint32_t base = 0) {
  image = BiosImage{};
  image.buffer = bytes;
  image.bytes = image.buffer.data();
  image.size = static_cast<uint32_t>(bytes.size());
  image.flagWord = flagWord;
  image.baseAddress = base;
}

inline int64_t Offset(const BiosImage& image, const uint8_t* p) { return OffsetInImage(image, p); }

class FakeMessageList : public MessageList {
 public:
  void AppendAndSelect(const std::string& line) override { appended.push_back(line); }
  void InsertAtTop(const std::string& line) override { inserted.push_back(line); }
  std::vector<std::string> appended;
  std::vector<std::string> inserted;
};

// Resets the process-wide records around each test.
class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); previousList_ = SetMessageList(&list); }
  void TearDown() override {
    SetMessageList(previousList_);
    Reset();
  }
  static void Reset() {
    Settings() = FlashSettings{};
    ImageStatus() = 0;
    CurrentRomImage() = BiosImage{};
    NewImage() = BiosImage{};
  }

  FakeMessageList list;

 private:
  MessageList* previousList_ = nullptr;
};

}  // namespace brim
