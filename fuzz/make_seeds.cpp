// Writes seed inputs for the harnesses in fuzz/ into DIR/<harness>/, made
// with the generators and examples the tests use.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "crisis_app/compressor.h"
#include "disk/boot_params.h"
#include "disk/partition_table.h"
#include "imagegen/layouts.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::string g_out;
bool g_ok = true;

void Put(const std::string& harness, const std::string& name, const Bytes& bytes) {
  std::string dir = g_out + "/" + harness;
  ::mkdir(dir.c_str(), 0755);
  std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
  bool ok = f && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "make_seeds: cannot write %s/%s\n", dir.c_str(), name.c_str());
    g_ok = false;
  }
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
void Le32(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4, 0);
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Images of the three layouts, cut to 128 KiB where the layout allows, so
// the fuzzer's inputs stay small.
Bytes SmallQuorvel() {
  imagegen::QuorvelSpec q;
  q.size = 0x20000;
  q.base = 0xFFFE0000;
  q.develAt = 0x10000;
  q.bcpsysAt = 0x10100;
  q.identityAt = 0x18000;
  q.directoryAt = 0x19000;
  q.directory = {{"A!ES", 0xFFFE2000, 0x800}, {"A!PS", 0xFFFE3000, 0x100},
                 {"A!KA", 0xFFFE4000, 0x100}, {"A!KN", 0xFFFE4000, 0x100}};
  q.flashModules = {0x1C000};
  return imagegen::BuildQuorvel(q);
}
Bytes SmallLindar() {
  imagegen::LindarSpec l;
  l.size = 0x20000;
  l.base = 0xFFFE0000;
  l.identityAt = 0x10000;
  l.directoryAt = 0x11000;
  l.directory = {{"A!DM", 0xFFFE2000, 0x800}, {"A!NV", 0xFFFE3000, 0x800}};
  l.checksum.present = true;
  l.checksum.lh5At = 0x12010;
  l.checksum.bs1At = 0x12100;
  l.checksum.bbssAt = 0x12200;
  return imagegen::BuildLindar(l);
}
Bytes SmallTarvex() {
  imagegen::TarvexSpec t;
  t.size = 0x20000;
  t.fSegmentBanks = {1};
  t.moduleEntries = {{"DMA!", 0x2000, 0x800}, {"BUA!", 0x3000, 0x100}};
  t.smAnchors = {0x4000};
  return imagegen::BuildTarvex(t);
}

