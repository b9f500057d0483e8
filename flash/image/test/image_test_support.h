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
  image.buffer.assign(bytes.begin(), bytes.end());
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

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace brim {

// A fresh folder under $TMPDIR (or /tmp), removed with its contents.
class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/brim_image_XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::string p = File(name);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (f) {
      if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return p;
  }

 private:
  std::string path_;
};

}  // namespace brim
