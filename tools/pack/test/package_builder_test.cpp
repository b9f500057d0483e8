#include "pack/package_builder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pack {
namespace {

PackageRequest Sample() {
  PackageRequest r;
  r.settings = "0100001000001000011011101001000000";
  r.image.assign(1024, 0xFF);
  r.image[0] = 0x12;
  return r;
}

TEST(PackageBuilder, HeaderBytesAndImageFollow) {
  PackageRequest r = Sample();
  r.module = {'A', '!', 'F', 'R', 1, 2};
  r.executable = {0x7F, 'E', 'L', 'F'};
  std::vector<uint8_t> out;
  std::string error;
  ASSERT_TRUE(BuildPackage(r, out, error)) << error;
  ASSERT_EQ(out.size(), 4 + kHeaderSize + 1024 + 6);
  const uint8_t* p = out.data() + 4;
  EXPECT_EQ(std::memcmp(p, "HOLBRIKE\r\nW!SH", 14), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 14), 34), r.settings);
  EXPECT_EQ(p[48], 0x12);
  EXPECT_EQ(std::memcmp(out.data() + out.size() - 6, "A!FR", 4), 0);
}

TEST(PackageBuilder, ShortSettingsArePaddedWithReservedZeros) {
  PackageRequest r = Sample();
  r.settings = std::string(29, '1');
  std::vector<uint8_t> out;
  std::string error;
  ASSERT_TRUE(BuildPackage(r, out, error));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data() + 14), 34),
            std::string(29, '1') + "00000");
}

TEST(PackageBuilder, RefusesWhatTheLoaderWouldMisread) {
  std::vector<uint8_t> out;
  std::string error;
  PackageRequest r = Sample();
  r.model = "HOLBRIK";
  EXPECT_FALSE(BuildPackage(r, out, error));
  r = Sample();
  r.settings = "01x";
  EXPECT_FALSE(BuildPackage(r, out, error));
  r = Sample();
  r.settings[3] = '2';
  EXPECT_FALSE(BuildPackage(r, out, error));
  r = Sample();
  std::memcpy(r.image.data() + 100, "HOLBRIKE", 8);
  EXPECT_FALSE(BuildPackage(r, out, error));
  EXPECT_NE(error.find("HOLBRIKE"), std::string::npos);
  r = Sample();
  r.image.clear();
  EXPECT_FALSE(BuildPackage(r, out, error));
}

TEST(PackageBuilder, SettingsFromWsetFile) {
  std::string text = "W!SH1000000000000000001000001000000000";
  std::vector<uint8_t> wset(text.begin(), text.end());
  std::string settings, error;
  ASSERT_EQ(wset.size(), 38u);
  ASSERT_TRUE(SettingsFromWset(wset, settings, error));
  EXPECT_EQ(settings, text.substr(4));
  wset.push_back('\n');
  EXPECT_FALSE(SettingsFromWset(wset, settings, error));
}

}  // namespace
}  // namespace pack