void Requests(const std::string& harness, size_t prefix) {
  // After `prefix` selector bytes: a request block (84 bytes), then the
  // caller's memory at 0x00100000: a programming list at 0, a ROM
  // information list at 0x40 (its text cell at 0x88), lock bits at 0x100
  // and the buffer at 0x200.
  const uint32_t kWindow = 0x00100000;
  struct Seed {
    const char* name;
    uint8_t request;  // index into the harness's request codes
    uint32_t eax, ebx, ecx, esi, edi;
  };
  const Seed seeds[] = {
      {"check_support", 3, 0, 0, 0, 0, 0},
      {"rom_info", 0, 0x9616, 0, 0, kWindow + 0x100, kWindow + 0x40},
      {"rom_blocks", 0, 0x9616, 2, 0, 0, 0},
      {"boot_block", 0, 0x9616, 3, 0, 0, 0},
      {"ask_password", 0, 0x9610, 0x0108, 0, 0, 0},
      {"check_password", 0, 0x9610, 0x0308, 0, kWindow + 0x200, 0},
      {"wsbi", 0, 0x9610, 0, 0, 0, 0},
      {"brand", 0, 0x9604, 0xF700, 0, 0, 0},
      {"read_rom", 1, 0, 0, 0, 0, 0},
      {"program", 2, 0x9616, 1, 0x5, kWindow, 0},
      {"message", 4, 0, 0, 0, 0, 0},
      {"vxd_call", 5, 0x9616, 0, 0, kWindow + 0x100, kWindow + 0x40},
      {"vxd_map", 6, 0, 0, 0, 0, 0},
      {"vxd_program", 7, 0x9616, 1, 0x1, kWindow, 0},
      {"unknown", 8, 0, 0, 0, 0, 0},
  };
  for (const Seed& s : seeds) {
    Bytes b(prefix, 0);
    b[0] = s.request;
    Bytes block(84, 0);
    const bool vxd = s.request >= 5 && s.request <= 7;
    const size_t regs = vxd ? 0 : 4;
    const uint32_t values[] = {s.eax, s.ebx, s.ecx, 0, s.esi, s.edi};
    for (size_t i = 0; i < 6; ++i) Le32(block, regs + i * 4, values[i]);
    if (s.request == 6) {  // 9x mapping: physical address and length
      Le32(block, 0, 0xFFFE0000);
      Le32(block, 4, 0x1000);
    } else if (!vxd) {
      Le32(block, 44, 0xFFFE0000);     // physical
      Le32(block, 48, kWindow + 0x200);  // image
      Le32(block, 56, kWindow + 0x200);  // buffer
      Le32(block, 60, s.request == 2 ? 0x20000 : 0x100);  // length
      Le32(block, 72, 0xFFFFFFFF);     // F segment: the machine's
    }
    const bool program = s.request == 2 || s.request == 7;
    Bytes memory(0x200 + (program ? 0x20000 : 0x200), 0);
    Le32(memory, 0, kWindow + 0x200);
    Le32(memory, 0x40, kWindow + 0x80);
    Le32(memory, 0x44, kWindow + 0x88);
    Le32(memory, 0x88, kWindow + 0xC0);
    for (size_t i = 0x200; i < memory.size(); ++i) memory[i] = uint8_t(i * 7);
    if (s.ebx == 0x0308) {  // scan codes typed
      memory[0x200] = 0x1E;
      memory[0x201] = 0x30;
      memory[0x202] = 0x2E;
      memory[0x203] = 0x1C;
    }
    Put(harness, s.name, Cat(Cat(b, block), memory));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
    return 2;
  }
  g_out = argv[1];
  ::mkdir(g_out.c_str(), 0755);

  const Bytes quorvel = SmallQuorvel(), lindar = SmallLindar(), tarvex = SmallTarvex();
  const Bytes package = imagegen::BuildPackage(quorvel);

  // Compressed files: images and text, and a stream cut short.
  Put("fuzz_lzss_decode", "quorvel", crisis::CompressBytes(Bytes(quorvel.begin(), quorvel.begin() + 0x8000)));
  Put("fuzz_lzss_decode", "text", crisis::CompressBytes(Text("BIOS BIOS BIOS image image image\r\n")));
  Put("fuzz_lzss_decode", "empty", crisis::CompressBytes(Bytes()));
  Bytes cut = crisis::CompressBytes(Bytes(lindar.begin(), lindar.begin() + 0x2000));
  cut.resize(cut.size() / 2);
  Put("fuzz_lzss_decode", "cut", cut);

  // INI files: 14 selector bytes, then the file.
  const char* ini[][2] = {
      {"setting", "[EXECUTE_MODULE]\r\nEXECUTEFROMNEWBIOS=1\r\n\r\n[SETTING]\r\nKEEPDMI=1\r\n"},
      {"machine", "[MACHINE]\nBASE=0xFFF00000\nFLAG=16\nBLOCKTIME=1\nPASSWORD=1E 30 2E\n\n[FAULTS]\nAHERROR=0x86\n"
                  "AHERRORFOR=ProgramFlashROM\n"},
      {"flashrom", "[FLASHROM]\nPROGRAMMER=dummy:emulate=VARIABLE_SIZE,size=1048576,image=/tmp/f\n"
                   "FLAG=0x10\nBOOTBLOCK=0xF0000\n; comment\n"},
      {"tavrin", "p0\r\np1\r\np2\r\n/some/project\r\n"},
      {"quoted", "; comment\n[s]\nk=\"old value\"\nstray line\n[U]\nX='1'\n[S]\nK=3\n"},
      {"state", "[STATE]\r\nPROGRAMRUNS=3\r\nLASTECX=5\r\nLOADDEFAULTS=1\r\n"},
  };
  for (auto& f : ini) {
    Bytes b = Text("\x50\x03" "ABCDEFGHIJKL");
    Put("fuzz_ini_profile", f[0], Cat(b, Text(f[1])));
  }

  Put("fuzz_partnum", "partnum", Text("# part number\r\nPARTNUM = 7AB\r\nMODEL = QVL\r\n"));
  Put("fuzz_partnum", "short", Text("PARTNUM = 1"));

  // A key's medium size, its MBR and its boot sector as Tavrin writes them.
  plat::DISK_GEOMETRY g{245, plat::MEDIA_REMOVABLE, 255, 63, 512};
  Bytes mbr(512, 0), boot(512, 0);
  tavrin::PartitionEntry e = tavrin::MakePartitionEntry(g);
  for (unsigned i = 0; i < e.size(); ++i) mbr[tavrin::kPartitionTableOffset + i] = e[i];
  mbr[510] = 0x55;
  mbr[511] = 0xAA;
  tavrin::MakeBootParams(g).CopyToSector(boot.data());
  boot[510] = 0x55;
  boot[511] = 0xAA;
  Bytes sectors(8, 0);
  Le32(sectors, 0, 245 * 255 * 63);
  Put("fuzz_partition_table", "key", Cat(Cat(sectors, mbr), boot));

  Put("fuzz_wset", "reference", Cat(Bytes{0}, Text(imagegen::kReferenceSettings)));
  Put("fuzz_wset", "all_on", Cat(Bytes{3}, Text(std::string(34, '1'))));

  for (auto& [name, flag, bytes] : std::vector<std::tuple<std::string, uint8_t, Bytes>>{
           {"package", 2, package}, {"quorvel", 2, quorvel}, {"lindar", 1, lindar}, {"tarvex", 0, tarvex}}) {
    Put("fuzz_file_option", name, Cat(Bytes{flag}, bytes));
    Put("fuzz_inspect", name, Cat(Bytes{0}, bytes));
    Put("fuzz_inspect", name + "_flag", Cat(Bytes{uint8_t(0x80 | flag)}, bytes));
  }

  Requests("fuzz_emulated_driver", 2);
  Requests("fuzz_flashrom_driver", 3);
  return g_ok ? 0 : 1;
}
