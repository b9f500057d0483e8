// qzw encode IMAGE OUT: compress a BIOS image as the crisis disk carries it.
// qzw decode IN OUT: give the image back, checking the stream and the header records.
// qzw verify IMAGE FILE: whether FILE is exactly IMAGE's compressed form.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bios_tools_version.h"
#include "crisis_app/checked_file.h"
#include "crisis_app/compressor.h"

namespace {


void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: qzw encode IMAGE OUT       compress a BIOS image (header and LZSS stream)\n"
               "       qzw decode IN OUT          restore the image from a compressed file\n"
               "       qzw verify IMAGE FILE.QZW  exit 0 only when FILE.QZW is exactly what\n"
               "                                  encoding IMAGE gives and decodes back to IMAGE\n"
               "       qzw --help | -h | --version\n"
               "\n"
               "Inputs must be regular files; images of more than %llu bytes (and compressed\n"
               "files of more than %llu) are refused. OUT is written under a temporary name\n"
               "and renamed when complete, so a failure never leaves a partial OUT.\n"
               "Use -- before a file name that begins with '-'.\n"
               "Exit status: 0 success, 1 failure, 2 usage error.\n",
               static_cast<unsigned long long>(crisis::kMaxImageBytes),
               static_cast<unsigned long long>(crisis::kMaxCompressedBytes));
}

int UsageError(const std::string& what) {
  std::fprintf(stderr, "qzw: %s\nTry 'qzw --help' for more information.\n", what.c_str());
  return 2;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "qzw: %s\n", what.c_str());
  return 1;
}

int Encode(const std::string& in, const std::string& out) {
  std::string error;
  if (!crisis::CompressImage(in, out, &error)) return Fail(error);
  return 0;
}

int Decode(const std::string& in, const std::string& out) {
  std::vector<uint8_t> packed, image;
  std::string error;
  if (!crisis::ReadInputFile(in, crisis::kMaxCompressedBytes, packed, &error)) return Fail(error);
  if (!crisis::DecompressBytes(packed, image, error)) return Fail(in + ": " + error);
  if (!crisis::WriteOutputFile(out, image.data(), image.size(), &error)) return Fail(error);
  return 0;
}

int Verify(const std::string& imageName, const std::string& packedName) {
  std::vector<uint8_t> image, packed;
  std::string error;
  if (!crisis::ReadInputFile(imageName, crisis::kMaxImageBytes, image, &error) ||
      !crisis::ReadInputFile(packedName, crisis::kMaxCompressedBytes, packed, &error))
    return Fail(error);
  if (!crisis::VerifyCompressed(image, packed, error))
    return Fail(packedName + " is not the compressed form of " + imageName + ": it " + error);
  std::printf("%s: the compressed form of %s\n", packedName.c_str(), imageName.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Everything is checked before any file is touched.
  std::vector<std::string> args;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (!optionsEnd && a == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
      if (a == "--help" || a == "-h") {
        PrintUsage(stdout);
        return 0;
      }
      if (a == "--version") {
        std::printf("qzw (bios-tools) %s\n", BIOS_TOOLS_VERSION);
        return 0;
      }
      return UsageError("unknown option '" + a + "'");
    } else {
      args.push_back(a);
    }
  }
  if (args.empty()) return UsageError("no command given");
  const std::string& cmd = args[0];
  if (cmd != "encode" && cmd != "decode" && cmd != "verify")
    return UsageError("unknown command '" + cmd + "'");
  if (args.size() != 3) return UsageError(cmd + " takes two file names");
  if (cmd == "encode") return Encode(args[1], args[2]);
  if (cmd == "decode") return Decode(args[1], args[2]);
  return Verify(args[1], args[2]);
}
