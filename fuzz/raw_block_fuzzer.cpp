// Fuzz target: the RAW route's reading of the library's block. The program itself provides
// Raw2BmpMem and FreeMemory (handing out the fuzz input as the block), and the route loads it
// as its library.
#include <cstddef>
#include <cstdint>
#include <new>

#include "base/error.h"
#include "engine/codecs/raw_route.h"

namespace {
const uint8_t* g_data = nullptr;
size_t g_size = 0;
bool g_blockOut = false;
}  // namespace

// The route calls these through pointers of its own record type, which the function-type
// check would flag although the layout is the library's contract; a real rawdll.so is not
// instrumented either.
extern "C" {
struct RawBlock {
  void* memory;
  uint32_t size;
};

__attribute__((visibility("default"), no_sanitize("function"))) int Raw2BmpMem(const char*, RawBlock* block) {
  block->memory = const_cast<uint8_t*>(g_data);
  block->size = static_cast<uint32_t>(g_size);
  g_blockOut = true;
  return g_size > 0;
}

__attribute__((visibility("default"), no_sanitize("function"))) void FreeMemory() { g_blockOut = false; }

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
