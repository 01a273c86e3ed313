// Fuzz target: the heif reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("heic")
