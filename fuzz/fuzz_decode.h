// Shared body of the decoder fuzz targets: decode the input as a file of one extension and
// accept only brevane::Error (or running out of memory) as a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>

#include "base/error.h"
#include "codecs/registry.h"

#define BREVANE_DECODER_FUZZER(extension)                                                  \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {               \
    try {                                                                                  \
      brevane::codecs::decodeBytes("fuzz." extension, std::span<const uint8_t>(data, size)); \
    } catch (const brevane::Error&) {                                                      \
    } catch (const std::bad_alloc&) {                                                      \
    }                                                                                      \
    return 0;                                                                              \
  }
