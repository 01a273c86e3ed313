// Fuzz target: the avif reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("avif")
