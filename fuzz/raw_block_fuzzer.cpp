// Fuzz target: the RAW route's reading of the library's block. The program itself provides
// Raw2BmpMem and FreeMemory (handing out the fuzz input as the block), and the route loads it
// as its library.
#include <cstddef>
#include <cstdint>
#include <new>

#include "base/error.h"
#include "codecs/raw_route.h"
#include "codecs/rawdll_abi.h"

namespace {
const uint8_t* g_data = nullptr;
size_t g_size = 0;
bool g_blockOut = false;
}  // namespace

extern "C" {

__attribute__((visibility("default"))) int Raw2BmpMem(const char*, RawBlock* block) {
  block->memory = const_cast<uint8_t*>(g_data);
  block->size = static_cast<uint32_t>(g_size);
  g_blockOut = true;
  return g_size > 0;
}

__attribute__((visibility("default"))) void FreeMemory() { g_blockOut = false; }

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_data = data;
  g_size = size;
  try {
    brevane::codecs::decodeRaw("fuzz.nef", nullptr);  // nullptr: this program's own symbols
  } catch (const brevane::Error&) {
  } catch (const std::bad_alloc&) {
  }
  if (g_blockOut) __builtin_trap();  // every path must release the block
  return 0;
}
}
