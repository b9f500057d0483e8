// qzw encode IN OUT: compress a BIOS image as the crisis disk carries it.
// qzw decode IN OUT: give the image back, checking the header records.
#include <cstdio>
#include <string>
#include <vector>

#include "crisis_app/compressor.h"
#include "platform/file_system.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qzw encode IN OUT   compress a BIOS image (header and LZSS stream)\n"
               "       qzw decode IN OUT   restore the image from a compressed file\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const std::string cmd = argv[1], in = argv[2], out = argv[3];
  if (cmd == "encode") {
    if (!crisis::CompressImage(in, out)) {
      std::fprintf(stderr, "qzw: can't open %s or %s\n", in.c_str(), out.c_str());
      return 1;
    }
    return 0;
  }
  if (cmd == "decode") {
    std::vector<uint8_t> packed, image;
    if (!plat::ReadWholeFile(in, packed)) {
      std::fprintf(stderr, "qzw: can't read %s\n", in.c_str());
      return 1;
    }
    std::string error;
    if (!crisis::DecompressBytes(packed, image, error)) {
      std::fprintf(stderr, "qzw: %s: %s\n", in.c_str(), error.c_str());
      return 1;
    }
    if (!plat::WriteWholeFile(out, image.data(), image.size())) {
      std::fprintf(stderr, "qzw: can't write %s\n", out.c_str());
      return 1;
    }
    return 0;
  }
  return Usage();
}
