// Fuzz target: the tga reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("tga")
