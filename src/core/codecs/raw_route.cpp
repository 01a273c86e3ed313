// The RAW route over rawdll.so's two C entry points.
#include "codecs/raw_route.h"

#include <dlfcn.h>

#include <span>

#include "codecs/bmp.h"
#include "codecs/rawdll_abi.h"

namespace brevane::codecs {
namespace {


// Unloads the library on every path out of decodeRaw.
struct Library {
  void* handle;
  ~Library() {
    if (handle) dlclose(handle);
  }
};

}  // namespace

RawDecodeResult decodeRaw(const std::string& path, const char* libraryName) {
  Library lib{dlopen(libraryName, RTLD_NOW | RTLD_LOCAL)};
  if (!lib.handle) throw RawLibraryMissing();
  auto raw2bmp = reinterpret_cast<Raw2BmpMemFn>(dlsym(lib.handle, "Raw2BmpMem"));
  auto freeMemory = reinterpret_cast<FreeMemoryFn>(dlsym(lib.handle, "FreeMemory"));
  if (!raw2bmp) throw Error("Raw2BmpMem entry point not found");
  if (!freeMemory) throw Error("FreeMemory entry point not found");

  // Optional: the library's own words for a failure.
  auto lastError = reinterpret_cast<RawLastErrorFn>(dlsym(lib.handle, "RawLastError"));

  RawBlock block{nullptr, 0};
  raw2bmp(path.c_str(), &block);
  RawDecodeResult result;
  try {
    if (!block.memory || block.size == 0) {
      const char* why = lastError ? lastError() : nullptr;
      throw Error(why && *why ? why : "RAW decoder returned no image");
    }
    // Read straight from the library's block, without copying it.
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(block.memory), block.size);
    result.blockSize = static_cast<int32_t>(block.size);
    result.image.kind = DecodedKind::kBitmap;
    result.image.bitmap = readBmp(bytes);
    result.image.width = result.image.bitmap.width();
    result.image.height = result.image.bitmap.height();
  } catch (...) {
    freeMemory();
    throw;
  }
  freeMemory();
  return result;
}

}  // namespace brevane::codecs
