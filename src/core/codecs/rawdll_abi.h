// The C interface of rawdll.so, shared by the loader and every library that provides it.
#pragma once

#include <cstdint>

extern "C" {

/// The block Raw2BmpMem fills: a complete BMP file image and its size in bytes. It stays
/// valid until FreeMemory.
struct RawBlock {
  void* memory;
  uint32_t size;
};

/// Decodes `path` (a zero-terminated 8-bit path) into `block`; 1 on success, 0 on failure.
typedef int (*Raw2BmpMemFn)(const char* path, RawBlock* block);
/// Releases the block of the last Raw2BmpMem call.
typedef void (*FreeMemoryFn)();
/// Optional: why the last Raw2BmpMem call failed.
typedef const char* (*RawLastErrorFn)();
}
