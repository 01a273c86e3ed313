// The RAW route: camera files decoded by rawdll.so, loaded anew for each file.
#pragma once

#include <cstdint>
#include <string>

#include "base/error.h"
#include "codecs/codec.h"

namespace brevane::codecs {

/// rawdll.so could not be loaded.
class RawLibraryMissing : public Error {
 public:
  RawLibraryMissing() : Error("rawdll.so error.") {}
};

struct RawDecodeResult {
  DecodedImage image;
  int32_t blockSize = -1;  // bytes of the BMP block the library returned
};

/// Loads the library ("rawdll.so", or `libraryName`), calls Raw2BmpMem, reads the BMP block,
/// calls FreeMemory and unloads. Throws RawLibraryMissing or brevane::Error.
RawDecodeResult decodeRaw(const std::string& path, const char* libraryName = "rawdll.so");

}  // namespace brevane::codecs
