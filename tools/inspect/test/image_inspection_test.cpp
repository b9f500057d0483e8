#include "inspect/image_inspection.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "core/flash_settings.h"
#include "imagegen/layouts.h"

namespace inspect {
namespace {

class TempFile {
 public:
  explicit TempFile(const std::vector<uint8_t>& bytes) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/brim_inspect_XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = mkstemp(buf.data());
    path = buf.data();
    if (fd >= 0) {
      std::FILE* f = fdopen(fd, "wb");
      if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
  }
  ~TempFile() { std::remove(path.c_str()); }
  std::string path;
};

TEST(Inspect, ReferencePackageShowsItsDirectoryAreasAndIdentity) {
  TempFile file(imagegen::BuildReferencePackage());
  Inspection r = InspectImage({file.path, 0x10, 0xFFF00000, true});
  ASSERT_TRUE(r.loaded);
  EXPECT_EQ(r.layout, "Quorvel");
  EXPECT_TRUE(r.packageHeader);
  EXPECT_EQ(r.settingsText, imagegen::kReferenceSettings);
  EXPECT_EQ(r.settingsOn.size(), 10u);
  EXPECT_EQ(r.imageOffset, 48u);
  EXPECT_EQ(r.modelCode, "HLB");
  EXPECT_EQ(r.dateText, "06/28/07");
  EXPECT_EQ(r.buildTimeText, "11:50:05");
  EXPECT_EQ(r.flashModule, 0x100000);
  ASSERT_EQ(r.areas.size(), 3u);
  EXPECT_EQ(r.areas[0].name, "ESCD");
  EXPECT_EQ(r.areas[0].offset, 0x80000u);
  EXPECT_EQ(r.areas[1].name, "password");
  EXPECT_EQ(r.areas[1].length, 0x1000u);
  EXPECT_EQ(r.areas[2].name, "NVS");
  EXPECT_EQ(r.areas[2].offset, 0x14000u);

  std::string text = FormatText(r);
  for (const char* s : {"ESCD", "password", "NVS", "HLB", "06/28/07", "11:50:05", "at 0x00100000",
                        "offset 0x00015000  length 0x1000"})
    EXPECT_NE(text.find(s), std::string::npos) << s;
  std::string json = FormatJson(r);
  EXPECT_NE(json.find("\"flashModule\":1048576"), std::string::npos);
  EXPECT_NE(json.find("{\"name\":\"NVS\",\"tag\":\"A!KN\",\"offset\":81920,\"length\":256}"),
            std::string::npos);
  brim::Settings() = brim::FlashSettings{};
}

TEST(Inspect, ProgramFileShowsWhereThePackageLies) {
  TempFile file(imagegen::BuildExecutable(imagegen::BuildReferencePackage()));
  Inspection r = InspectImage({file.path, 0x10, 0xFFF00000, true});
  ASSERT_TRUE(r.loaded);
  EXPECT_EQ(r.headerOffset, imagegen::kReferenceProgramSize);
  EXPECT_EQ(r.areas.size(), 3u);
  brim::Settings() = brim::FlashSettings{};
}

TEST(Inspect, PackagedBrimletShowsThePackagesImageAndSaysSo) {
  imagegen::QuorvelSpec spec;
  spec.date = "07/15/07";
  spec.seed = 9;
  TempFile image(imagegen::BuildQuorvel(spec));
  TempFile packaged({0});  // brimlet-pack writes over it
  const std::string pack = std::string(BRIMLET_PACK_EXE) + " --settings " + imagegen::kReferenceSettings +
                           " --image " + image.path + " --exe " + BRIMLET_EXE + " -o " + packaged.path +
                           " >/dev/null";
  ASSERT_EQ(std::system(pack.c_str()), 0);
  const Inspection alone = InspectImage({image.path});
  const Inspection r = InspectImage({packaged.path});
  ASSERT_TRUE(r.loaded) << r.refusal;
  EXPECT_TRUE(r.programFile);
  EXPECT_TRUE(r.packageHeader);
  EXPECT_EQ(r.layout, "Quorvel") << r.layoutReason;
  EXPECT_EQ(r.layoutReason, alone.layoutReason) << "the program's own texts are no tags";
  EXPECT_EQ(r.settingsText, imagegen::kReferenceSettings);
  EXPECT_EQ(r.imageSize, alone.imageSize);
  EXPECT_EQ(r.modelCode, alone.modelCode);
  EXPECT_FALSE(r.modelCode.empty());
  EXPECT_EQ(r.dateText, "07/15/07");
  EXPECT_EQ(r.checksum, alone.checksum);
  ASSERT_EQ(r.areas.size(), alone.areas.size());
  EXPECT_FALSE(r.areas.empty());
  for (size_t i = 0; i < r.areas.size(); ++i) {
    EXPECT_EQ(r.areas[i].name, alone.areas[i].name);
    EXPECT_EQ(r.areas[i].offset, alone.areas[i].offset) << "offsets within the image";
  }
  EXPECT_NE(FormatText(r).find("a program file carrying a package"), std::string::npos) << FormatText(r);
  EXPECT_NE(FormatJson(r).find("\"programFile\":true"), std::string::npos);
  EXPECT_EQ(FormatText(alone).find("program file"), std::string::npos);

  // brimlet without a package: nothing of the program passes for an image.
  const Inspection bare = InspectImage({BRIMLET_EXE});
  EXPECT_FALSE(bare.loaded);
  EXPECT_NE(bare.refusal.find("a program file without a BIOS image package"), std::string::npos)
      << bare.refusal;
  brim::Settings() = brim::FlashSettings{};
}

TEST(Inspect, MissingFilesDevicesAndPipesAreRefusedUnread) {
  for (const char* path : {"/nonexistent/brim/image.bin", "/dev/zero"}) {
    Inspection r = InspectImage({path, 0, 0xFFF00000});
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.refusal.rfind(path, 0), 0u) << r.refusal;
  }
  EXPECT_NE(InspectImage({"/dev/zero"}).refusal.find("not a regular file"), std::string::npos);
  brim::Settings() = brim::FlashSettings{};
}

// Every byte of the file is read, whatever its size, and nothing past it.
TEST(Inspect, TheWholeFileIsTheImage) {
  const size_t sizes[] = {0, 1, 3, 0x10000, 0x30001};
  for (size_t size : sizes) {
    TempFile file(std::vector<uint8_t>(size, 0xFF));
    Inspection r = InspectImage({file.path});
    ASSERT_TRUE(r.loaded) << size;
    EXPECT_EQ(r.fileSize, size);
    EXPECT_EQ(r.imageOffset, 0u);
    EXPECT_EQ(r.imageSize, size);
    EXPECT_EQ(r.checksum, static_cast<uint16_t>(size * 0xFF)) << size;
  }
  brim::Settings() = brim::FlashSettings{};
}

TEST(Inspect, WithoutFlagTheLayoutComesFromTheTagsAndSaysWhich) {
  imagegen::TarvexSpec tarvex;
  tarvex.areas = {{"A!PS", 0x40000, 0x100}};
  imagegen::LindarSpec lindar;
  lindar.checksum.present = true;
  struct Case {
    std::vector<uint8_t> bytes;
    const char* layout;
    uint32_t flag;
    const char* tag;
  } cases[] = {{imagegen::BuildTarvex(tarvex), "Tarvex", 0x00, "A!F0"},
               {imagegen::BuildLindar(lindar), "Lindar", 0x08, "-lh5-"},
               {imagegen::BuildLindar(imagegen::LindarSpec{}), "Lindar", 0x08, "W!DA"},
               {imagegen::BuildQuorvel(imagegen::QuorvelSpec{}), "Quorvel", 0x10, "BCPSYS"},
               {imagegen::BuildReferencePackage(), "Quorvel", 0x10, "DEVEL"},
               {std::vector<uint8_t>(0x10000, 0xFF), "Tarvex", 0x00, "no layout tags found"}};
  for (const Case& c : cases) {
    TempFile file(c.bytes);
    Inspection r = InspectImage({file.path});
    ASSERT_TRUE(r.loaded) << c.layout;
    EXPECT_EQ(r.layout, c.layout);
    EXPECT_EQ(r.flagWord, c.flag);
    EXPECT_NE(r.layoutReason.find(c.tag), std::string::npos) << r.layoutReason;
    EXPECT_NE(FormatText(r).find(r.layoutReason), std::string::npos);
  }
  // A Quorvel image read as Tarvex, because --flag says so, is read that way.
  TempFile quorvel(imagegen::BuildReferencePackage());
  Inspection forced = InspectImage({quorvel.path, 0, 0xFFF00000, true});
  EXPECT_EQ(forced.layout, "Tarvex");
  EXPECT_NE(FormatText(forced).find("from --flag"), std::string::npos);
  brim::Settings() = brim::FlashSettings{};
}

TEST(Inspect, TextFieldsStayWithinTheirSizeAndOddBytesAreShownOnce) {
  // Erased flash read as Tarvex: the identity "text" is a long run of 0xFF.
  TempFile erased(imagegen::BuildReferencePackage());
  Inspection r = InspectImage({erased.path, 0, 0xFFF00000, true});
  ASSERT_TRUE(r.loaded);
  EXPECT_LE(r.serial.size(), kSerialFieldChars);
  EXPECT_LE(r.versionText.size(), 32u);
  EXPECT_LE(r.dateText.size(), 9u);
  // Label column, then at most four characters (\xNN) for each byte of the field.
  std::string text = FormatText(r), line;
  for (std::istringstream in(text); std::getline(in, line);) {
    if (line.rfind("Serial number:", 0) == 0 || line.rfind("Version:", 0) == 0) {
      EXPECT_LE(line.size(), 20u + 4 * 32) << line;
    }
  }

  EXPECT_EQ(PrintableText(std::string(82000, '\xFF')), "\\xFF x82000");
  EXPECT_EQ(PrintableText(std::string("V1.0\0\x01\x01", 7)), "V1.0\\x00\\x01 x2");
  EXPECT_EQ(PrintableText("Caf\xE9"), "Caf\xC3\xA9");  // Latin-1, shown as UTF-8
  EXPECT_EQ(PrintableText("\x85"), "\\x85");
  EXPECT_EQ(PrintableText("A\xFF\xFF"), "A\\xFF x2");
  brim::Settings() = brim::FlashSettings{};
}

TEST(Inspect, JsonEscapesImageBytes) {
  Inspection r;
  r.modelCode = std::string("A\"\x01", 3);
  std::string json = FormatJson(r);
  EXPECT_NE(json.find("\"modelCode\":\"A\\\"\\u0001\""), std::string::npos) << json;
}

TEST(Inspect, NumbersAreDecimalOrHex) {
  uint32_t v = 0;
  EXPECT_TRUE(ParseNumber("16", v));
  EXPECT_EQ(v, 16u);
  EXPECT_TRUE(ParseNumber("0xFFF00000", v));
  EXPECT_EQ(v, 0xFFF00000u);
  EXPECT_TRUE(ParseNumber("4294967295", v));
  EXPECT_FALSE(ParseNumber("4294967296", v));
  EXPECT_FALSE(ParseNumber("0x", v));
  EXPECT_FALSE(ParseNumber("", v));
  EXPECT_FALSE(ParseNumber("12a", v));
  EXPECT_FALSE(ParseNumber("0x1FFFFFFFF", v));
}

}  // namespace
}  // namespace inspect
