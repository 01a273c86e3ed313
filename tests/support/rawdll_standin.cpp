// A stand-in for rawdll.so used by the RAW route's tests: it returns a fixed 2 x 2 BMP block
// ("fail" in the path: no block; "garbage": a block that is no BMP) and counts FreeMemory calls.
#include <cstdint>
#include <cstring>
#include <vector>

#include "codecs/rawdll_abi.h"

namespace {

std::vector<uint8_t> g_block;
int g_freeCalls = 0;

// 2 x 2, 24 bits, bottom-up rows padded to 8 bytes: top row red, green; bottom row blue, white.
std::vector<uint8_t> knownBmp() {
  std::vector<uint8_t> b(54, 0);
  b[0] = 'B', b[1] = 'M';
  b[2] = 70;
  b[10] = 54;
  b[14] = 40;
  b[18] = 2;
  b[22] = 2;
  b[26] = 1;
  b[28] = 24;
  const uint8_t rows[16] = {255, 0, 0, 255, 255, 255, 0, 0,   // bottom: blue, white
                            0, 0, 255, 0, 255, 0, 0, 0};      // top: red, green
  b.insert(b.end(), rows, rows + 16);
  return b;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int Raw2BmpMem(const char* path, RawBlock* block) {
  block->memory = nullptr;
  block->size = 0;
  if (std::strstr(path, "fail")) return 0;
  g_block = std::strstr(path, "garbage") ? std::vector<uint8_t>(10, 0x5A) : knownBmp();
  block->memory = g_block.data();
  block->size = static_cast<uint32_t>(g_block.size());
  return 1;
}

__attribute__((visibility("default"))) void FreeMemory() {
  ++g_freeCalls;
  // Poison the block so a reader that keeps using it after FreeMemory shows up.
  if (!g_block.empty()) std::memset(g_block.data(), 0xEE, g_block.size());
  g_block.clear();
}

__attribute__((visibility("default"))) int StandinFreeCalls() { return g_freeCalls; }
}
