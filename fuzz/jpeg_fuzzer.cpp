// Fuzz target: the jpeg reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("jpg")
