// crisis-samples FOLDER: writes crisboot.bin and crismbr.bin into FOLDER.
#include <cstdio>

#include "crisis_samples/boot_sectors.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: crisis-samples FOLDER\n");
    return 2;
  }
  if (!crisis_samples::WriteSampleBootFiles(argv[1])) {
    std::fprintf(stderr, "crisis-samples: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
