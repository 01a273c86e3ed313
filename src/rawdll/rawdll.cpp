// rawdll.so placeholder: reports failure for every file until the LibRaw decoder lands.
#include <cstdint>

extern "C" {

struct RawBlock {
  void* memory;
  uint32_t size;
};

__attribute__((visibility("default"))) int Raw2BmpMem(const char*, RawBlock* block) {
  block->memory = nullptr;
  block->size = 0;
  return 0;
}

__attribute__((visibility("default"))) void FreeMemory() {}
}
