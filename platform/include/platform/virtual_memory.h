// VirtualAlloc stand-in: page-aligned, zeroed blocks. Each live block also
// gets a 32-bit flat address, the way buffers are named to the emulated 9x
// disk devices (a 64-bit pointer does not fit their 32-bit register fields).
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

constexpr size_t kPageSize = 4096;

// Commits a zeroed, page-aligned block; nullptr when it cannot.
void* VirtualAlloc(size_t size);
// Releases a block from VirtualAlloc (nullptr is ignored).
void VirtualFree(void* block);

// Flat address of a byte inside a live block, 0 when p lies in none.
uint32_t FlatAddress(const void* p);
// The bytes at a flat address, when [address, address + size) lies inside
// one live block; nullptr otherwise.
uint8_t* ResolveFlatAddress(uint32_t address, size_t size);

// Test hook: after `successes` more allocations, every VirtualAlloc fails
// (a negative count turns the failure off).
void FailVirtualAllocAfter(int successes);

}  // namespace plat
