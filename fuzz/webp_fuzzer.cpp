// Fuzz target: the webp reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("webp")
