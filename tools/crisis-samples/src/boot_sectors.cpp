#include "crisis_samples/boot_sectors.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace crisis_samples {

namespace {

void Put(Sector& s, size_t offset, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) s[offset++] = b;
}

void Put16(Sector& s, size_t offset, uint16_t v) {
  s[offset] = static_cast<uint8_t>(v);
  s[offset + 1] = static_cast<uint8_t>(v >> 8);
}

void PutText(Sector& s, size_t offset, const char* text) {
  std::memcpy(s.data() + offset, text, std::strlen(text) + 1);
}

void Sign(Sector& s) {
  s[510] = 0x55;
  s[511] = 0xAA;
}

// Real-mode code at 0x7C00 + 0x3E: print the message at 0x7C60, wait for a
// key, then let the BIOS try the next boot device (INT 19h).
constexpr size_t kBootCode = 0x3E;
constexpr size_t kBootMessage = 0x60;

// MBR code: relocate to 0x0600, find the active entry, read its first sector
// to 0x7C00 by the entry's CHS start, check the signature and jump to it.
constexpr size_t kMbrNoActive = 0x64;

}  // namespace

Sector CrisisBootSector() {
  Sector s{};
  Put(s, 0, {0xEB, 0x3C, 0x90});
  std::memcpy(s.data() + 3, "TAVRIN10", 8);
  Put16(s, 11, 512);  // bytes per sector
  s[13] = 1;          // sectors per cluster
  Put16(s, 14, 1);    // reserved sectors
  s[16] = 2;          // FATs
  Put16(s, 17, 224);  // root directory entries
  Put16(s, 19, 2880); // total sectors
  s[21] = 0xF0;       // media: 3.5" diskette
  Put16(s, 22, 9);    // sectors per FAT
  Put16(s, 24, 18);   // sectors per track
  Put16(s, 26, 2);    // heads
  // hidden sectors and the 32-bit total stay 0
  s[36] = 0x00;       // drive number
  s[38] = 0x29;       // extended boot signature
  Put(s, 39, {0x31, 0x08, 0x19, 0x20});  // volume serial
  std::memcpy(s.data() + 43, "NO NAME    ", 11);  // no label: the root holds no label entry
  std::memcpy(s.data() + 54, "FAT12   ", 8);
  Put(s, kBootCode, {
      0xFA,              // cli
      0x31, 0xC0,        // xor ax,ax
      0x8E, 0xD8,        // mov ds,ax
      0x8E, 0xD0,        // mov ss,ax
      0xBC, 0x00, 0x7C,  // mov sp,0x7C00
      0xFB,              // sti
      0xBE, 0x60, 0x7C,  // mov si,0x7C60
      0xAC,              // lodsb
      0x84, 0xC0,        // test al,al
      0x74, 0x09,        // jz +9
      0xB4, 0x0E,        // mov ah,0x0E
      0xBB, 0x07, 0x00,  // mov bx,7
      0xCD, 0x10,        // int 0x10
      0xEB, 0xF2,        // jmp lodsb
      0x31, 0xC0,        // xor ax,ax
      0xCD, 0x16,        // int 0x16
      0xCD, 0x19,        // int 0x19
  });
  PutText(s, kBootMessage,
          "This crisis disk has no system loader in its boot sector.\r\nPress a key to try the next boot device.\r\n");
  Sign(s);
  return s;
}

Sector CrisisMasterBootRecord() {
  Sector s{};
  const char* noActive = "No active partition on the crisis disk.\r\n";
  const size_t kMbrFailed = kMbrNoActive + std::strlen(noActive) + 1;
  const uint16_t noActiveAt = static_cast<uint16_t>(0x0600 + kMbrNoActive);
  const uint16_t failedAt = static_cast<uint16_t>(0x0600 + kMbrFailed);
  Put(s, 0, {
      0xFA,                          // 00 cli
      0x31, 0xC0,                    // 01 xor ax,ax
      0x8E, 0xD8,                    // 03 mov ds,ax
      0x8E, 0xC0,                    // 05 mov es,ax
      0x8E, 0xD0,                    // 07 mov ss,ax
      0xBC, 0x00, 0x7C,              // 09 mov sp,0x7C00
      0xFB,                          // 0C sti
      0xFC,                          // 0D cld
      0xBE, 0x00, 0x7C,              // 0E mov si,0x7C00
      0xBF, 0x00, 0x06,              // 11 mov di,0x0600
      0xB9, 0x00, 0x01,              // 14 mov cx,256
      0xF3, 0xA5,                    // 17 rep movsw
      0xEA, 0x1E, 0x06, 0x00, 0x00,  // 19 jmp 0000:061E
      0xBE, 0xBE, 0x07,              // 1E mov si,0x07BE (first entry)
      0xB9, 0x04, 0x00,              // 21 mov cx,4
      0x80, 0x3C, 0x80,              // 24 cmp byte [si],0x80
      0x74, 0x0A,                    // 27 je 33
      0x83, 0xC6, 0x10,              // 29 add si,16
      0xE2, 0xF6,                    // 2C loop 24
      0xBE, static_cast<uint8_t>(noActiveAt), static_cast<uint8_t>(noActiveAt >> 8),  // 2E mov si,msg
      0xEB, 0x20,                    // 31 jmp 53
      0x8A, 0x74, 0x01,              // 33 mov dh,[si+1]
      0x8B, 0x4C, 0x02,              // 36 mov cx,[si+2]
      0xBB, 0x00, 0x7C,              // 39 mov bx,0x7C00
      0xB8, 0x01, 0x02,              // 3C mov ax,0x0201
      0xCD, 0x13,                    // 3F int 0x13 (dl: the boot drive)
      0x72, 0x0D,                    // 41 jc 50
      0x81, 0x3E, 0xFE, 0x7D, 0x55, 0xAA,  // 43 cmp word [0x7DFE],0xAA55
      0x75, 0x05,                    // 49 jne 50
      0xEA, 0x00, 0x7C, 0x00, 0x00,  // 4B jmp 0000:7C00 (ds:si = the entry)
      0xBE, static_cast<uint8_t>(failedAt), static_cast<uint8_t>(failedAt >> 8),  // 50 mov si,msg
      0xAC,                          // 53 lodsb
      0x84, 0xC0,                    // 54 test al,al
      0x74, 0x09,                    // 56 je 61
      0xB4, 0x0E,                    // 58 mov ah,0x0E
      0xBB, 0x07, 0x00,              // 5A mov bx,7
      0xCD, 0x10,                    // 5D int 0x10
      0xEB, 0xF2,                    // 5F jmp 53
      0xF4,                          // 61 hlt
      0xEB, 0xFD,                    // 62 jmp 61
  });
  PutText(s, kMbrNoActive, noActive);
  PutText(s, kMbrFailed, "The crisis disk's partition can't be started.\r\n");
  Sign(s);
  return s;
}

bool WriteSampleBootFiles(const std::string& folder) {
  // Create the folder (one level, as the build tree has its parent).
  ::mkdir(folder.c_str(), 0755);
  struct Item {
    const char* name;
    Sector data;
  } items[] = {{"crisboot.bin", CrisisBootSector()}, {"crismbr.bin", CrisisMasterBootRecord()}};
  for (const Item& item : items) {
    std::string path = folder + "/" + item.name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(item.data.data(), 1, item.data.size(), f) == item.data.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) return false;
  }
  return true;
}

}  // namespace crisis_samples
