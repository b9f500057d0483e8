// tavrin-sample OUT: writes the sample working folder OUT/work (boot
// sectors and small stand-ins of the DOS-side programs) and the sample
// project folder OUT/project (part number 4A1, platform data, a raw ROM and a
// packaged image with its identification records). Deterministic.
#include <getopt.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "crisis_samples/boot_sectors.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "tool_cli/tool_cli.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A DOS program stand-in: an "MZ" header word and a text saying what it stands for.
Bytes Program(const std::string& what, size_t size) {
  Bytes b(size, 0);
  std::string text = "MZ sample stand-in for " + what + " (not a DOS program)\r\n";
  std::memcpy(b.data(), text.data(), std::min(text.size(), size));
  return b;
}

// Erased flash, code-like stretches and a few tables, from a fixed seed.
Bytes BiosImage(size_t size, uint32_t seed) {
  Bytes img(size, 0xFF);
  uint32_t x = seed;
  auto next = [&x] { return x = x * 1664525u + 1013904223u; };
  for (size_t block = 0; block < size; block += 0x10000) {
    size_t used = 0x4000 + (next() >> 8) % 0x8000;
    for (size_t i = 0; i < used && block + i < size; ++i)
      img[block + i] = static_cast<uint8_t>((next() >> 24) % 3 == 0 ? next() >> 24 : i * 7);
  }
  return img;
}

void Put(Bytes& img, size_t at, const std::string& s) { std::memcpy(&img[at], s.data(), s.size()); }

bool Write(const std::string& path, const Bytes& b) {
  if (plat::WriteWholeFile(path, b.data(), b.size())) return true;
  std::fprintf(stderr, "tavrin-sample: can't write %s\n", path.c_str());
  return false;
}

bool WriteText(const std::string& path, const std::string& s) {
  return Write(path, Bytes(s.begin(), s.end()));
}

}  // namespace

const char kTool[] = "tavrin-sample";
const char kUsage[] =
    "usage: tavrin-sample OUT\n"
    "Writes a sample working folder OUT/work (boot sectors and stand-ins of the\n"
    "DOS programs) and a sample BIOS project folder OUT/project for tavrin.\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n";

int main(int argc, char** argv) {
  if (int status = toolcli::ParseStandardOptions(argc, argv, kTool, kUsage); status >= 0)
    return status;
  if (argc - optind != 1) return toolcli::UsageError(kTool, "expected one OUT folder");
  const std::string out = argv[optind], work = out + "/work", project = out + "/project";
  if (!plat::MakeDirectories(work) || !plat::MakeDirectories(project)) {
    std::fprintf(stderr, "tavrin-sample: can't create %s\n", out.c_str());
    return 1;
  }
  bool ok = crisis_samples::WriteSampleBootFiles(work);
  ok = ok && Write(work + "/minidos.sys", Program("the minimal DOS", 4096));
  ok = ok && Write(work + "/kavlo16.exe", Program("the DOS flash program", 24576));
  ok = ok && Write(work + "/vgabios.exe", Program("the video BIOS program", 8192));

  ok = ok && WriteText(project + "/partnum.mak", "# sample project\r\nPARTNUM = 4A1\r\nVERSION = 1.00\r\n");
  Bytes platform(2048);
  for (size_t i = 0; i < platform.size(); ++i) platform[i] = static_cast<uint8_t>(i * 13);
  ok = ok && Write(project + "/platform.bin", platform);
  ok = ok && Write(project + "/test4A1.rom", BiosImage(512 * 1024, 4));
  Bytes packaged = BiosImage(1024 * 1024, 0x4A1);
  Put(packaged, 0x9000, "BCPVPD\x22" "4A1 SAMPLE PLATFORM 1.00 ");
  Put(packaged, 0xA000, std::string("\xAA\x55VPD", 5) + "4A1-SAMPLE-VPD-RECORD-0001");
  ok = ok && Write(project + "/flashabl.rom", packaged);
  ok = ok && Write(project + "/vgabios.exe", Program("the project's video BIOS program", 8192));
  return ok ? 0 : 1;
}
