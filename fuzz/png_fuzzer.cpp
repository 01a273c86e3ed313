// Fuzz target: the png reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("png")
